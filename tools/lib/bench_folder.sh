# Sourced by the benchmark scripts (which set $root): configures the script's own
# build folder. build/ holds the presets' folders (CMakePresets.json), whose options
# setup.sh and the tests rely on, so build/ and every folder inside it are refused.
#   bench_configure FOLDER CMAKE_OPTIONS...
# With HW_BENCH_CONFIGURE_ONLY=1 the calling script stops after configuring.
bench_configure() {
  local folder=$1
  shift
  local presets
  presets=$(realpath -m "$root/build")
  case "$(realpath -m "$folder")/" in
    "$presets"/*)
      echo "$(basename "$0"): build/ holds the presets' folders; benchmarks use a folder of their own" >&2
      exit 2
      ;;
  esac
  cmake -S "$root" -B "$folder" "$@" >/dev/null
  if [ "${HW_BENCH_CONFIGURE_ONLY:-0}" = 1 ]; then exit 0; fi
}
