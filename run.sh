#!/usr/bin/env bash
# Installs what is missing, builds Gridvane in Release and runs it on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRIDVANE_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build/run -j "$(nproc)"

sample=samples/parts-list.table.json
out=build/run/parts-list.dxf
./build/run/app/gridvane-convert -o "$out" "$sample"
