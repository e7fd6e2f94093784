#!/usr/bin/env bash
# Cross-builds the core, the converter, the window (Gridvane23.exe) and the tests for 64-bit Windows with
# MinGW-w64, runs the tests under Wine in a Japanese locale (ANSI code page 932), drives the window under
# Wine on a virtual display of its own at 100 % and 200 %, and compares the converter's drawing of the
# sample and the window's drawing of an import with the Linux converter's, byte for byte. Exits non-zero
# on any failure. GRIDVANE_WIN_SCREENSHOTS=1 also leaves screenshots of the window in
# build/windows/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

GRIDVANE_WINDOWS=1 ./scripts/install-deps.sh

jobs=$(nproc)
out=$root/build/windows
mkdir -p "$out"
toolchain=$root/cmake/mingw-w64-x86_64.cmake
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# GoogleTest for the target, from Debian's sources.
gtest=$out/googletest
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "== GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest/install" "${launcher[@]}" >/dev/null
  cmake --build "$gtest/build" -j "$jobs"
  cmake --install "$gtest/build" >/dev/null
fi

echo "== Windows cross build"
cmake -S . -B "$out/core" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DGRIDVANE_BUILD_GUI=OFF -DGRIDVANE_BUILD_TESTS=ON -DGRIDVANE_BUILD_BENCH=OFF \
  -DGTest_DIR="$gtest/install/lib/cmake/GTest" -DGRIDVANE_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$out/core" -j "$jobs"

# A Wine prefix of our own, and the locales the tests use compiled into the build tree (no system change).
export WINEPREFIX=$out/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$out/locale"
for name in ja_JP de_DE; do
  if [ ! -d "$out/locale/$name.UTF-8" ]; then
    localedef -i "$name" -f UTF-8 "$out/locale/$name.UTF-8"
  fi
done
export LOCPATH=$out/locale
{ export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; } 2>/dev/null # the shell itself may not know the locale
. scripts/virtual-display.sh
# Windows of the stand-ins (a CAD window to restore, the spreadsheet's main window) need a display.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  start_virtual_display 1024x768x24
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Wine prefix"
  wineboot -i >/dev/null 2>&1
  # Let the first start settle (registry written, services stopped) before tests run in parallel.
  wineserver -w
fi
# One Wine server for the whole run instead of one per test program.
wineserver -p
cleanup() {
  wineserver -k 2>/dev/null || true
  stop_virtual_displays
}
trap cleanup EXIT
acp=$(wine cmd /c "reg query HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage /v ACP" 2>/dev/null | tr -d '\r' | awk '/ACP/ {print $3}')
echo "Wine's ANSI code page: ${acp:-unknown}"

status=0
# The Qt window is not cross-built (no Qt for MinGW here): at least keep Linux-only calls out of its code.
linux_only='#include <(unistd\.h|sys/[a-z_]+\.h|dlfcn\.h|pwd\.h|iconv\.h|langinfo\.h|fcntl\.h)>|"/proc/|"/usr/|"/tmp/'
if found=$(grep -rnE "$linux_only" ui app --include='*.cpp' --include='*.h' 2>/dev/null) && [ -n "$found" ]; then
  echo "== Linux-only calls in the window's code:" >&2
  echo "$found" >&2
  status=1
fi

echo "== Core tests under Wine"
CTEST_OUTPUT_ON_FAILURE=1 ctest --test-dir "$out/core" -j "$jobs" || status=1

# The converter's drawing of the sample must not depend on the platform.
sample=samples/parts-list.table.json
windows_convert=$out/core/app/gridvane-convert.exe
if [ -f "$sample" ] && [ -f "$windows_convert" ]; then
  echo "== Converter: Linux and Windows drawings of the sample"
  linux=$out/linux
  cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDVANE_BUILD_GUI=OFF \
    -DGRIDVANE_BUILD_TESTS=OFF -DGRIDVANE_WERROR=ON "${launcher[@]}" >/dev/null
  cmake --build "$linux" -j "$jobs" --target gridvane-convert
  "$linux/app/gridvane-convert" -o "$out/sample-linux.dxf" "$sample"
  wine "$windows_convert" -o "$out/sample-windows.dxf" "$sample"
  if cmp "$out/sample-linux.dxf" "$out/sample-windows.dxf"; then
    echo "identical ($(wc -c <"$out/sample-linux.dxf") bytes)"
  else
    echo "the drawings differ" >&2
    status=1
  fi
fi

