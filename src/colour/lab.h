// CIELAB and the CIEDE2000 colour difference, for choosing the nearest colour
// the way the eye judges it. The conversion is the common one for 8-bit sRGB:
// the channels' sRGB curve (threshold 0.04045), the sRGB-to-XYZ matrix with
// coefficients to six places, the D65 white 0.95047 / 1 / 1.08883, and the Lab
// curve with threshold 0.008856 and slope 7.787 below it, in double precision,
// so that values agree with scikit-image's rgb2lab and deltaE_ciede2000 (the
// colour tests hold them to 1e-6).
#pragma once

#include "colour/colour.h"

namespace hw {

struct Lab {
  double L = 0;
  double a = 0;
  double b = 0;
};

Lab SrgbToLab(const RGBTriple& rgb);

// CIEDE2000 with kL = kC = kH = 1. Where the two hue angles differ by exactly
// half a turn the mean hue is taken as the formula's usual rule has it (the sum
// turned by a whole turn when below it, back when not).
double Ciede2000(const Lab& x, const Lab& y);

// A value never above Ciede2000(x, y) by more than 1e-5 (rounding: its hue
// part subtracts nearly equal products), computed without angles, for searches
// that skip what cannot be nearer: the lightness term, and the chroma and hue
// terms (the hue term over its largest weight) weighted by 1 - sin 60 degrees,
// since the rotation term takes at most sqrt(3) |C| |H| from C^2 + H^2.
double Ciede2000LowerBound(const Lab& x, const Lab& y);

}  // namespace hw
