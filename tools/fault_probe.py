#!/usr/bin/env python3
"""Plants known faults in the source, one at a time, and records which the test
suite catches: a fault is caught when the build fails or any test fails.

Each fault is one exact text replacement in one file; the file is restored
after each run, whatever happens. Builds in a folder of its own (no editor
window, no benchmarks) and runs every test there.

Usage: tools/fault_probe.py [BUILD_DIR] [WORD]   (default build/probe; with WORD
only the faults whose name holds it)
Prints one line a fault, "caught" or "MISSED", then the count.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (name, file, text, replacement)
FAULTS = [
    ("spread HSV rewrites its upper end", "src/board/spread.cpp",
     "for (int i = lo + 1; i <= hi - 1; ++i) {", "for (int i = lo + 1; i <= hi; ++i) {"),
    ("hue sort loses its tie-break on value", "src/board/sort.cpp",
     "return b.hsv.H > a.hsv.H || (b.hsv.H == a.hsv.H && b.hsv.V > a.hsv.V);",
     "return b.hsv.H > a.hsv.H;"),
    ("RGB sort loses its tie-break on green", "src/board/sort.cpp",
     "return b.rgb.R < a.rgb.R || (b.rgb.R == a.rgb.R && b.rgb.G < a.rgb.G);",
     "return b.rgb.R < a.rgb.R;"),
    ("short merge runs one past the range", "src/board/board.cpp",
     "for (int k = 0; k < count && lo + k <= hi; ++k) put(lo + k, k);",
     "for (int k = 0; k < count && lo + k <= hi + 1 && lo + k < 256; ++k) put(lo + k, k);"),
    ("colour edits are not history steps", "src/editor/editor.cpp",
     "if (step != nullptr && (map_changed || entries_changed || cycles_changed || locks_changed)) {",
     "if (step != nullptr && (map_changed || cycles_changed || locks_changed)) {"),
    ("JASC palettes written blue first", "src/formats/palettes/palette_common.cpp",
     "return std::to_string(c.R) + separator + std::to_string(c.G) + separator + std::to_string(c.B);",
     "return std::to_string(c.B) + separator + std::to_string(c.G) + separator + std::to_string(c.R);"),
    ("overlapping runs exchanged in the wrong order", "src/board/moves.cpp",
     "if (int32_t{src} + count <= dst) {", "if (int32_t{src} < dst) {"),
    ("usage counted by as-loaded index, not position", "src/board/board.cpp",
     "for (size_t p = 0; p < 256; ++p) usage[map[p]] += loaded_counts[p];",
     "for (size_t p = 0; p < 256; ++p) usage[p] += loaded_counts[p];"),
    ("history shorter than 1000 steps", "src/board/history.h",
     "static constexpr size_t kMinSteps = 1000;", "static constexpr size_t kMinSteps = 999;"),
    ("history bound counts no names", "src/board/history.cpp",
     "bytes += sizeof(EntryNames);", "bytes += 0;"),
    ("PNG saves said to lose alpha", "src/formats/pictures/picture_formats.cpp",
     "EncodePngPicture,  AlphaKept::All,      true},",
     "EncodePngPicture,  AlphaKept::None,     true},"),
    ("cut runs counted one short", "src/editor/editor.cpp",
     "const int moved = std::min({options.count, 256 - target, 256 - source});",
     "const int moved = std::min({options.count, 255 - target, 256 - source});"),
    ("PCX runs of 64", "src/formats/pictures/pcx_runs.cpp",
     "for (; n > 63; n -= 63) {", "for (; n > 64; n -= 64) {"),
    ("Index exchange relabels only one way", "src/board/board.cpp",
     "    to_[pa] = static_cast<uint8_t>(b);\n", "    (void)pa;\n"),
]


def run(cmd, cwd):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "probe")
    if run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DHW_BUILD_GUI=OFF", "-DHW_BUILD_BENCH=OFF"], ROOT) != 0:
        sys.exit("fault_probe: cannot configure " + build)
    jobs = str(os.cpu_count() or 2)
    if run(["cmake", "--build", build, "-j", jobs], ROOT) != 0:
        sys.exit("fault_probe: the unchanged tree does not build")
    only = sys.argv[2] if len(sys.argv) > 2 else ""
    faults = [f for f in FAULTS if only in f[0]]
    caught = 0
    for name, rel, text, replacement in faults:
        path = os.path.join(ROOT, rel)
        with open(path) as f:
            original = f.read()
        if original.count(text) != 1:
            print(f"NOT PLANTED  {name} ({rel}: the text is not there exactly once)")
            continue
        try:
            with open(path, "w") as f:
                f.write(original.replace(text, replacement))
            failed = run(["cmake", "--build", build, "-j", jobs], ROOT) != 0 or \
                run(["ctest", "--test-dir", build, "-j", jobs, "-E", "bench_scripts"], ROOT) != 0
        finally:
            with open(path, "w") as f:
                f.write(original)
        caught += failed
        print(("caught       " if failed else "MISSED       ") + name, flush=True)
    run(["cmake", "--build", build, "-j", jobs], ROOT)
    print(f"{caught} of {len(faults)} planted faults caught")


if __name__ == "__main__":
    main()
