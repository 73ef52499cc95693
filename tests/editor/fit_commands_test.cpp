// Remap to Palette, Merge Duplicates and Compact on a real editor: one Undo gives
// back the saved file byte for byte, a failure changes nothing and says why, and
// the dialog layer asks for a transparent position only when the remap needs one.
#include <gtest/gtest.h>

#include <functional>

#include "editor_fakes.h"
#include "formats/png.h"

namespace hw::test {
namespace {

// A 40 x 30 PNG using the even entries 0..98: entry 8 transparent, 10 half
// transparent, 14 and 120 twins of 4 (120 unused).
struct FitRig : Rig {
  TempDir dir;
  std::string hex;  // 16 opaque greys, no transparent entry
  FitRig() {
    BoardEntries e{};
    for (size_t i = 0; i < 256; ++i) {
      e[i] = {{static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 11 & 0xC0),
               static_cast<uint8_t>(i * 5 & 0x80)},
              255};
    }
    e[8].A = 0;
    e[10].A = 128;
    e[14] = e[120] = e[4];
    Bytes px(40 * 30);
    for (size_t k = 0; k < px.size(); ++k) px[k] = static_cast<uint8_t>((k * 7 + k / 40) % 50 * 2);
    const auto png = EncodeIndexedPng(40, 30, px, e);
    EXPECT_TRUE(png.ok());
    WriteBytes(dir.File("in.png"), *png);
    Load(dir.File("in.png"));
    std::string text;
    for (int k = 0; k < 16; ++k) {
      char line[8];
      std::snprintf(line, sizeof line, "%02x%02x%02x\n", k * 17, k * 17, k * 16);
      text += line;
    }
    hex = dir.File("greys.hex");
    WriteBytes(hex, Bytes(text.begin(), text.end()));
  }
  Bytes Saved(const std::string& name) {
    EXPECT_TRUE(ed.SavePicture(dir.File(name)));
    return ReadBytes(dir.File(name));
  }
};

TEST(FitCommands, OneUndoGivesBackTheSavedFileAndRedoTheCommandsOwn) {
  FitRig r;
  ASSERT_TRUE(r.ed.PictureLoaded());
  const std::string picture = r.dir.File("in.png");
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"merge", [&] { r.ed.MergeDuplicates(); }},
      {"compact", [&] { r.ed.Compact(); }},
      {"remap to itself, perceptual",
       [&] {
         ASSERT_TRUE(r.ed.RemapToPalette(picture, {RemapMetric::Perceptual, {}}));
       }},
      {"remap rgb",
       [&] {
         ASSERT_TRUE(r.ed.RemapToPalette(r.hex, {RemapMetric::Rgb, 3}));
       }},
  };
  for (const auto& [name, command] : commands) {
    const Bytes before = r.Saved("before.png");
    const auto shown = Looks(r.ed.Pixels(), Realized(r.ed, Surface::PictureBox));
    command();
    const Bytes after = r.Saved("after.png");
    EXPECT_NE(after, before) << name;
    if (std::string(name).find("remap") == std::string::npos) {
      EXPECT_EQ(Looks(r.ed.Pixels(), Realized(r.ed, Surface::PictureBox)), shown)
          << name;  // the look is kept
    }
    r.ed.Undo();
    EXPECT_EQ(r.Saved("undone.png"), before) << name;
    r.ed.Redo();
    EXPECT_EQ(r.Saved("redone.png"), after) << name;
  }
  EXPECT_TRUE(r.errors.messages.empty());
}

TEST(FitCommands, AFailedRemapChangesNothingAndSaysWhy) {
  FitRig r;
  const auto before = Snapshot(r.ed);
  WriteBytes(r.dir.File("junk.bin"), Bytes(100, 0x55));
  EXPECT_FALSE(r.ed.RemapToPalette(r.dir.File("missing.gpl"), {}));
  EXPECT_FALSE(r.ed.RemapToPalette(r.dir.File("junk.bin"), {}));
  EXPECT_FALSE(r.ed.RemapToPalette(r.hex, {}));
  EXPECT_FALSE(r.ed.RemapToPalette(r.hex, {RemapMetric::Rgb, 16}));
  ASSERT_EQ(r.errors.messages.size(), 4u);
  EXPECT_NE(r.errors.messages[0].find("cannot load '" + r.dir.File("missing.gpl") + "': "),
            std::string::npos);
  EXPECT_NE(r.errors.messages[1].find("not a palette file Huewright reads"), std::string::npos);
  EXPECT_EQ(r.errors.messages[2], r.hex + " has no transparent entry: give transparent=N");
  EXPECT_NE(r.errors.messages[3].find("no entry 16"), std::string::npos);
  EXPECT_TRUE(Snapshot(r.ed) == before);
  EXPECT_FALSE(r.ed.CanUndo());
}

TEST(FitCommands, TheDialogsAskForATransparentPositionOnlyWhenNeeded) {
  FitRig r, verb;
  FakeTransparent question;
  r.commands.SetTransparentQuestion(&question);
  const auto before = Snapshot(r.ed);
  r.files.opens.push_back(r.hex);  // no transparent entry: asked, and cancelled
  r.commands.RemapToPalette(RemapMetric::Perceptual);
  ASSERT_EQ(question.asked, std::vector<std::string>{r.hex + ": 16"});
  EXPECT_TRUE(Snapshot(r.ed) == before);

  question.answer = 5;
  r.files.opens.push_back(r.hex);
  r.commands.RemapToPalette(RemapMetric::Perceptual);
  ASSERT_TRUE(verb.ed.RemapToPalette(verb.hex, {RemapMetric::Perceptual, 5}));
  EXPECT_EQ(r.Saved("window.png"), verb.Saved("verb.png"));
  EXPECT_EQ(r.ed.Board().entries[5].A, 0);

  r.files.opens.push_back(r.dir.File("in.png"));  // has a transparent entry: not asked
  r.commands.RemapToPalette(RemapMetric::Rgb);
  EXPECT_EQ(question.asked.size(), 2u);
  EXPECT_TRUE(r.errors.messages.empty());
}

}  // namespace
}  // namespace hw::test
