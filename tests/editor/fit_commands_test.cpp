// Remap to Palette, Merge Duplicates, Compact and Reduce on a real editor: one
// Undo gives back the saved file byte for byte, a failure changes nothing and says
// why, the dialog layer asks for a transparent position only when the remap needs
// one, and locked positions hold through random sequences of every command.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "editor_fakes.h"
#include "formats/pictures/png.h"

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

TEST(FitCommands, AFailedRemapChangesNothingAndSaysWhy) {
  FitRig r;
  const auto before = Snapshot(r.ed);
  WriteBytes(r.dir.File("junk.bin"), Bytes(100, 0x55));
  EXPECT_FALSE(r.ed.RemapToPalette(r.dir.File("missing.gpl"), {}));
  EXPECT_FALSE(r.ed.RemapToPalette(r.dir.File("junk.bin"), {}));
  EXPECT_FALSE(r.ed.RemapToPalette(r.hex, {}));
  EXPECT_FALSE(r.ed.RemapToPalette(r.hex, {RemapMetric::Rgb, 16}));
  ASSERT_EQ(r.errors.messages.size(), 4u);
  EXPECT_HAS(r.errors.messages[0], "cannot load '" + r.dir.File("missing.gpl") + "': ");
  EXPECT_HAS(r.errors.messages[1], "not a palette file Huewright reads");
  EXPECT_EQ(r.errors.messages[2], r.hex + " has no transparent entry: give transparent=N");
  EXPECT_HAS(r.errors.messages[3], "no entry 16");
  EXPECT_TRUE(Snapshot(r.ed) == before);
  EXPECT_FALSE(r.ed.CanUndo());
}

TEST(FitCommands, TheDialogsAskForATransparentPositionOnlyWhenNeeded) {
  FitRig r, verb;
  FakeTransparent question;
  r.commands.SetQuestions(&question);
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

// Which pixels show position p.
std::vector<bool> PixelsAt(const Editor& ed, size_t p) {
  std::vector<bool> out;
  for (uint8_t v : ed.Pixels()) out.push_back(v == p);
  return out;
}

bool Within(const std::vector<bool>& a, const std::vector<bool>& b) {
  for (size_t j = 0; j < a.size(); ++j) {
    if (a[j] && !b[j]) return false;
  }
  return true;
}

// Random sequences of every board command with locked ranges: a locked entry and
// its pixels never change (a remap may only add pixels to it), a refusal changes
// nothing, and Undo after each command gives back the previous file byte for byte
// and Redo the command's own.
TEST(FitCommands, LocksHoldThroughRandomSequencesAndUndoGivesBackEachFile) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    FitRig r;
    std::mt19937 gen(seed);
    const auto below = [&](int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); };
    const auto marks = [&] {
      const int lo = below(256);
      r.ed.SetMarks(lo, std::min(255, lo + below(40)));
    };
    const MoveWhat whats[] = {{true, true}, {true, false}, {false, true}};
    const std::string picture = r.dir.File("in.png");
    const std::function<void()> commands[] = {
        [&] { marks(), r.ed.LockRange(true); },
        [&] { marks(), r.ed.LockRange(false); },
        [&] {
          r.ed.Drop(below(256), below(256), {1 + below(8), whats[below(3)]});
        },
        [&] { marks(), r.ed.ReverseRange(whats[below(3)]); },
        [&] {
          marks();
          const SortKey keys[] = {SortKey::Usage, SortKey::Hue, SortKey::RedGreen,
                                  SortKey::Lightness};
          r.ed.Sort(keys[below(4)], below(2), whats[below(3)], below(2));
        },
        [&] { marks(), r.ed.Spread(static_cast<SpreadKind>(below(3))); },
        [&] {
          r.ed.SetEntry(below(256), {{uint8_t(gen()), 9, 9}, 255});
        },
        [&] {
          marks();
          const PaletteMerge merges[] = {PaletteMerge::All, PaletteMerge::ReplaceRange,
                                         PaletteMerge::ProtectRange};
          r.ed.LoadPalette(below(2) ? r.hex : picture, merges[below(3)]);
        },
        [&] {
          r.ed.RemapToPalette(below(2) ? r.hex : picture,
                              {below(2) ? RemapMetric::Rgb : RemapMetric::Perceptual, below(16)});
        },
        [&] { r.ed.MergeDuplicates(); },
        [&] { r.ed.Compact(); },
        [&] { r.ed.ReduceColours(1 + below(30)); },
    };
    for (int step = 0; step < 40; ++step) {
      const int which = below(static_cast<int>(std::size(commands)));
      SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + " command " +
                   std::to_string(which));
      ASSERT_TRUE(r.ed.WriteCopy(r.dir.File("before.png")));
      const Bytes before = ReadBytes(r.dir.File("before.png"));
      const BoardState was = r.ed.Board();
      std::vector<std::vector<bool>> pixels(256);
      for (size_t p = 0; p < 256; ++p) {
        if (was.locked.test(p)) pixels[p] = PixelsAt(r.ed, p);
      }
      const size_t errors = r.errors.messages.size();
      commands[which]();
      const BoardState now = r.ed.Board();
      if (r.errors.messages.size() > errors) {
        EXPECT_EQ(std::tie(now.map, now.entries, now.locked),
                  std::tie(was.map, was.entries, was.locked));
      }
      for (size_t p = 0; p < 256; ++p) {
        if (!was.locked.test(p) || !now.locked.test(p)) continue;
        ASSERT_EQ(now.entries[p], was.entries[p]) << "position " << p;
        const std::vector<bool> after = PixelsAt(r.ed, p);
        if (which == 8) {
          ASSERT_TRUE(Within(pixels[p], after)) << "position " << p;
        } else {
          ASSERT_EQ(after, pixels[p]) << "position " << p;
        }
      }
      if (std::tie(now.map, now.entries, now.locked) ==
          std::tie(was.map, was.entries, was.locked)) {
        continue;
      }
      ASSERT_TRUE(r.ed.WriteCopy(r.dir.File("after.png")));
      const Bytes after = ReadBytes(r.dir.File("after.png"));
      r.ed.Undo();
      ASSERT_TRUE(r.ed.WriteCopy(r.dir.File("undone.png")));
      ASSERT_EQ(ReadBytes(r.dir.File("undone.png")), before);
      EXPECT_EQ(r.ed.Board().locked, was.locked);
      r.ed.Redo();
      ASSERT_TRUE(r.ed.WriteCopy(r.dir.File("redone.png")));
      ASSERT_EQ(ReadBytes(r.dir.File("redone.png")), after);
    }
  }
}

