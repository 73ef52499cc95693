# Sourced by the scripts that build through CMakePresets.json (they set $root).
#   preset_build NAME [cmake --build options...]
#       configures build/NAME from its preset (quick when nothing changed) and builds
#       the preset's targets, or those given with --target.
#   editor_build
#       builds the editor for the scripts that drive it and sets $editor: in the
#       release preset's folder, or in $HW_BUILD_DIR when that is set.
preset_build() {
  local name=$1
  shift
  (cd "$root" && cmake --preset "$name" && cmake --build --preset "$name" -j"$(nproc)" "$@")
}

editor_build() {
  if [ -n "${HW_BUILD_DIR:-}" ]; then
    if [ ! -f "$HW_BUILD_DIR/CMakeCache.txt" ]; then
      # A folder of build/ is configured from its preset, any other with the defaults.
      if [ "$(realpath -m "$HW_BUILD_DIR/..")" = "$(realpath -m "$root/build")" ]; then
        (cd "$root" && cmake --preset "$(basename "$HW_BUILD_DIR")" >/dev/null)
      else
        cmake -S "$root" -B "$HW_BUILD_DIR" >/dev/null
      fi
    fi
    cmake --build "$HW_BUILD_DIR" -j2 --target huewright >/dev/null
    editor=$HW_BUILD_DIR/huewright
  else
    preset_build release --target huewright >/dev/null
    editor=$root/build/release/huewright
  fi
}
