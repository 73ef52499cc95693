#!/usr/bin/python3
"""Writes tests/colour/lab_reference.h: CIELAB values and CIEDE2000 differences of
8-bit sRGB colours as scikit-image computes them (rgb2lab, deltaE_ciede2000), the
reference the colour tests hold the editor's own maths to.

Usage: /usr/bin/python3 tools/make_lab_reference.py > tests/colour/lab_reference.h
       bash tools/format.sh
(needs python3-skimage)
"""
import random

import numpy as np
import skimage
from skimage.color import deltaE_ciede2000, rgb2lab


def lab(c):
    return rgb2lab(np.array([[c]], dtype=np.uint8))[0, 0]


def main():
    rnd = random.Random(21)
    colours = [(0, 0, 0), (255, 255, 255), (1, 1, 1), (10, 10, 10), (11, 11, 11), (128, 128, 128),
               (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255),
               (3, 0, 0), (0, 0, 3), (200, 100, 50)]
    colours += [tuple(rnd.randrange(256) for _ in range(3)) for _ in range(17)]
    pairs = [((0, 0, 0), (255, 255, 255)), ((128, 128, 128), (128, 128, 128)),
             ((128, 128, 128), (130, 128, 128)),  # a grey against a colour
             ((50, 50, 50), (60, 60, 60)),  # two greys
             ((200, 40, 120), (200, 40, 140)),  # hues either side of the a axis
             ((90, 30, 100), (100, 60, 40)),  # hue angles more than half a turn apart
             ((40, 40, 200), (200, 40, 200)), ((10, 40, 200), (120, 30, 220)),
             ((255, 0, 0), (255, 0, 1)), ((0, 0, 255), (255, 0, 0))]
    pairs += [(tuple(rnd.randrange(256) for _ in range(3)), tuple(rnd.randrange(256) for _ in range(3)))
              for _ in range(30)]
    print("// CIELAB values and CIEDE2000 differences from scikit-image %s (rgb2lab," % skimage.__version__)
    print("// deltaE_ciede2000): made by tools/make_lab_reference.py, not by hand.")
    print("#pragma once\n\nnamespace hw::test {\n")
    print("struct LabRow {\n  int r, g, b;\n  double L, a, b_;\n};\n")
    print("inline constexpr LabRow kLabRows[] = {")
    for c in colours:
        v = lab(c)
        print("    {%d, %d, %d, %.17g, %.17g, %.17g}," % (c + tuple(v)))
    print("};\n")
    print("struct DeltaRow {\n  int r1, g1, b1, r2, g2, b2;\n  double delta;\n};\n")
    print("inline constexpr DeltaRow kDeltaRows[] = {")
    for x, y in pairs:
        d = float(deltaE_ciede2000(lab(x), lab(y)))
        print("    {%d, %d, %d, %d, %d, %d, %.17g}," % (x + y + (d,)))
    print("};\n\n}  // namespace hw::test")


main()
