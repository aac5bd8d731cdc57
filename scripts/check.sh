#!/usr/bin/env bash
# Runs the whole test suite through CTest: first the Release build (benchmarks built too, so
# they keep compiling; MPI on, so the command-line tests also run monocount on three ranks of
# an MPI job), then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (without MPI). Warnings are errors in both. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DMONOCOUNT_WERROR=ON -DMONOCOUNT_BENCHMARKS=ON -DMONOCOUNT_MPI=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMONOCOUNT_WERROR=ON -DMONOCOUNT_SANITIZE=ON -DMONOCOUNT_MPI=OFF
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
