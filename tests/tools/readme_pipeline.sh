#!/bin/bash
# Runs the worked build script of docs/cli.md's "Scripts and pipelines" as written:
# in a scratch folder that sees this checkout's examples/, with the huewright-cli of
# BINARY_DIR on the PATH. Then checks what it wrote: the map sends the input's
# indices to the output's, and the interface colours sit at 248..255.
#   readme_pipeline.sh SOURCE_DIR BINARY_DIR
set -euo pipefail
src=$1
bin=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
awk '/^## Scripts and pipelines/ { section = 1; next }
     section && /^## / { exit }
     section && /^```sh$/ { block = 1; next }
     block && /^```$/ { exit }
     block { print }' "$src/docs/cli.md" >"$scratch/build.sh"
[ -s "$scratch/build.sh" ] || { echo "FAIL: no script in docs/cli.md's Scripts and pipelines"; exit 1; }
ln -s "$src/examples" "$scratch/examples"
(cd "$scratch" && PATH="$bin:$PATH" bash build.sh) || { echo "FAIL: the docs/cli.md script failed"; exit 1; }
cli=$bin/huewright-cli
/usr/bin/python3 - "$scratch" "$cli" <<'PY'
import json, subprocess, sys
folder, cli = sys.argv[1], sys.argv[2]
indices = lambda f: subprocess.run([cli, "indices", f], capture_output=True, check=True).stdout
before = indices(folder + "/examples/landscape.pcx")
after = indices(folder + "/out/landscape.pcx")
doc = json.load(open(folder + "/out/landscape.map.json"))
assert bytes(doc["map"][i] for i in before) == after, "the map does not give the output's indices"
ui = ["000000", "202040", "404080", "8080c0", "c0c0e0", "ffffff", "ffd040", "ff4020"]
assert doc["entries"][248:] == ["#" + c + "ff" for c in ui], doc["entries"][248:]
stats = json.load(open(folder + "/out/landscape.stats.json"))
assert [e["colour"] for e in stats["entries"][248:]] == ["#" + c for c in ui]
# The fitted sprites use only the landscape's colours, each once, packed at the front.
sprites = json.load(open(folder + "/out/sprites.stats.json"))
used = [e for e in sprites["entries"] if e["usage"] > 0]
assert [e["index"] for e in used] == list(range(len(used))), "the used entries are not packed"
assert {e["colour"] + "ff" for e in used} <= set(doc["entries"]), "a colour not in the palette"
assert all(e["duplicate_of"] is None for e in used), "duplicates left among the used entries"
PY
echo "the build script of docs/cli.md runs as written"
