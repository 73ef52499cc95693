#!/usr/bin/env bash
# Formats every tracked C++ file (*.cpp, *.h) under src, tests, bench and fuzz with
# clang-format and the style in .clang-format (Debian 12's clang-format 14).
#   bash tools/format.sh           rewrite the files that differ
#   bash tools/format.sh --check   change nothing; list the files that differ and
#                                  exit 1 if there are any
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: bash tools/format.sh [--check]" >&2; exit 2 ;;
esac
command -v clang-format >/dev/null ||
  { echo "format.sh: clang-format not found (apt-get install clang-format)" >&2; exit 2; }

files=()
while IFS= read -r f; do
  [ -f "$f" ] && files+=("$f")
done < <(git ls-files -- src tests bench fuzz | grep -E '\.(cpp|h)$')

if [ $check = 0 ]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
differ=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror --style=file "$f" >/dev/null 2>&1 || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
  printf '%s\n' "${differ[@]}"
  echo "format.sh: ${#differ[@]} of ${#files[@]} files differ from .clang-format" \
    "($(clang-format --version)); bash tools/format.sh rewrites them" >&2
  exit 1
fi
echo "format.sh: ${#files[@]} files match .clang-format"
