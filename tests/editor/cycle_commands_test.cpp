// The colour-cycling controls of the editor: start and stop, scheme, speed, and
// the timer tick on the picture's display palette.
#include <gtest/gtest.h>

#include "cycle/cycle.h"
#include "editor_fakes.h"

namespace hw::test {
namespace {

struct FixedRandom : RandomSource {
  int draws = 0;
  float Next() override { return ++draws, 0.5f; }  // every jitter adds 1
};

struct CycleRig {
  FixedRandom random;
  Rig r;
  TempDir dir;
  explicit CycleRig(int palette_size = 0) : r(palette_size, &random) {
    Bytes pixels(64);
    for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(190 + k % 50);
    WritePicture(dir.File("p.pcx"), 8, 8, pixels, DistinctPalette());
    r.Load(dir.File("p.pcx"));
    r.ed.ToggleCycling();
  }
};

TEST(CycleCommands, TestButtonSpeedAndSchemeControls) {
  Rig r;
  r.ed.ToggleCycling();
  EXPECT_TRUE(r.ed.CyclingOn());
  r.ed.ToggleCycling();
  EXPECT_FALSE(r.ed.CyclingOn());

  EXPECT_EQ(r.ed.CycleInterval(), 16);  // the scroll bar's 200 is not copied at start-up
  for (const auto& [value, interval] : {std::pair{1000, 1000}, {5000, 1000}, {0, 1}, {250, 250}}) {
    r.ed.SetCycleSpeed(value);
    EXPECT_EQ(r.ed.CycleInterval(), interval) << value;
  }
  r.ed.SelectScheme(2);
  r.ed.SelectScheme(3);  // no such scheme: ignored, like -1
  r.ed.SelectScheme(-1);
  EXPECT_EQ(r.ed.CycleScheme(), 2);
}

TEST(CycleCommands, TicksAnimateThePictureNotTheBoard) {
  CycleRig c;
  const Snapshot before(c.r.ed);
  const Palette shown = before.picture_colours;

  c.r.ed.CycleTick();  // backward: each band of eight turns by one
  EXPECT_EQ(c.random.draws, 15);
  const Palette now = Realized(c.r.ed, Surface::PictureBox);
  for (size_t j = 0; j < 7; ++j) EXPECT_EQ(now[196 + j], shown[197 + j]);
  EXPECT_EQ(now[203], shown[196]);
  EXPECT_EQ(Realized(c.r.ed, Surface::PictureWindow), now);

  c.r.ed.SelectScheme(kSchemeForward);  // black keys jittered by +1
  c.r.ed.CycleTick();
  EXPECT_EQ(Realized(c.r.ed, Surface::PictureBox)[200], (RGBTriple{1, 1, 1}));
  EXPECT_EQ(c.r.ed.Board(), before.board);
  EXPECT_EQ(ShownBoard(c.r.ed), EntryColours(before.board));  // true-colour swatches stay
  EXPECT_FALSE(c.r.ed.CanUndo());
}

TEST(CycleCommands, HardwareSwatchesFollowTicksAndRebuilds) {
  CycleRig c(256);
  c.r.ed.CycleTick();
  const Palette animated = Realized(c.r.ed, Surface::PictureBox);
  ASSERT_NE(animated, EntryColours(c.r.ed.Board()));
  EXPECT_EQ(ShownBoard(c.r.ed), animated);
  c.r.colours.answer = PackRGB({1, 2, 3});
  c.r.commands.EditColour(9);  // a rebuild of the display palette
  EXPECT_EQ(c.r.ed.SwatchShownColour(9), (RGBTriple{1, 2, 3}));
  c.r.ed.CycleTick();
  EXPECT_EQ(ShownBoard(c.r.ed), Realized(c.r.ed, Surface::PictureBox));

  // Stop shows the board's colours again on every surface.
  c.r.ed.ToggleCycling();
  const Palette board = EntryColours(c.r.ed.Board());
  EXPECT_EQ(Realized(c.r.ed, Surface::PictureBox), board);
  EXPECT_EQ(Realized(c.r.ed, Surface::PictureWindow), board);
  EXPECT_EQ(ShownBoard(c.r.ed), board);
  c.r.ed.CycleTick();  // stopped: the tick does nothing
  EXPECT_EQ(Realized(c.r.ed, Surface::PictureBox), board);
}

TEST(CycleCommands, TickWithoutAPictureOrRandomSourceIsHarmless) {
  Editor ed(EditorServices{});
  ed.Start();
  ed.ToggleCycling();
  ed.CycleTick();
  ed.SelectScheme(kSchemeForward);
  ed.CycleTick();
  EXPECT_EQ(ed.Board(), StartBoard({255, 170, 85}));
}

}  // namespace
}  // namespace hw::test
