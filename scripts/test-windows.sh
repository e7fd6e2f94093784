#!/usr/bin/env bash
# Cross-builds the core, the converter and the core tests for 64-bit Windows with MinGW-w64, runs the
# tests under Wine in a Japanese locale (ANSI code page 932) and compares the converter's drawing of
# the sample with the Linux build's, byte for byte. Exits non-zero on any failure.
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
# Windows of the stand-ins (a CAD window to restore, the spreadsheet's main window) need a display.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  display=:$((90 + $$ % 100))
  Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  sleep 1
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Wine prefix"
  wineboot -i >/dev/null 2>&1
  # Let the first start settle (registry written, services stopped) before tests run in parallel.
  wineserver -w
fi
# One Wine server for the whole run instead of one per test program.
wineserver -p
trap 'wineserver -k 2>/dev/null || true; [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true' EXIT
acp=$(wine cmd /c "reg query HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage /v ACP" 2>/dev/null | tr -d '\r' | awk '/ACP/ {print $3}')
echo "Wine's ANSI code page: ${acp:-unknown}"

status=0
# The window is not cross-built (no Qt for MinGW here): at least keep Linux-only calls out of its code.
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
  /usr/bin/python3 tests/windows/standin/write-workbook.py tests/windows/standin/selection.sheet "$out/standin.xlsx"
  "$linux/app/gridvane-convert" --dump-model "$out/standin-linux.table.json" -o "$out/standin-linux.dxf" \
    "$out/standin.xlsx"
  standin_start_excel "$standin"
  wine "$windows_convert" --excel --dump-model "$out/standin-windows.table.json" -o "$out/standin-windows.dxf" ||
    status=1
  standin_stop "$standin"
  for kind in table.json dxf; do
    if cmp "$out/standin-linux.$kind" "$out/standin-windows.$kind"; then
      echo "$kind identical ($(wc -c <"$out/standin-linux.$kind") bytes)"
    else
      echo "the ${kind} files differ" >&2
      status=1
    fi
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

exit $status
