#!/usr/bin/env bash
# Builds and runs every test: a normal build, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, and a short bounded fuzzing run of the file readers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== normal build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== sanitizer build and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DHW_SANITIZE=ON -DHW_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ -f tools/fuzz.sh ]; then
  echo "== fuzzing the file readers (bounded)"
  FUZZ_SECONDS=${FUZZ_SECONDS:-60} bash tools/fuzz.sh
fi
