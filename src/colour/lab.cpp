#include "colour/lab.h"

#include <cmath>
#include <numbers>

namespace hw {

namespace {

// sRGB channel 0..255 to linear light.
double Linear(uint8_t channel) {
  const double v = channel / 255.0;
  return v > 0.04045 ? std::pow((v + 0.055) / 1.055, 2.4) : v / 12.92;
}

double LabCurve(double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; }

// Chroma and hue angle in [0, 2 pi) of (x, y).
void Polar(double x, double y, double& r, double& angle) {
  r = std::sqrt(x * x + y * y);
  angle = std::atan2(y, x);
  if (angle < 0) angle += 2 * std::numbers::pi;
}

double Pow7(double x) {
  const double x2 = x * x;
  return x2 * x2 * x2 * x;
}

constexpr double kTwentyFiveTo7 = 6103515625.0;  // 25^7

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

Lab SrgbToLab(const RGBTriple& rgb) {
  const double r = Linear(rgb.R);
  const double g = Linear(rgb.G);
  const double b = Linear(rgb.B);
  const double x = 0.412453 * r + 0.357580 * g + 0.180423 * b;
  const double y = 0.212671 * r + 0.715160 * g + 0.072169 * b;
  const double z = 0.019334 * r + 0.119193 * g + 0.950227 * b;
  const double fx = LabCurve(x / 0.95047);
  const double fy = LabCurve(y / 1.0);
  const double fz = LabCurve(z / 1.08883);
  return Lab{116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double Ciede2000LowerBound(const Lab& x, const Lab& y) {
  const double mean_c = 0.5 * (std::sqrt(x.a * x.a + x.b * x.b) + std::sqrt(y.a * y.a + y.b * y.b));
  const double mean_c7 = Pow7(mean_c);
  const double stretch = 1 + 0.5 * (1 - std::sqrt(mean_c7 / (mean_c7 + kTwentyFiveTo7)));
  const double c1 = std::sqrt(x.a * stretch * x.a * stretch + x.b * x.b);
  const double c2 = std::sqrt(y.a * stretch * y.a * stretch + y.b * y.b);
  const double mean_l = 0.5 * (x.L + y.L);
  const double l50 = (mean_l - 50) * (mean_l - 50);
  const double l_term = (y.L - x.L) / (1 + 0.015 * l50 / std::sqrt(20 + l50));
  const double mean_c_prime = 0.5 * (c1 + c2);
  const double c_term = (c2 - c1) / (1 + 0.045 * mean_c_prime);
  // The hue difference 2 sqrt(C1 C2) sin(dh / 2) from the stretched vectors
  // without their angles, over the largest SH (T is at most 1 + 0.17 + 0.24 +
  // 0.32 + 0.20).
  const double dh2 = 2 * (c1 * c2 - x.a * stretch * y.a * stretch - x.b * y.b);
  const double h_term = std::sqrt(dh2 > 0 ? dh2 : 0) / (1 + 0.015 * mean_c_prime * 1.93);
  return std::sqrt(l_term * l_term +
                   (1 - std::sqrt(3.0) / 2) * (c_term * c_term + h_term * h_term));
}

double Ciede2000(const Lab& x, const Lab& y) {
  constexpr double kPi = std::numbers::pi;
  // a is stretched by the mean chroma; the rest works on the stretched values.
  const double mean_c = 0.5 * (std::sqrt(x.a * x.a + x.b * x.b) + std::sqrt(y.a * y.a + y.b * y.b));
  const double mean_c7 = Pow7(mean_c);
  const double stretch = 1 + 0.5 * (1 - std::sqrt(mean_c7 / (mean_c7 + kTwentyFiveTo7)));
  double c1 = 0, h1 = 0, c2 = 0, h2 = 0;
  Polar(x.a * stretch, x.b, c1, h1);
  Polar(y.a * stretch, y.b, c2, h2);

  const double mean_l = 0.5 * (x.L + y.L);
  const double l50 = (mean_l - 50) * (mean_l - 50);
  const double sl = 1 + 0.015 * l50 / std::sqrt(20 + l50);
  const double l_term = (y.L - x.L) / sl;

  const double mean_c_prime = 0.5 * (c1 + c2);
  const double sc = 1 + 0.045 * mean_c_prime;
  const double c_term = (c2 - c1) / sc;

  const double h_diff = h2 - h1;
  const double h_sum = h1 + h2;
  const double cc = c1 * c2;
  double dh = h_diff;
  if (h_diff > kPi) dh -= 2 * kPi;
  if (h_diff < -kPi) dh += 2 * kPi;
  if (cc == 0) dh = 0;  // a grey has no hue
  const double dh_term = 2 * std::sqrt(cc) * std::sin(dh / 2);

  double mean_h = h_sum;
  if (cc != 0 && std::abs(h_diff) > kPi) mean_h += h_sum < 2 * kPi ? 2 * kPi : -2 * kPi;
  if (cc == 0) mean_h *= 2;  // the other's hue alone
  mean_h *= 0.5;

  // cos(n H + phase) for n = 1..4 from one sine and cosine of H.
  const double c1h = std::cos(mean_h), s1h = std::sin(mean_h);
  const double c2h = 2 * c1h * c1h - 1, s2h = 2 * s1h * c1h;
  const double c3h = c2h * c1h - s2h * s1h, s3h = s2h * c1h + c2h * s1h;
  const double c4h = 2 * c2h * c2h - 1, s4h = 2 * s2h * c2h;
  static const double cos30 = std::cos(Radians(30)), sin30 = std::sin(Radians(30));
  static const double cos6 = std::cos(Radians(6)), sin6 = std::sin(Radians(6));
  static const double cos63 = std::cos(Radians(63)), sin63 = std::sin(Radians(63));
  const double t = 1 - 0.17 * (c1h * cos30 + s1h * sin30) + 0.24 * c2h +
                   0.32 * (c3h * cos6 - s3h * sin6) - 0.20 * (c4h * cos63 + s4h * sin63);
  const double sh = 1 + 0.015 * mean_c_prime * t;
  const double h_term = dh_term / sh;

  const double c7 = Pow7(mean_c_prime);
  const double rc = 2 * std::sqrt(c7 / (c7 + kTwentyFiveTo7));
  const double degrees = mean_h * 180.0 / kPi;
  const double dtheta = Radians(30) * std::exp(-((degrees - 275) / 25) * ((degrees - 275) / 25));
  const double r_term = -std::sin(2 * dtheta) * rc * c_term * h_term;

  const double de2 = l_term * l_term + c_term * c_term + h_term * h_term + r_term;
  return std::sqrt(de2 > 0 ? de2 : 0);
}

}  // namespace hw
