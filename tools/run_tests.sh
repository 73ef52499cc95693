#!/usr/bin/env bash
# Builds and runs every test, each build in its preset's folder (CMakePresets.json):
# the release build (editor, huewright-cli, benchmarks; the same one setup.sh run
# makes), the tests in build/test, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer in build/asan, and a short bounded fuzzing run of the
# file readers in build/fuzz.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/lib/presets.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== release build: the editor, huewright-cli and the benchmarks"
preset_build release

echo "== tests"
preset_build test
ctest --preset test -j"$jobs"

echo "== tests under the sanitizers"
preset_build asan
ctest --preset asan -j"$jobs"

if [ -f tools/fuzz.sh ]; then
  echo "== fuzzing the file readers (bounded)"
  FUZZ_BUILD_DIR="$root/build/fuzz" FUZZ_SECONDS=${FUZZ_SECONDS:-60} bash tools/fuzz.sh
fi
