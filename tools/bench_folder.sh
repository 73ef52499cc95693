# Sourced by the benchmark scripts: configures their own build folder, never the
# normal build/ (whose options setup.sh and the tests rely on).
#   bench_configure FOLDER CMAKE_OPTIONS...
# With HW_BENCH_CONFIGURE_ONLY=1 the calling script stops after configuring.
bench_configure() {
  local folder=$1
  shift
  local normal
  normal=$(cd "$root" && pwd)/build
  if [ "$(realpath -m "$folder")" = "$(realpath -m "$normal")" ]; then
    echo "$(basename "$0"): build/ is the normal build; benchmarks use a folder of their own" >&2
    exit 2
  fi
  cmake -S "$root" -B "$folder" "$@" >/dev/null
  if [ "${HW_BENCH_CONFIGURE_ONLY:-0}" = 1 ]; then exit 0; fi
}
