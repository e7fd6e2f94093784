#!/usr/bin/env bash
# Installs what is missing, builds with tests (once plainly, once with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

status=0

echo "== Release build with tests and benchmarks"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DGRIDVANE_BUILD_TESTS=ON -DGRIDVANE_BUILD_BENCH=ON -DGRIDVANE_WERROR=ON "${launcher[@]}"
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" || status=1

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGRIDVANE_BUILD_TESTS=ON -DGRIDVANE_SANITIZE=ON -DGRIDVANE_WERROR=ON "${launcher[@]}"
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build/asan -j "$jobs" || status=1

if [ "${GRIDVANE_WINDOWS:-0}" = "1" ] && [ -x scripts/test-windows.sh ]; then
  echo "== Windows cross build under Wine"
  scripts/test-windows.sh || status=1
fi
if [ "${GRIDVANE_FUZZ_SMOKE:-0}" = "1" ] && [ -x scripts/fuzz-smoke.sh ]; then
  echo "== Fuzz smoke run"
  scripts/fuzz-smoke.sh || status=1
fi

exit $status
