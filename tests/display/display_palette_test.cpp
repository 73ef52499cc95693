// The display palette: palettes live while a surface holds them and are released
// after, so rebuilding it for every change does not pile them up.
#include "display/display_palette.h"

#include <gtest/gtest.h>

namespace hw {
namespace {

LogicalPalette Filled(int base) {
  LogicalPalette p{};
  for (int i = 0; i < 256; ++i)
    p[i] = {uint8_t(base + i), uint8_t(i), uint8_t(255 - i), kEntryFlags};
  return p;
}

// Builds a palette and makes the picture box and picture window show it, the way
// every rebuild of the display palette does.
PaletteHandle Rebuild(DisplayPalette& d, const LogicalPalette& p) {
  PaletteHandle h = d.CreatePalette(p);
  for (Surface s : {Surface::PictureBox, Surface::PictureWindow}) {
    d.SelectPalette(s, h, false);
    d.RealizePalette(s);
  }
  return h;
}

// A palette lives while any surface has it selected or shows it realized; the
// superseded ones go as the board selects the newest into its swatches.
TEST(DisplayPalette, PalettesLiveWhileAnySurfaceHoldsThem) {
  DisplayPalette d;
  PaletteHandle a = Rebuild(d, Filled(1));
  d.SelectPalette(SwatchSurface(0), a, false);
  PaletteHandle b = Rebuild(d, Filled(2));
  EXPECT_TRUE(d.Exists(a));
  EXPECT_EQ(d.SelectPalette(SwatchSurface(0), b, false), a);
  EXPECT_FALSE(d.Exists(a));
  PaletteHandle c = d.CreatePalette(Filled(3));
  for (Surface s : {Surface::PictureBox, Surface::PictureWindow, SwatchSurface(0)})
    d.SelectPalette(s, c, false);
  EXPECT_EQ(std::tuple(d.Exists(b), *d.Realized(Surface::PictureBox)), std::tuple(true, Filled(2)));
  d.RealizePalette(Surface::PictureBox);
  d.RealizePalette(Surface::PictureWindow);
  EXPECT_EQ(std::tuple(d.Exists(b), d.LivePalettes()), std::tuple(false, 1u));
  for (int i = 0; i < 1000; ++i)
    d.SelectPalette(SwatchSurface(i % 4), Rebuild(d, Filled(i)), false);
  EXPECT_LE(d.LivePalettes(), 5u);
  EXPECT_EQ(*d.Realized(Surface::PictureWindow), Filled(999));
}

}  // namespace
}  // namespace hw
