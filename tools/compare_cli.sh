#!/usr/bin/env bash
# Runs two builds of huewright-cli over the same pictures and palettes (examples/
# and the fuzz corpora) and counts the commands whose exit code, standard output,
# standard error or written file differ: a refactoring that changes no behaviour
# leaves the count at 0.
#
#   tools/compare_cli.sh OLD_CLI NEW_CLI      (absolute paths)
#
# Each file goes through info, indices, palette, stats, convert to every picture
# and palette extension and to a palette strip, and two edits.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_all() {  # CLI LOG
  local cli=$1 log=$2 t="$work/out"
  mkdir -p "$t"
  : > "$log"
  for f in "$root"/examples/* "$root"/fuzz/corpus*/*; do
    [ -f "$f" ] || continue
    one() {  # NAME ARGS...
      local name=$1; shift
      rm -f "$t"/out.*
      "$cli" "$@" > "$t/stdout" 2> "$t/stderr"
      local rc=$? o om
      sed -i "s|$t|OUT|g" "$t/stderr"
      o=$(ls "$t"/out.* 2>/dev/null | head -1)
      om=none
      [ -n "$o" ] && om=$(md5sum < "$o" | cut -c1-12)
      echo "${f#$root/} $name rc=$rc out=$(md5sum < "$t/stdout" | cut -c1-12)" \
        "err=$(tr '\n' '|' < "$t/stderr") file=$om" >> "$log"
    }
    one info info "$f"
    one indices indices "$f"
    one palette palette "$f"
    one stats stats "$f"
    for e in pcx png gif bmp lbm gpl act pal hex; do one "convert-$e" convert "$f" "$t/out.$e"; done
    one strip convert --palette-strip "$f" "$t/out.png"
    one edit edit "$f" "$t/out.png" sort:usage reverse:0-15
    one edit-compact edit "$f" "$t/out.pcx" compact
  done
}

run_all "$1" "$work/old.log"
run_all "$2" "$work/new.log"
echo "commands=$(wc -l < "$work/new.log") differing=$(diff "$work/old.log" "$work/new.log" | grep -c '^>')"
diff "$work/old.log" "$work/new.log" | head -20
