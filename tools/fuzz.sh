#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer),
# replays the seed corpus through the corpus test in that build, then fuzzes each target
# for a bounded time. Exits non-zero on any crash, leak, sanitizer report or timeout.
#
#   bash tools/fuzz.sh                  60 seconds per target
#   FUZZ_SECONDS=300 bash tools/fuzz.sh
#
# Environment: FUZZ_SECONDS (default 60), FUZZ_BUILD_DIR (default build/fuzz, the fuzz preset's),
# FUZZ_JOBS (parallel build jobs, default nproc).
# Inputs the fuzzer finds go to $FUZZ_BUILD_DIR/fuzz-work/<target>/ (never into the
# repository); a crashing input is saved as $FUZZ_BUILD_DIR/fuzz-artifacts/crash-*.
# Seeds: fuzz_<name> reads fuzz/corpus_<name>/; fuzz_pcx reads fuzz/corpus/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
jobs=${FUZZ_JOBS:-$(nproc)}

for tool in clang clang++; do
  command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool not found (apt-get install clang libclang-rt-14-dev)" >&2; exit 1; }
done

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHW_BUILD_FUZZ=ON -DHW_BUILD_GUI=OFF -DHW_BUILD_BENCH=OFF
targets=()
for src in fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz.sh: no fuzz targets in fuzz/" >&2; exit 1; }
cmake --build "$build" -j"$jobs" --target "${targets[@]}" test_fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "== corpus replay under the fuzzing build"
"$build/test_fuzz"

mkdir -p "$build/fuzz-artifacts"
for target in "${targets[@]}"; do
  work="$build/fuzz-work/$target"
  mkdir -p "$work"
  seeds="fuzz/corpus_${target#fuzz_}"
  [ "$target" = fuzz_pcx ] && seeds=fuzz/corpus
  [ -d "$seeds" ] || { echo "fuzz.sh: no seed corpus $seeds for $target" >&2; exit 1; }
  echo "== fuzzing $target for ${seconds}s from $seeds"
  # New inputs go to the work folder; the seed folder is read only.
  "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/" "$work" "$seeds"
done
echo "fuzz.sh: no crash in ${#targets[@]} target(s), ${seconds}s each"
