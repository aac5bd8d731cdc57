#!/usr/bin/env bash
# Quick start: installs what is missing, builds in Release and estimates the number of
# vertex covers of the 6 x 6 grid graph (exact count: 5,598,861).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target monocount >/dev/null
./build/monocount --problem examples/grid6x6.cnf --N 200000 --R 10 --seed 1 "$@"