TEST(FitCommands, ReduceAsksForTheCountAndRefusesWhatLocksForbid) {
  FitRig r;
  struct Answer : Questions {
    std::optional<int> answer;
    std::vector<int> asked;
    std::optional<int> ColourCount(int used, int, int) override {
      asked.push_back(used);
      return answer;
    }
  } question;
  r.commands.SetQuestions(&question);
  const auto before = Snapshot(r.ed);
  r.commands.ReduceColours();  // cancelled
  EXPECT_EQ(question.asked, std::vector<int>{50});
  EXPECT_TRUE(Snapshot(r.ed) == before);

  r.ed.SetMarks(0, 9);
  r.ed.LockRange(true);  // 0, 2, 4, 6, 8 are used, 8 transparent anyway
  question.answer = 4;
  r.commands.ReduceColours();
  ASSERT_EQ(r.errors.messages.size(), 1u);
  // 0, 2, 4, 6, 8 locked; 10 at alpha 128 and the rest opaque: two levels.
  EXPECT_EQ(r.errors.messages[0],
            "cannot reduce to 4 colours: the picture needs at least 7 (2 levels of opacity, 5 "
            "locked, 0 fully transparent)");
  question.answer = 12;
  r.commands.ReduceColours();
  EXPECT_EQ(r.errors.messages.size(), 1u);
  int used = 0;
  for (int64_t n : r.ed.Usage()) used += n > 0;
  EXPECT_EQ(used, 12);
  EXPECT_HAS(r.ed.Message(), "Reduced 50 entries in use to 12: mean error ");
  // Moves and reverses that would change a locked position are refused.
  EXPECT_FALSE(r.ed.Drop(100, 3, {1, {}}));
  r.ed.SetMarks(5, 20);
  EXPECT_FALSE(r.ed.ReverseRange({}));
  EXPECT_EQ(r.errors.messages.back(), "position 5 is locked");
  EXPECT_EQ(r.errors.messages[1], "position 3 is locked");
}

}  // namespace
}  // namespace hw::test
