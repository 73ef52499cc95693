#!/usr/bin/env bash
# Set up a fresh Debian 12 machine (as root), build, and either start the editor
# or run every test. Each build has its own folder under build/ (CMakePresets.json),
# so either command leaves what the other built as it was.
#   bash tools/setup.sh run    install what is missing, build the release preset
#                              (editor, huewright-cli, benchmarks), start Huewright
#   bash tools/setup.sh test   install what is missing, build, run all tests
set -euo pipefail
mode=${1:-run}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(build-essential cmake pkg-config qt6-base-dev libgl-dev libgtest-dev googletest
  libgmock-dev libbenchmark-dev nettle-dev libspng-dev libacl1-dev libgif-dev)
if [ "$mode" = test ]; then
  # Interoperability peers, the fuzzing compiler and runtime, the format check.
  # A virtual X server, a window manager and xdotool for the real-window checks.
  packages+=(clang libclang-rt-14-dev python3 python3-pil imagemagick netpbm clang-format
    xvfb xauth openbox xdotool gifsicle
    # The install and package checks: the desktop's validators, man pages, MIME types.
    desktop-file-utils appstream libxml2-utils dpkg-dev groff-base man-db shared-mime-info
    libglib2.0-bin)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
fi

source tools/lib/presets.sh
case "$mode" in
  run)
    preset_build release
    exec ./build/release/huewright "${@:2}"
    ;;
  test)
    bash tools/run_tests.sh
    ;;
  *)
    echo "usage: bash tools/setup.sh run|test" >&2
    exit 2
    ;;
esac
