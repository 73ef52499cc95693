#!/usr/bin/env bash
# The Debian package cpack makes from a build folder: its name, its fields, the
# dependencies dpkg-shlibdeps found in the programs, and its contents.
#   deb_check.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; exit 1; }
deb=$tmp/huewright_1.0_amd64.deb
[ -f "$deb" ] || { ls "$tmp"; echo "FAIL: no huewright_1.0_amd64.deb" >&2; exit 1; }
dpkg-deb --info "$deb" >"$tmp/info"
field() { sed -n "s/^ $1: //p" "$tmp/info"; }
[ "$(field Package)" = huewright ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.0 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends names no Qt 6: $depends"
for lib in libspng0 libgif7 libc6; do
  [[ $depends == *$lib* ]] || fail "Depends lacks $lib: $depends"
done
for lib in libgtest libbenchmark; do
  [[ $depends != *$lib* ]] || fail "Depends names $lib: $depends"
done
dpkg-deb --contents "$deb" | awk '{print $6}' >"$tmp/contents"
for f in ./usr/bin/huewright ./usr/bin/huewright-cli ./usr/share/applications/huewright.desktop \
  ./usr/share/man/man1/huewright-cli.1 ./usr/share/mime/packages/huewright.xml; do
  grep -qx -- "$f" "$tmp/contents" || fail "the package lacks $f"
done
if grep -E 'bench|test_|\.a$' "$tmp/contents"; then fail "the package holds build-only files"; fi
if [ "$failures" -gt 0 ]; then
  echo "$failures checks failed" >&2
  exit 1
fi
echo "package checks passed"
