#!/usr/bin/env bash
# Regenerates textconv/Cp932BestFit.cpp from the Windows converter of code page 932: builds
# tools/MakeCp932BestFit.cpp with MinGW-w64 and runs it under Wine, in a Wine prefix of its own.
# Run once when the table must change; the build itself never runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build/cp932-bestfit
mkdir -p "$out"
x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -static -o "$out/make-cp932-bestfit.exe" tools/MakeCp932BestFit.cpp
export WINEPREFIX=$out/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
trap 'wineserver -k 2>/dev/null || true' EXIT
wine "$out/make-cp932-bestfit.exe" >"$out/Cp932BestFit.cpp"
# Sanity: the yen sign becomes the byte 0x5C, which Japanese fonts draw as the yen sign.
grep -q '{0x00A5, 0x5C}' "$out/Cp932BestFit.cpp"
mv "$out/Cp932BestFit.cpp" textconv/Cp932BestFit.cpp
echo "textconv/Cp932BestFit.cpp: $(grep -o '{0x' textconv/Cp932BestFit.cpp | wc -l) substitutes"
