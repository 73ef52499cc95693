// CIELAB and CIEDE2000 against scikit-image's values (lab_reference.h).
#include "colour/lab.h"

#include <gtest/gtest.h>

#include <random>

#include "lab_reference.h"

namespace hw {
namespace {

RGBTriple Rgb(int r, int g, int b) {
  return {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

TEST(Lab, AgreesWithScikitImage) {
  for (const test::LabRow& row : test::kLabRows) {
    const Lab lab = SrgbToLab(Rgb(row.r, row.g, row.b));
    EXPECT_NEAR(lab.L, row.L, 1e-6) << row.r << " " << row.g << " " << row.b;
    EXPECT_NEAR(lab.a, row.a, 1e-6) << row.r << " " << row.g << " " << row.b;
    EXPECT_NEAR(lab.b, row.b_, 1e-6) << row.r << " " << row.g << " " << row.b;
  }
}

TEST(Ciede2000, AgreesWithScikitImageEitherWayRound) {
  for (const test::DeltaRow& row : test::kDeltaRows) {
    const Lab x = SrgbToLab(Rgb(row.r1, row.g1, row.b1));
    const Lab y = SrgbToLab(Rgb(row.r2, row.g2, row.b2));
    EXPECT_NEAR(Ciede2000(x, y), row.delta, 1e-6) << row.r1 << " " << row.g1 << " " << row.b1;
    EXPECT_NEAR(Ciede2000(y, x), row.delta, 1e-6) << row.r1 << " " << row.g1 << " " << row.b1;
  }
}

TEST(Ciede2000, LowerBoundIsNeverAbove) {
  std::mt19937 gen(5);
  const auto colour = [&] { return Rgb(gen() % 256, gen() % 256, gen() % 256); };
  for (int k = 0; k < 100000; ++k) {
    const RGBTriple c = colour();
    const Lab x = SrgbToLab(c), y = SrgbToLab(k % 4 ? colour() : c);  // equal colours too
    ASSERT_LE(Ciede2000LowerBound(x, y), Ciede2000(x, y) + 1e-5) << k;
  }
}

}  // namespace
}  // namespace hw
