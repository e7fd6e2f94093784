#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs one: scripts/fuzz.sh TARGET MINUTES
# TARGET is workbook, numfmt, settings, tablefile, widths or numbertext. Crashes land in build/fuzz/crashes/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target: workbook numfmt settings tablefile widths numbertext}
minutes=${2:-10}
GRIDVANE_FUZZ=1 ./scripts/install-deps.sh
out=build/fuzz
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRIDVANE_FUZZ=ON -DGRIDVANE_BUILD_GUI=OFF \
  -DGRIDVANE_BUILD_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j "$(nproc)" --target "fuzz_$target"
./scripts/fuzz-seeds.sh "$out/corpus"
mkdir -p "$out/crashes/$target"
dict=()
[ "$target" = workbook ] && dict=(-dict=fuzz/xlsx.dict)
"$out/fuzz/fuzz_$target" "$out/corpus/$target" "${dict[@]}" -max_total_time=$((minutes * 60)) -timeout=2 \
  -rss_limit_mb=1024 -artifact_prefix="$out/crashes/$target/"