# Across processes: the stand-in spreadsheet and CAD, registered in the prefix for this part only (the
# in-process tests above must not find them). The import from the stand-in must give the same table and
# drawing as the Linux import of the same sheet written as a workbook by openpyxl.
standin=$out/core/tests/windows/standin
if [ -f "$standin/test_windows_standin.exe" ] && [ -f "$windows_convert" ]; then
  echo "== Across processes: the stand-in spreadsheet and CAD"
  . tests/windows/standin/standin.sh
  standin_register "$standin"
  wine "$standin/test_windows_standin.exe" || status=1

  echo "== Stand-in spreadsheet under Windows and its workbook under Linux: table and drawing"
  linux=$out/linux
  cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDVANE_BUILD_GUI=OFF \
    -DGRIDVANE_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
  cmake --build "$linux" -j "$jobs" --target gridvane-convert
  # The sample sheet (standin-*), then the form of the benchmark (form-*).
  for sheet in selection form; do
    name=standin
    [ "$sheet" = selection ] || name=$sheet
    /usr/bin/python3 tests/windows/standin/write-workbook.py "tests/windows/standin/$sheet.sheet" "$out/$name.xlsx"
    "$linux/app/gridvane-convert" --dump-model "$out/$name-linux.table.json" -o "$out/$name-linux.dxf" \
      "$out/$name.xlsx"
    standin_start_excel "$standin" --sheet "$(winepath -w "tests/windows/standin/$sheet.sheet")"
    wine "$windows_convert" --excel --dump-model "$out/$name-windows.table.json" -o "$out/$name-windows.dxf" ||
      status=1
    standin_stop "$standin"
    for kind in table.json dxf; do
      if cmp "$out/$name-linux.$kind" "$out/$name-windows.$kind"; then
        echo "$sheet: $kind identical ($(wc -c <"$out/$name-linux.$kind") bytes)"
      else
        echo "$sheet: the ${kind} files differ" >&2
        status=1
      fi
    done
  done
  standin_unregister "$standin"

  echo "== gridvane-convert on Windows: --excel with no spreadsheet installed, a workbook argument"
  rc=0
  err=$(wine "$windows_convert" --excel -o "$out/none.dxf" 2>&1 >/dev/null | tr -d '\r') || rc=$?
  expected=$'gridvane-convert: クラス名: Excel.Application は無効です.\ngridvane-convert: 取得に失敗しました.'
  if [ "$rc" = 1 ] && [ "$err" = "$expected" ]; then
    echo "as the window: the class message, then the failure; exit 1"
  else
    printf 'unexpected (exit %s):\n%s\n' "$rc" "$err" >&2
    status=1
  fi
  rc=0
  err=$(wine "$windows_convert" -o "$out/none.dxf" "$out/standin.xlsx" 2>&1 >/dev/null | tr -d '\r') || rc=$?
  if [ "$rc" = 1 ] && [[ "$err" == *"running spreadsheet"*"--excel"* ]]; then
    echo "a workbook names --excel; exit 1"
  else
    printf 'unexpected (exit %s):\n%s\n' "$rc" "$err" >&2
    status=1
  fi
fi

# The window: created for real under Wine on a virtual display started here, at 100 % and 200 %.
win_test=$out/core/tests/win/test_win.exe
if [ -f "$win_test" ]; then
  echo "== The window under Wine on a virtual display"
  start_virtual_display 2560x1600x24
  # Keep the pointer off the window; Wine draws the window frames itself (there is no window manager).
  xdotool mousemove 2550 1590 >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  linux_convert=$out/linux/app/gridvane-convert
  if [ ! -x "$linux_convert" ]; then
    cmake -S . -B "$out/linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDVANE_BUILD_GUI=OFF \
      -DGRIDVANE_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
    cmake --build "$out/linux" -j "$jobs" --target gridvane-convert
  fi
  shots=$out/screenshots
  for dpi in 96 192; do
    echo "-- $((dpi * 100 / 96)) %"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -k 2>/dev/null || true # the next program starts a server that reads the new setting
    winout=$out/window-$dpi
    rm -rf "$winout"
    mkdir -p "$winout"
    if ! GRIDVANE_WIN_OUT=$winout timeout 600 wine "$win_test" --gtest_brief=1; then
      echo "the window's tests failed at $dpi dpi" >&2
      status=1
      continue
    fi
    # The running spreadsheet in a process of its own: the window's drawing of its selection must be the
    # Linux converter's of the same sheet written as a workbook (made in the part above).
    if [ -f "$standin/gridvane-excel-standin.exe" ] && [ -f "$out/standin-linux.dxf" ]; then
      standin_register "$standin" >/dev/null 2>&1
      standin_start_excel "$standin" >/dev/null 2>&1
      GRIDVANE_WIN_STANDIN_DXF=$out/standin-linux.dxf timeout 300 wine "$win_test" --gtest_brief=1 \
        --gtest_filter='*AnotherProcess*' || { echo "the window's import across processes failed" >&2; status=1; }
      standin_stop "$standin"
      standin_unregister "$standin" >/dev/null 2>&1
    fi
    "$linux_convert" -o "$winout/linux.dxf" "$winout/window-import.table.json" >/dev/null
    if cmp "$winout/linux.dxf" "$winout/window-import.dxf"; then
      echo "the window's drawing of the import is the Linux converter's ($(wc -c <"$winout/linux.dxf") bytes)"
    else
      echo "the window's drawing differs from the Linux converter's" >&2
      status=1
    fi
    if [ "${GRIDVANE_WIN_SCREENSHOTS:-0}" = "1" ]; then
      mkdir -p "$shots"
      hold=$winout/shot
      mkdir -p "$hold"
      GRIDVANE_WIN_SHOT=$hold timeout 300 wine "$win_test" --gtest_filter='*Screenshots*' >"$hold/log" 2>&1 &
      holder=$!
      for view in start settings drawing import replace; do
        for _ in $(seq 600); do [ -f "$hold/$view.ready" ] && break; sleep 0.1; done
        sleep 1
        if [ -f "$hold/$view.ready" ]; then
          import -window root -crop "$(cat "$hold/$view.ready")" +repage "$shots/window-$view-$dpi.png"
        fi
        touch "$hold/$view.done"
      done
      wait "$holder" || { echo "the screenshot run failed at $dpi dpi" >&2; cat "$hold/log" >&2; status=1; }
    fi
  done
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
fi

exit $status
