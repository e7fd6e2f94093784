#!/usr/bin/env bash
# Runs every fuzz target on its seed corpus for a fixed number of inputs (about 30 s each on a 2-core
# machine); fails on any crash, leak, input slower than 2 s or memory over 1 GiB. The seed and the
# number of runs are fixed, so a run here and in CI explore the same inputs whatever the machine's
# speed; deeper, varied searches are scripts/fuzz.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."
GRIDVANE_FUZZ=1 ./scripts/install-deps.sh
out=build/fuzz
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRIDVANE_FUZZ=ON -DGRIDVANE_BUILD_GUI=OFF \
  -DGRIDVANE_BUILD_TESTS=OFF -DGRIDVANE_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j "$(nproc)"
rm -rf "$out/corpus"
./scripts/fuzz-seeds.sh "$out/corpus"
status=0
declare -A runs=([workbook]=110000 [sheetxml]=28000 [xmlpiece]=2000000 [xmlstream]=200000 [numfmt]=850000 [settings]=45000 [tablefile]=85000 [widths]=830000 [numbertext]=2000000)
for target in workbook sheetxml xmlpiece xmlstream numfmt settings tablefile widths numbertext; do
  dict=()
  [ "$target" = workbook ] || [ "$target" = sheetxml ] || [ "$target" = xmlpiece ] || [ "$target" = xmlstream ] && dict=(-dict=fuzz/xlsx.dict)
  mkdir -p "$out/crashes/$target"
  if "$out/fuzz/fuzz_$target" "$out/corpus/$target" "${dict[@]}" -seed=1 -runs="${runs[$target]}" -timeout=2 -rss_limit_mb=1024 \
    -artifact_prefix="$out/crashes/$target/" -print_final_stats=0 >"$out/$target.log" 2>&1; then
    echo "fuzz $target: ok ($(grep -c '' "$out/$target.log") log lines)"
  else
    echo "fuzz $target: FAILED"; tail -40 "$out/$target.log"; status=1
  fi
done
exit $status
