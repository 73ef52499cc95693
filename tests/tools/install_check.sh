#!/usr/bin/env bash
# What `cmake --install` puts into a DESTDIR, checked with the desktop's own tools:
# every file there, the desktop entry, AppStream metadata, MIME definitions (the
# content types GLib finds with them), icons of their sizes, man pages without groff
# warnings and covering every command, option and step of the CLI's help, the
# programs' --version and --help without a display, and the bash completion.
#   install_check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

dest=$tmp/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >"$tmp/install.log"
root=$dest/usr
share=$root/share

# ---- every file, and nothing of the tests or benchmarks ----
expected=(bin/huewright bin/huewright-cli share/applications/huewright.desktop
  share/icons/hicolor/scalable/apps/huewright.svg share/mime/packages/huewright.xml
  share/metainfo/org.huewright.Huewright.metainfo.xml share/man/man1/huewright.1
  share/man/man1/huewright-cli.1 share/bash-completion/completions/huewright-cli
  share/doc/huewright/LICENSE)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/huewright.png"); done
for f in "${expected[@]}"; do
  [ -s "$root/$f" ] || fail "not installed: /usr/$f"
done
(cd "$root" && find . -type f | sed 's|^\./||' | sort) >"$tmp/installed"
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"
extra=$(comm -23 "$tmp/installed" "$tmp/expected")
[ -z "$extra" ] || fail "installed but not expected: $extra"
for p in huewright huewright-cli; do
  [ -x "$root/bin/$p" ] || fail "/usr/bin/$p is not executable"
done
cmp -s "$src/LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the GPL version 3"
for s in "${sizes[@]}"; do
  got=$(identify -format '%wx%h %[channels]' "$share/icons/hicolor/${s}x${s}/apps/huewright.png")
  [[ $got == "${s}x${s} srgba"* ]] || fail "icon ${s}x${s} is $got"
done

# ---- the desktop's validators ----
desktop-file-validate "$share/applications/huewright.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/org.huewright.Huewright.metainfo.xml" \
  >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log"; fail "appstreamcli validate"; }
grep -q '<release version="1.0"' "$share/metainfo/org.huewright.Huewright.metainfo.xml" ||
  fail "the AppStream release is not 1.0"
xmllint --noout "$share/mime/packages/huewright.xml" || fail "xmllint"
# The entry names the picture types by the database's names, and ours.
grep '^MimeType=' "$share/applications/huewright.desktop" | cut -d= -f2 | tr ';' '\n' |
  sed '/^$/d' >"$tmp/types"
for t in $(cat "$tmp/types"); do
  [ -f "/usr/share/mime/$t.xml" ] || grep -q "type=\"$t\"" "$share/mime/packages/huewright.xml" ||
    fail "MimeType $t is neither in shared-mime-info nor ours"
done
for t in image/png image/gif image/bmp image/vnd.zbrush.pcx image/x-ilbm; do
  grep -qx "$t" "$tmp/types" || fail "MimeType lacks $t"
done
grep -o '<mime-type type="[^"]*"' "$share/mime/packages/huewright.xml" | cut -d'"' -f2 | while read -r t; do
  grep -qx "$t" "$tmp/types" || echo "$t"
done >"$tmp/unclaimed"
[ ! -s "$tmp/unclaimed" ] || fail "MimeType lacks $(cat "$tmp/unclaimed")"
globs=$(grep -o 'glob pattern="[^"]*"' "$share/mime/packages/huewright.xml" | cut -d'"' -f2 |
  sort | tr '\n' ' ')
[ "$globs" = "*.aco *.act *.ase *.gpl " ] || fail "globs are $globs"

# The types GLib finds for sample files with the database built from ours.
mkdir -p "$tmp/xdg/mime/packages" "$tmp/files"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/huewright.xml" \
  "$tmp/xdg/mime/packages/"
update-mime-database "$tmp/xdg/mime" >/dev/null 2>&1
printf 'JASC-PAL\r\n0100\r\n1\r\n0 0 0\r\n' >"$tmp/files/jasc.pal"
printf '\xef\xbb\xbf; paint.net Palette File\r\nFF000000\r\n' >"$tmp/files/paintnet"
printf 'RIFF\x10\x00\x00\x00PAL data\x04\x00\x00\x00\x00\x03\x01\x00\x00\x00\x00\x00' \
  >"$tmp/files/riff.pal"
printf 'GIMP Palette\nName: x\n#\n0 0 0 black\n' >"$tmp/files/gimp.gpl"
printf 'not a palette\n' >"$tmp/files/notes.pal"
printf 'red\n' >"$tmp/files/notes.hex"
head -c 772 /dev/zero >"$tmp/files/table.act"
printf 'ASEF\x00\x01\x00\x00\x00\x00\x00\x00' >"$tmp/files/swatches.ase"
printf '\x00\x01\x00\x00' >"$tmp/files/swatches.aco"
cp "$src/examples/sprites.pcx" "$tmp/files/sprites.pcx"
content_type() {
  XDG_DATA_HOME=$tmp/xdg XDG_DATA_DIRS=$tmp/xdg gio info -a standard::content-type "$1" 2>/dev/null |
    sed -n 's/^ *standard::content-type: //p'
}
while read -r name type; do
  got=$(content_type "$tmp/files/$name")
  [ "$got" = "$type" ] || fail "$name is $got, not $type"
