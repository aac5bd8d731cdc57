#!/usr/bin/env bash
# Fuzzes the reader and both estimators for SECONDS seconds (default 60) with clang's libFuzzer
# under AddressSanitizer and UndefinedBehaviorSanitizer, starting from the seed corpus
# tests/fixtures/fuzz-corpus (build in build-fuzz/). Fails on any finding: the input that
# triggered it is left in build-fuzz/findings/; once the fault is mended, add that input to the
# corpus, where the ordinary test suite replays it (FuzzCorpus.EveryInputReplays).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/deps.sh

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DMONOCOUNT_FUZZ=ON -DMONOCOUNT_SANITIZE=ON -DMONOCOUNT_TESTS=OFF -DMONOCOUNT_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target monocount_fuzz

work="$(mktemp -d)"   # new inputs of this run; the committed corpus is only read
trap 'rm -rf "$work"' EXIT
rm -rf build-fuzz/findings && mkdir -p build-fuzz/findings
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-fuzz/fuzz/monocount_fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
  -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 "$work" tests/fixtures/fuzz-corpus
