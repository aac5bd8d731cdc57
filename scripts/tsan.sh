#!/usr/bin/env bash
# Builds the tests with ThreadSanitizer (build-tsan/) and runs the ones that start worker
# threads: the block runner, both estimators on block streams and the command-line
# runs on several threads. Not part of check.sh (it adds a third full build); run it after
# changing anything the worker threads touch. Fails on any reported race.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMONOCOUNT_WERROR=ON \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
cmake --build build-tsan -j"$(nproc)" --target monocount monocount_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/monocount_tests \
  --gtest_filter='RunBlocks*:RunTogether*:PermutationEstimator*:Splitting*:SizeDescent*:Unbiasedness*:CommandLine.TheNumber*'
