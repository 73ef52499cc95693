"""Configures a benchmark script's own build folder (the Python twin of bench_folder.sh).

build/ holds the presets' folders (CMakePresets.json), whose options setup.sh and the
tests rely on, so build/ and every folder inside it are refused. With
HW_BENCH_CONFIGURE_ONLY=1 the calling script stops after configuring.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def configure(folder, options):
    presets = os.path.realpath(os.path.join(ROOT, "build"))
    if (os.path.realpath(folder) + os.sep).startswith(presets + os.sep):
        sys.exit("%s: build/ holds the presets' folders; benchmarks use a folder of their own"
                 % os.path.basename(sys.argv[0]))
    subprocess.run(["cmake", "-S", ROOT, "-B", folder] + options, check=True,
                   stdout=subprocess.DEVNULL)
    if os.environ.get("HW_BENCH_CONFIGURE_ONLY") == "1":
        sys.exit(0)
