// The colour-cycling controls of the editor: start and stop, scheme, speed, and
// the timer tick on the picture's display palette.
#include <gtest/gtest.h>

#include "cycle/cycle.h"
#include "editor_fakes.h"

namespace hw::test {
namespace {

class FixedRandom : public RandomSource {
 public:
  explicit FixedRandom(float value) : value_(value) {}
  float Next() override {
    ++draws;
    return value_;
  }
  int draws = 0;

 private:
  float value_;
};

class TimerView : public EditorView {
 public:
  int timer_changes = 0, palette_changes = 0, board_changes = 0;
  void TimerChanged() override { ++timer_changes; }
  void PicturePaletteChanged() override { ++palette_changes; }
  void BoardChanged() override { ++board_changes; }
};

struct CycleRig {
  FakeFiles files;
  RecordingErrors errors;
  FixedRandom random{0.5f};  // every jitter adds 1
  TimerView view;
  Editor ed;
  TempDir dir;
  Palette palette = DistinctPalette();

  explicit CycleRig(int palette_size = 0)
      : ed(EditorServices{&files, nullptr, &errors, nullptr, &random, &view}, palette_size) {
    ed.Form_Load();
  }
  void Load() {
    std::vector<uint8_t> pixels(64);
    for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(190 + k % 50);
    WritePicture(dir.File("p.pcx"), 8, 8, pixels, palette);
    files.opens.push_back(dir.File("p.pcx"));
    ed.ButtonLoad_Click();
    ASSERT_EQ(ed.state().PicLoaded, kTrue);
  }
  RGBTriple Shown(int entry) const {
    const LogicalPalette* p = ed.display().Realized(Surface::PictureBox);
    if (p == nullptr) return {};
    const PaletteEntry& e = (*p)[static_cast<size_t>(entry)];
    return {e.red, e.green, e.blue};
  }
};

TEST(CycleCommands, TestButtonStartsAndStopsTheTimer) {
  CycleRig r;
  const EditorState& s = r.ed.state();
  EXPECT_EQ(s.ui.ButtonTestCaption, "Test");
  EXPECT_FALSE(s.ui.TimerEnabled);
  r.ed.ButtonTest_Click();
  EXPECT_EQ(s.CycleOn, kTrue);
  EXPECT_TRUE(s.ui.TimerEnabled);
  EXPECT_EQ(s.ui.ButtonTestCaption, "Stop");
  r.ed.ButtonTest_Click();
  EXPECT_EQ(s.CycleOn, kFalse);
  EXPECT_FALSE(s.ui.TimerEnabled);
  EXPECT_EQ(s.ui.ButtonTestCaption, "Test");
  EXPECT_EQ(r.view.timer_changes, 2);
}

TEST(CycleCommands, SpeedAndSchemeControls) {
  CycleRig r;
  const EditorState& s = r.ed.state();
  EXPECT_EQ(s.ui.TimerInterval, 16);  // the scroll bar's 200 is not copied at start-up
  EXPECT_EQ(s.ui.HScrollSpeed, 200);
  r.ed.HScrollSpeed_Change(1);
  EXPECT_EQ(s.ui.TimerInterval, 1);
  r.ed.HScrollSpeed_Change(1000);
  EXPECT_EQ(s.ui.TimerInterval, 1000);
  r.ed.HScrollSpeed_Change(5000);  // outside the scroll bar's range
  EXPECT_EQ(s.ui.TimerInterval, 1000);
  EXPECT_EQ(r.view.timer_changes, 3);

  r.ed.ListScheme_Click(2);
  EXPECT_EQ(s.CycleScheme, 2);
  EXPECT_EQ(s.ui.ListSchemeIndex, 2);
  r.ed.ListScheme_Click(3);
  r.ed.ListScheme_Click(-1);
  EXPECT_EQ(s.CycleScheme, 2);
}

TEST(CycleCommands, BackwardSchemeRotatesThePicturePaletteOnly) {
  CycleRig r;
  r.Load();
  const EditorState before = r.ed.state();
  std::array<RGBTriple, 256> shown{};
  for (int i = 0; i < 256; ++i) shown[static_cast<size_t>(i)] = r.Shown(i);

  r.ed.TimerColor_Timer();
  EXPECT_EQ(r.random.draws, 15);
  EXPECT_GT(r.view.palette_changes, 0);
  for (int j = 0; j < 7; ++j) EXPECT_EQ(r.Shown(196 + j), shown[static_cast<size_t>(197 + j)]);
  EXPECT_EQ(r.Shown(203), shown[196]);
  EXPECT_EQ(r.Shown(195), shown[195]);
  EXPECT_EQ(r.Shown(236), shown[236]);
  for (int t = 1; t < 8; ++t) r.ed.TimerColor_Timer();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(r.Shown(i), shown[static_cast<size_t>(i)]) << i;
  // The editor's palettes, map and board are never touched.
  EXPECT_EQ(r.ed.state().Pal, before.Pal);
  EXPECT_EQ(r.ed.state().PicPal, before.PicPal);
  EXPECT_EQ(r.ed.state().IndexMap, before.IndexMap);
  EXPECT_EQ(r.ed.state().BlotColour, before.BlotColour);
}

TEST(CycleCommands, ShimmerAndForwardSchemesUseTheRandomSource) {
  CycleRig r;
  r.Load();
  r.ed.ListScheme_Click(kSchemeShimmer);
  r.ed.TimerColor_Timer();
  // Black sources jittered by +1: each band runs from (1, 1, 1) towards white.
  EXPECT_EQ(r.Shown(196 + 6), (RGBTriple{86, 86, 86}));
  EXPECT_EQ(r.Shown(196 + 7), (RGBTriple{170, 170, 170}));

  r.random.draws = 0;
  r.ed.ListScheme_Click(kSchemeForward);
  r.ed.TimerColor_Timer();
  EXPECT_EQ(r.random.draws, 15 + 120);
  for (int i = 196; i < 236; ++i) EXPECT_EQ(r.Shown(i), (RGBTriple{1, 1, 1})) << i;
}

TEST(CycleCommands, HardwareColourSwatchesAreRepaintedOnEveryTick) {
  CycleRig r(256);
  r.Load();
  const int before = r.view.board_changes;
  r.ed.TimerColor_Timer();
  EXPECT_EQ(r.view.board_changes, before + 1);
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
