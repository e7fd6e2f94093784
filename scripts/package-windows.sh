#!/usr/bin/env bash
# Builds Gridvane23.exe and gridvane-convert.exe for 64-bit Windows and packs them with a short read-me
# into build/windows/Gridvane-<version>-win64.zip. Checks that the executables need no MinGW runtime
# DLLs, then unpacks the package into a folder whose name has a space and Japanese letters and starts
# the window from there under Wine on a virtual display, to see that it comes up and writes its settings
# file beside itself when closed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

GRIDVANE_WINDOWS=1 ./scripts/install-deps.sh

version=$(sed -n 's/^project(Gridvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=$root/build/windows
build=$out/release
toolchain=$root/cmake/mingw-w64-x86_64.cmake
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

echo "== Windows release build"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DGRIDVANE_BUILD_GUI=OFF -DGRIDVANE_BUILD_TESTS=OFF -DGRIDVANE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Gridvane23 gridvane-convert

stage=$out/package/Gridvane-$version
rm -rf "$out/package"
mkdir -p "$stage"
cp "$build/win/Gridvane23.exe" "$build/app/gridvane-convert.exe" "$stage/"
x86_64-w64-mingw32-strip "$stage"/*.exe

# Self-contained: only DLLs that every Windows has.
for exe in "$stage"/*.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|ole32.dll|oleaut32.dll|shell32.dll|advapi32.dll|msvcrt.dll|uxtheme.dll|api-ms-win-*) ;;
      *) echo "$(basename "$exe") needs $dll, which Windows does not have" >&2; exit 1 ;;
    esac
  done
done

# The manifest (per-monitor DPI awareness, common controls 6, the user's rights) and the version.
resources=$(x86_64-w64-mingw32-windres -i "$stage/Gridvane23.exe" -O rc)
for expected in 'PerMonitorV2' 'Microsoft.Windows.Common-Controls' 'asInvoker' '"FileVersion", "2023.02.11"'; do
  if ! grep -qF "$expected" <<<"$resources" && ! grep -qF "$expected" "$stage/Gridvane23.exe"; then
    echo "Gridvane23.exe lacks $expected in its resources" >&2
    exit 1
  fi
done

# The read-me: UTF-8 with a byte-order mark and CR LF line ends, so every editor on Windows reads it.
{
  printf '\xef\xbb\xbf'
  sed 's/$/\r/' <<TEXT
Gridvane $version (Windows 64 ビット版)
========================================

Gridvane23.exe
  Excel で選択したセル範囲を表に取り込み、確認・修正して DXF (R12) の図面として
  CAD に挿入するプログラムです。

  使い方
  1. Excel を起動し、図面にしたいセル範囲を選択します。
  2. Gridvane23.exe を起動し、「Excel から取得」を押します。
  3. 表の文字・列幅・行高さ・文字の基点を必要に応じて直します。
  4. CAD を起動しておき、「Plotra へ挿入」を押すと図面が CAD に挿入されます
     (CAD が起動していなければ、図面ファイルを書くだけです)。

  必要なもの: 起動中の Excel と CAD。どちらもこのプログラムからは起動しません。
  書き込むファイル: プログラムと同じフォルダに
    Gridvane23.ini (設定、終了時に保存) と Gridvane23.dxf (図面、挿入のたびに上書き)。
  インストールは不要です。書き込みのできる任意のフォルダに置いて実行してください。

gridvane-convert.exe
  同じ図面をコマンドラインで作ります。
    gridvane-convert.exe --excel            起動中の Excel で選択したセル範囲から
                                            (「Excel から取得」と同じ取り込み。図面は selection.dxf)
    gridvane-convert.exe 表.table.json      表ファイルから
  -o で図面のファイル名を指定できます。使い方は「gridvane-convert.exe --help」を参照してください。

----------------------------------------------------------------------

Gridvane23.exe
  Takes the cells selected in the running Excel into a grid, lets you review and correct them,
  and inserts them into the running CAD as an R12 DXF drawing.

  1. Start Excel and select the cells to draw.
  2. Start Gridvane23.exe and press "Excel から取得" (get from Excel).
  3. Correct texts, column widths, row heights and text alignment where needed.
  4. With the CAD running, press "Plotra へ挿入" (insert): the drawing is inserted there
     (without a running CAD the drawing file is only written).

  Needs: Excel and the CAD already running; the program never starts either.
  Writes, in its own folder: Gridvane23.ini (the settings, saved on exit) and
    Gridvane23.dxf (the drawing, overwritten at each insertion).
  No installation: put the files in any folder you can write to and run them from there.

gridvane-convert.exe
  Makes the same drawing on the command line:
    gridvane-convert.exe --excel            from the cells selected in the running Excel
                                            (imported as "Excel から取得" does; the drawing is selection.dxf)
    gridvane-convert.exe table.table.json   from a table file
  -o names the drawing to write; see "gridvane-convert.exe --help".
TEXT
} >"$stage/README.txt"

zip=$out/Gridvane-$version-win64.zip
rm -f "$zip"
python3 - "$out/package" "$zip" <<'PY'
import os, sys, zipfile
base, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for folder, _, files in os.walk(base):
        for name in sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, base))
PY
echo "wrote $zip ($(wc -c <"$zip") bytes)"

# ---- the package unpacked into a folder with a space and a Japanese name, started from there
if [ "${GRIDVANE_PACKAGE_SMOKE:-1}" = "1" ]; then
  echo "== The package under Wine"
  export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then wineboot -i >/dev/null 2>&1; wineserver -w; fi
  wineserver -p
  . scripts/virtual-display.sh
  cleanup() {
    wineserver -k 2>/dev/null || true
    stop_virtual_displays
  }
  trap cleanup EXIT
  start_virtual_display 1280x1024x24
  place="$WINEPREFIX/drive_c/図面 ツール"
  rm -rf "$place"
  mkdir -p "$place"
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$place"
  folder="$place/Gridvane-$version"
  (cd "$folder" && wine ./Gridvane23.exe >/dev/null 2>&1 &)
  found=
  for _ in $(seq 100); do
    if xdotool search --name "Gridvane 2023.02.11" >/dev/null 2>&1; then found=1; break; fi
    sleep 0.2
  done
  [ -n "$found" ] || { echo "the window did not come up from \"$folder\"" >&2; exit 1; }
  # An ordinary close request (WM_CLOSE), as the close box sends.
  wine taskkill /im Gridvane23.exe >/dev/null 2>&1 || true
  for _ in $(seq 100); do [ -f "$folder/Gridvane23.ini" ] && break; sleep 0.2; done
  if [ -f "$folder/Gridvane23.ini" ] && grep -q "PlotraTlsx" "$folder/Gridvane23.ini"; then
    echo "started from \"$folder\" and wrote its settings beside itself"
  else
    echo "no settings file beside the program in \"$folder\"" >&2
    exit 1
  fi
  rm -rf "$place"
fi
