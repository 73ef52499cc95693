// Colour cycling in the editor: a preview on the picture's display palette (and on
// the swatches with hardware colours) that never changes the board or the history.
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
  c.r.ed.SetCycleSpeed(5000);
  EXPECT_EQ(c.r.ed.CycleInterval(), 1000);

  // Without a picture or a random source a tick is harmless.
  Editor bare(EditorServices{});
  bare.Start();
  bare.ToggleCycling();
  bare.SelectScheme(kSchemeForward);
  bare.CycleTick();
  EXPECT_EQ(bare.Board(), StartBoard({255, 170, 85}));
}

// With hardware colours the swatches follow every tick, also after the display
// palette was rebuilt; Stop shows the board's colours on every surface again.
TEST(CycleCommands, HardwareSwatchesFollowTicksAndStopRestoresTheBoard) {
  CycleRig c(256);
  c.r.ed.CycleTick();
  const Palette animated = Realized(c.r.ed, Surface::PictureBox);
  ASSERT_NE(animated, EntryColours(c.r.ed.Board()));
  EXPECT_EQ(ShownBoard(c.r.ed), animated);
  c.r.ed.EditColour(9, {1, 2, 3});  // a rebuild of the display palette
  EXPECT_EQ(c.r.ed.SwatchShownColour(9), (RGBTriple{1, 2, 3}));
  c.r.ed.CycleTick();
  EXPECT_EQ(ShownBoard(c.r.ed), Realized(c.r.ed, Surface::PictureBox));
  c.r.ed.ToggleCycling();
  const Palette board = EntryColours(c.r.ed.Board());
  c.r.ed.CycleTick();  // stopped: the tick does nothing
  EXPECT_EQ(std::tuple(Realized(c.r.ed, Surface::PictureBox),
                       Realized(c.r.ed, Surface::PictureWindow), ShownBoard(c.r.ed)),
            std::tuple(board, board, board));
}

}  // namespace
}  // namespace hw::test
