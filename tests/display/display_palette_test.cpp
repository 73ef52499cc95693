#include "display/display_palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

TEST(DisplayPalette, CreateSelectRealizeAndReadBack) {
  EXPECT_EQ(DisplayPalette(256).PaletteSize(), 256);
  DisplayPalette d;
  EXPECT_EQ(d.PaletteSize(), 0);
  const LogicalPalette p = Filled(10);
  const PaletteHandle a = d.CreatePalette(p), b = d.CreatePalette(Filled(20));
  EXPECT_TRUE(a != 0 && b != 0 && a != b);

  // Selected but not realized: the surface does not show it yet. The generation
  // grows with every step that may change what a surface shows.
  const uint64_t g0 = d.Generation();
  EXPECT_EQ(d.SelectPalette(Surface::PictureBox, a, false), 0);
  EXPECT_EQ(d.Realized(Surface::PictureBox), nullptr);
  const uint64_t g1 = d.Generation();
  EXPECT_EQ(d.RealizePalette(Surface::PictureBox), 256);
  EXPECT_TRUE(g0 < g1 && g1 < d.Generation());
  ASSERT_EQ(*d.Realized(Surface::PictureBox), p);

  EXPECT_EQ(d.SelectPalette(Surface::PictureBox, b, false), a);
  EXPECT_EQ(d.Selected(Surface::PictureBox), b);
  // a is still what the surface shows until b is realized.
  EXPECT_EQ(*d.Realized(Surface::PictureBox), p);
  d.RealizePalette(Surface::PictureBox);
  EXPECT_EQ(*d.Realized(Surface::PictureBox), Filled(20));

  std::vector<PaletteEntry> out(256);
  const uint64_t g = d.Generation();
  EXPECT_EQ(d.GetPaletteEntries(b, 0, 256, out), 256);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), Filled(20).begin()));
  EXPECT_EQ(d.Generation(), g);  // reading changes nothing
}

TEST(DisplayPalette, NullAndUnknownHandlesFailSilently) {
  DisplayPalette d;
  PaletteHandle a = Rebuild(d, Filled(0));
  const uint64_t gen = d.Generation();
  std::vector<PaletteEntry> buf(40, PaletteEntry{1, 2, 3, kEntryFlags});
  for (PaletteHandle h : {0, a + 1000, -5}) {
    EXPECT_EQ(d.SelectPalette(Surface::PictureBox, h, false), 0);
    EXPECT_EQ(d.AnimatePalette(h, 196, 40, buf), 0);
    EXPECT_EQ(d.GetPaletteEntries(h, 196, 40, buf), 0);
    EXPECT_FALSE(d.Exists(h));
  }
  // The failed selections left the surface as it was.
  EXPECT_EQ(d.Selected(Surface::PictureBox), a);
  EXPECT_EQ(d.Generation(), gen);
  EXPECT_EQ(d.RealizePalette(SwatchSurface(3)), 0);  // nothing selected there
  EXPECT_EQ(d.Realized(SwatchSurface(3)), nullptr);
}

TEST(DisplayPalette, AnimateChangesReservedEntriesEverywhereAtOnce) {
  DisplayPalette d;
  LogicalPalette p = Filled(0);
  p[200].flags = kPcNoCollapse;  // not reserved: must not animate
  PaletteHandle h = Rebuild(d, p);
  d.SelectPalette(SwatchSurface(199), h, false);
  d.RealizePalette(SwatchSurface(199));
  const uint64_t gen = d.Generation();

  std::vector<PaletteEntry> fresh(3, PaletteEntry{7, 8, 9, 0});
  EXPECT_EQ(d.AnimatePalette(h, 199, 3, fresh), 2);
  EXPECT_GT(d.Generation(), gen);
  for (Surface s : {Surface::PictureBox, Surface::PictureWindow, SwatchSurface(199)}) {
    const LogicalPalette& shown = *d.Realized(s);
    EXPECT_EQ(shown[199], (PaletteEntry{7, 8, 9, kEntryFlags}));  // flags kept
    EXPECT_EQ(shown[201], (PaletteEntry{7, 8, 9, kEntryFlags}));
    for (int i : {198, 200, 202}) EXPECT_EQ(shown[i], p[i]);
  }
  // Reserved entries stay reserved, so a second animation still works.
  EXPECT_EQ(d.AnimatePalette(h, 199, 1, fresh), 1);
}

TEST(DisplayPalette, RangesAreClippedToPaletteAndBuffer) {
  DisplayPalette d;
  PaletteHandle h = Rebuild(d, Filled(0));
  std::vector<PaletteEntry> small(4);
  EXPECT_EQ(d.GetPaletteEntries(h, 250, 40, small), 4);  // buffer bound
  std::vector<PaletteEntry> big(40);
  EXPECT_EQ(d.GetPaletteEntries(h, 250, 40, big), 6);  // palette bound
  EXPECT_EQ(d.GetPaletteEntries(h, -1, 40, big), 0);
  EXPECT_EQ(d.GetPaletteEntries(h, 256, 1, big), 0);
  EXPECT_EQ(d.GetPaletteEntries(h, 0, -3, big), 0);
  EXPECT_EQ(d.AnimatePalette(h, 250, 40, big), 6);
  EXPECT_EQ(d.AnimatePalette(h, 0, 40, small), 4);
  EXPECT_EQ(d.AnimatePalette(h, -10, 40, big), 0);
}

TEST(DisplayPalette, PalettesLiveWhileAnySurfaceHoldsThem) {
  DisplayPalette d;
  PaletteHandle a = Rebuild(d, Filled(1));
  d.SelectPalette(SwatchSurface(0), a, false);
  PaletteHandle b = Rebuild(d, Filled(2));
  EXPECT_TRUE(d.Exists(a));  // swatch 0 still has it selected
  EXPECT_EQ(d.SelectPalette(SwatchSurface(0), b, false), a);
  EXPECT_FALSE(d.Exists(a));

  // Realized but no longer selected still counts as held: the surface shows it.
  PaletteHandle c = d.CreatePalette(Filled(3));
  d.SelectPalette(Surface::PictureBox, c, false);
  EXPECT_TRUE(d.Exists(b));
  EXPECT_EQ(*d.Realized(Surface::PictureBox), Filled(2));
  d.SelectPalette(Surface::PictureWindow, c, false);
  d.SelectPalette(SwatchSurface(0), c, false);
  EXPECT_TRUE(d.Exists(b));
  d.RealizePalette(Surface::PictureBox);
  d.RealizePalette(Surface::PictureWindow);
  EXPECT_FALSE(d.Exists(b));
  EXPECT_EQ(d.LivePalettes(), 1u);
  // Superseded palettes are released as the board selects the newest into swatches.
  for (int i = 0; i < 1000; ++i)
    d.SelectPalette(SwatchSurface(i % 4), Rebuild(d, Filled(i)), false);
  EXPECT_LE(d.LivePalettes(), 5u);
  EXPECT_EQ(*d.Realized(Surface::PictureWindow), Filled(999));
}

}  // namespace
}  // namespace hw
