// File > Export Cycle Animation...: the name asked beside the picture, the board as
// it is when stopped written even while the ranges play, the frame count on the
// status line, a refusal reported.
#include <QAction>
#include <QLabel>

#include "formats/pictures/gif.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

TEST(CycleExport, TheMenuWritesTheStoppedBoardWhilePlayingAndReportsRefusals) {
  TempDir dir;
  FormRig rig;
  Bytes pixels(64);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = uint8_t(k % 16);
  WritePicture(dir.File("sample.pcx"), 8, 8, pixels, DistinctPalette());
  rig.LoadPicture(dir.File("sample.pcx"));
  ASSERT_TRUE(rig.editor.PictureLoaded());
  ASSERT_TRUE(rig.editor.AddCycleRange({2, 5, 16384, false, true}));  // 4 frames of 1/60 s
  rig.editor.PlayCycles();
  rig.clock.now += 20'000;
  rig.editor.CycleTick();

  const std::string out = dir.File("anim.gif");
  rig.files.saves.push_back(out);
  rig.form.Action("actionExportCycleAnimation")->trigger();
  EXPECT_EQ(rig.files.suggested.back(), dir.File("sample-cycle.gif"));
  EXPECT_EQ(rig.Find<QLabel>("LabelStatus")->text(), "Saved 'anim.gif': 4 frames");
  // The first frame is the board before any step.
  const auto first = DecodeGif(ReadBytes(out));
  ASSERT_TRUE(first.ok());
  for (size_t p = 0; p < 16; ++p) EXPECT_EQ(first->entries[p], rig.editor.Board().entries[p]) << p;
  EXPECT_TRUE(rig.errors.messages.empty());

  rig.editor.StopCycles();
  rig.editor.ClearCycleRanges();
  rig.files.saves.push_back(out);
  rig.form.Action("actionExportCycleAnimation")->trigger();
  EXPECT_EQ(rig.errors.messages,
            std::vector<std::string>{"cannot export '" + out + "': no active range steps"});
}

}  // namespace
}  // namespace hw::test
