#!/usr/bin/env python3
"""Checks that the folders of src/ include only the layers below them.

Each folder under src/ is one layer and one CMake library; the table below says
which other folders each may include ("#include "folder/..."). Any other include
is reported with its file and line, and the script exits 1. The table itself must
have no cycle, so dependencies always point one way:

    {qt, cli} -> editor -> {board, cycle, display, formats, pixels} -> colour -> base

Inside formats/, the codecs (pictures/) and palette formats (palettes/) may not
include the file layer (files/) nor use any file call: they work on bytes.

Inside a folder, the files of one name (x.h and x.cpp) are one module, and the
includes between modules must form no cycle either, so that each module can be
read knowing only those below it.

Usage: check_layers.py SRC_DIR
"""
import os
import re
import sys

ALLOWED = {
    "base": set(),
    "colour": {"base"},
    "pixels": {"base"},
    "display": {"base"},
    "formats": {"colour", "base"},
    "board": {"colour", "base"},
    "cycle": {"display", "colour", "base"},
    "editor": {"board", "cycle", "display", "formats", "pixels", "colour", "base"},
    "qt": {"editor", "board", "cycle", "display", "formats", "pixels", "colour", "base"},
    "cli": {"editor", "board", "cycle", "display", "formats", "pixels", "colour", "base"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

# The codecs and palette formats work on bytes in memory: from these wings of
# formats/, no include of the file layer and no file call of any kind.
BYTES_ONLY = ("formats/pictures", "formats/palettes")
FILE_USE = re.compile(
    r'#\s*include\s*(?:"formats/files/[^"]*"|<(?:fstream|fcntl\.h|cstdio|stdio\.h|unistd\.h)>)'
    r'|\b(?:std::)?(?:fopen|fdopen|freopen|fread|fwrite|fclose|fseek|ftell|fgets|fputs|fprintf|'
    r'fscanf|fflush|tmpfile)\s*\(|\bstd::[io]?fstream\b')


def table_is_acyclic():
    state = {}

    def visit(node):
        if state.get(node) == 1:
            return False
        if state.get(node) == 2:
            return True
        state[node] = 1
        ok = all(visit(dep) for dep in ALLOWED.get(node, ()))
        state[node] = 2
        return ok

    return all(visit(node) for node in ALLOWED)


def module_cycles(src, folder):
    """Cycles among the modules of one folder, each as a list of module names."""
    edges = {}
    path = os.path.join(src, folder)
    for name in os.listdir(path):
        stem, ext = os.path.splitext(name)
        if ext not in (".h", ".hpp", ".cpp", ".cc"):
            continue
        with open(os.path.join(path, name), errors="replace") as f:
            for line in f:
                m = INCLUDE.match(line)
                if m and m.group(1).startswith(folder + "/"):
                    target = os.path.splitext(m.group(1)[len(folder) + 1:])[0]
                    if target != stem:
                        edges.setdefault(stem, set()).add(target)
    cycles, state, stack = [], {}, []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for dep in sorted(edges.get(node, ())):
            if state.get(dep) == 1:
                cycles.append(stack[stack.index(dep):] + [dep])
            elif dep not in state:
                visit(dep)
        stack.pop()
        state[node] = 2

    for node in sorted(edges):
        if node not in state:
            visit(node)
    return cycles


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else "src"
    problems = []
    if not table_is_acyclic():
        problems.append("the layer table has a cycle")
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        if folder not in ALLOWED:
            problems.append(f"{folder}/: not a known layer (add it to the table)")
            continue
        for cycle in module_cycles(src, folder):
            problems.append(f"{folder}/: include cycle " + " -> ".join(cycle))
        for root, _, files in os.walk(path):
            for name in sorted(files):
                if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
                    continue
                file_path = os.path.join(root, name)
                with open(file_path, errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or "/" not in m.group(1):
                            continue
                        target = m.group(1).split("/")[0]
                        if target == folder or not os.path.isdir(os.path.join(src, target)):
                            continue
                        if target not in ALLOWED[folder]:
                            problems.append(
                                f"{os.path.relpath(file_path, src)}:{number}: "
                                f"{folder}/ may not include {m.group(1)}")
    for wing in BYTES_ONLY:
        path = os.path.join(src, wing)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
                continue
            with open(os.path.join(path, name), errors="replace") as f:
                for number, line in enumerate(f, 1):
                    code = line.split("//", 1)[0]
                    if FILE_USE.search(code):
                        problems.append(f"{wing}/{name}:{number}: a codec may not touch files: "
                                        f"{code.strip()}")
    for p in problems:
        print(p)
    print(f"{len(problems)} layer problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
