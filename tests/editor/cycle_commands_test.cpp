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
  }
  RGBTriple Shown(int entry) const {
    const PaletteEntry& e =
        (*r.ed.display().Realized(Surface::PictureBox))[static_cast<size_t>(entry)];
    return {e.red, e.green, e.blue};
  }
};

TEST(CycleCommands, TestButtonSpeedAndSchemeControls) {
  Rig r;
  const EditorState& s = r.s();
  r.ed.ButtonTest_Click();
  EXPECT_EQ(std::tie(s.CycleOn, s.ui.TimerEnabled, s.ui.ButtonTestCaption),
            std::tuple(kTrue, true, "Stop"));
  r.ed.ButtonTest_Click();
  EXPECT_EQ(std::tie(s.CycleOn, s.ui.TimerEnabled, s.ui.ButtonTestCaption),
            std::tuple(kFalse, false, "Test"));

  EXPECT_EQ(s.ui.TimerInterval, 16);  // the scroll bar's 200 is not copied at start-up
  r.ed.HScrollSpeed_Change(1000);
  EXPECT_EQ(s.ui.TimerInterval, 1000);
  r.ed.HScrollSpeed_Change(5000);  // outside the scroll bar's range
  EXPECT_EQ(s.ui.TimerInterval, 1000);
  EXPECT_EQ(r.view.timer_changes, 4);

  r.ed.ListScheme_Click(2);
  r.ed.ListScheme_Click(3);  // no such item: ignored, like -1
  r.ed.ListScheme_Click(-1);
  EXPECT_EQ(std::tuple(s.CycleScheme, s.ui.ListSchemeIndex), std::tuple(2, 2));
}

TEST(CycleCommands, TicksAnimateThePicturePaletteOnly) {
  CycleRig c;
  const EditorState before = c.r.s();
  std::array<RGBTriple, 256> shown{};
  for (int i = 0; i < 256; ++i) shown[static_cast<size_t>(i)] = c.Shown(i);

  c.r.ed.TimerColor_Timer();  // backward: each band of eight turns by one
  EXPECT_EQ(c.random.draws, 15);
  EXPECT_GT(c.r.view.palette_changes, 0);
  for (int j = 0; j < 7; ++j) EXPECT_EQ(c.Shown(196 + j), shown[static_cast<size_t>(197 + j)]);
  EXPECT_EQ(c.Shown(203), shown[196]);

  c.r.ed.ListScheme_Click(kSchemeForward);  // black keys jittered by +1
  c.r.ed.TimerColor_Timer();
  EXPECT_EQ(c.Shown(200), (RGBTriple{1, 1, 1}));
  // The editor's palettes, map and board are never touched.
  EXPECT_EQ(std::tie(c.r.s().Pal, c.r.s().PicPal, c.r.s().IndexMap, c.r.s().BlotColour),
            std::tie(before.Pal, before.PicPal, before.IndexMap, before.BlotColour));
}

TEST(CycleCommands, HardwareColourSwatchesAreRepaintedOnEveryTick) {
  CycleRig c(256);
  const int before = c.r.view.board_changes;
  c.r.ed.TimerColor_Timer();
  EXPECT_EQ(c.r.view.board_changes, before + 1);
}

TEST(CycleCommands, TickWithoutAPictureOrRandomSourceIsHarmless) {
  Editor ed(EditorServices{});
  ed.Form_Load();
  ed.TimerColor_Timer();
  ed.ListScheme_Click(kSchemeForward);
  ed.TimerColor_Timer();
  EXPECT_EQ(ed.state().HPal, 0);
}

}  // namespace
}  // namespace hw::test
