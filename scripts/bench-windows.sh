#!/usr/bin/env bash
# The import across processes, timed: the Windows build's benchmark against the stand-in spreadsheet
# with 0.2 ms per call it receives, 100 x 20 cells, under Wine (about 15-30 s; not part of the default
# run). Run scripts/test-windows.sh once first: it builds the Windows tree and makes the Wine prefix.
# Usage: scripts/bench-windows.sh [--delay-us N] [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build/windows
cmake --build "$out/core" -j "$(nproc)" --target gridvane-com-bench gridvane-excel-standin gridvane-cad-standin \
  gridvane-standin-ctl
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LOCPATH=$out/locale
{ export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; } 2>/dev/null
. scripts/virtual-display.sh
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  start_virtual_display 1024x768x24
fi
wineserver -p
standin=$out/core/tests/windows/standin
. tests/windows/standin/standin.sh
trap 'standin_unregister "$standin" >/dev/null 2>&1 || true; wineserver -k 2>/dev/null || true; stop_virtual_displays' EXIT
standin_register "$standin"
wine "$standin/gridvane-com-bench.exe" "$@"