done <<'TYPES'
jasc.pal application/x-jasc-palette
paintnet application/x-paintnet-palette
riff.pal application/x-riff-palette
gimp.gpl application/x-gimp-palette
notes.pal text/plain
notes.hex text/plain
table.act application/x-adobe-color-table
swatches.ase application/x-adobe-swatch-exchange
swatches.aco application/x-adobe-color-swatches
sprites.pcx image/vnd.zbrush.pcx
TYPES

# ---- the programs, from the DESTDIR, with no display ----
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
for p in huewright huewright-cli; do
  run "$root/bin/$p" --version >"$tmp/version" 2>"$tmp/version.err" || fail "$p --version failed"
  [ "$(sed -n 1p "$tmp/version")" = "$p 1.0" ] || fail "$p --version says $(head -1 "$tmp/version")"
  [[ $(sed -n 2p "$tmp/version") == *GPL-3.0-or-later* ]] || fail "$p --version names no licence"
  [ ! -s "$tmp/version.err" ] || fail "$p --version wrote on stderr"
  run "$root/bin/$p" --help >"$tmp/$p.help" 2>"$tmp/help.err" || fail "$p --help failed"
  [ ! -s "$tmp/help.err" ] || fail "$p --help wrote on stderr"
done
grep -q -- '--load FILE' "$tmp/huewright.help" || fail "huewright --help lacks --load"

# ---- man pages ----
for page in huewright huewright-cli; do
  file=$share/man/man1/$page.1
  warnings=$(groff -man -ww -z "$file" 2>&1)
  [ -z "$warnings" ] || fail "groff warns on $page.1: $warnings"
  [[ $(lexgrog "$file") == *"\"$page - "* ]] || fail "lexgrog finds no whatis line in $page.1"
done
# Each line of a help names a form ("edit --map F", "sort:KEY[:reverse]..."): the man
# page has it as an entry of its own, as written.
render() { groff -man -Tascii -rLL=250n -P-cbou "$1" 2>/dev/null | sed 's/^ *//'; }
check_forms() {
  local page=$1 help=$2 form
  render "$page" >"$tmp/page.txt"
  # The help's entries: two-space indented, the form before a run of two spaces.
  grep '^  [^ ]' "$help" | sed 's/^  //; s/  .*//' >"$tmp/forms"
  [ -s "$tmp/forms" ] || fail "no entries in $help"
  while IFS= read -r form; do
    grep -qF -x -- "$form" "$tmp/page.txt" || grep -qF -- "$form   " "$tmp/page.txt" ||
      fail "$(basename "$page") lacks '$form'"
  done <"$tmp/forms"
}
check_forms "$share/man/man1/huewright-cli.1" "$tmp/huewright-cli.help"
check_forms "$share/man/man1/huewright.1" "$tmp/huewright.help"

# ---- bash completion, sourced in a bash without bash-completion ----
complete_line() {
  bash --norc --noprofile -c '
    source "$1"
    line=$2
    COMP_LINE=$line
    COMP_POINT=${#line}
    # Words split as readline splits them: at blanks, and a colon a word of its own.
    mapfile -t COMP_WORDS < <(printf "%s" "$line" | sed "s/:/ : /g" | tr -s " " "\n")
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _huewright_cli
    printf "%s\n" "${COMPREPLY[@]}"' _ "$share/bash-completion/completions/huewright-cli" "$1"
}
[ "$(complete_line 'huewright-cli ed')" = edit ] || fail "'huewright-cli ed' completes to $(complete_line 'huewright-cli ed')"
sed -n '/^Commands:/,/^$/p' "$tmp/huewright-cli.help" | sed -n 's/^  \([^ ]*\).*/\1/p' >"$tmp/commands"
# (grep -q leaves a pipe early: the candidates are kept first.)
candidates=$(complete_line "huewright-cli ")
for c in $(cat "$tmp/commands"); do
  grep -qx -- "$c" <<<"$candidates" || fail "completion lacks the command $c"
done
sed -n '/^Steps of edit/,/^$/p' "$tmp/huewright-cli.help" | sed -n 's/^  \([a-z-]*:\{0,1\}\).*/\1/p' >"$tmp/steps"
[ "$(wc -l <"$tmp/steps")" -ge 18 ] || fail "the help lists $(wc -l <"$tmp/steps") steps"
candidates=$(complete_line "huewright-cli edit in.pcx out.pcx ")
for s in $(cat "$tmp/steps"); do
  grep -qx -- "$s" <<<"$candidates" || fail "completion lacks the step $s"
done
[ "$(complete_line 'huewright-cli edit in.pcx out.pcx sort:li')" = lightness ] ||
  fail "sort:li completes to '$(complete_line 'huewright-cli edit in.pcx out.pcx sort:li')'"
[ "$(complete_line 'huewright-cli convert --format m')" = md9 ] || fail "--format m"
[ "$(complete_line 'huewright-cli edit a b --pa')" = --palette-out ] || fail "--pa"
[ "$(cd "$tmp/files" && complete_line 'huewright-cli info spr')" = sprites.pcx ] ||
  fail "file names are not completed"

if [ "$failures" -gt 0 ]; then
  echo "$failures checks failed" >&2
  exit 1
fi
echo "install checks passed"
