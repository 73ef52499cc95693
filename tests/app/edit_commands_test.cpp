// The rearranging and recolouring commands on a real editor: whatever sequence of
// moves, undos, reversals and sorts the user makes with "Color" and "Index" both
// ticked, the saved picture looks exactly like the loaded one.
#include <gtest/gtest.h>

#include <random>

#include "editor_fakes.h"
#include "picture/pcx.h"

namespace hw::test {
namespace {

struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> pixels;
  Palette palette{};
};

// Uneven usage (so the usage sort has work and ties), every index present.
Picture MakePicture(uint32_t seed, bool repeated_colours) {
  Picture p;
  p.w = 37;
  p.h = 23;
  std::mt19937 gen(seed);
  p.pixels.resize(static_cast<size_t>(p.w * p.h));
  for (size_t k = 0; k < p.pixels.size(); ++k) {
    p.pixels[k] = k < 256 ? static_cast<uint8_t>(k) : static_cast<uint8_t>(gen() % (1 + gen() % 256));
  }
  p.palette = DistinctPalette(static_cast<int>(seed));
  if (repeated_colours) {
    // Few distinct colours and several greys: ties for every colour key.
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t g = static_cast<uint8_t>((i * 53) & 0xC0);
      p.palette[i] = i % 5 == 0 ? RGBTriple{g, g, g}
                                : RGBTriple{static_cast<uint8_t>((i * 29) & 0xE0), g,
                                            static_cast<uint8_t>((i * 71) & 0x80)};
    }
  }
  return p;
}

// Looks every pixel of a saved file up in its palette.
std::vector<RGBTriple> Looks(const std::vector<uint8_t>& pixels, const Palette& palette) {
  std::vector<RGBTriple> out;
  out.reserve(pixels.size());
  for (uint8_t p : pixels) out.push_back(palette[p]);
  return out;
}

class EditSequence : public ::testing::TestWithParam<int> {};

TEST_P(EditSequence, SavedPictureKeepsEveryPixelsColour) {
  const uint32_t seed = static_cast<uint32_t>(GetParam());
  const bool hardware_colours = seed % 2 == 1;
  const Picture pic = MakePicture(seed, seed % 3 == 0);
  TempDir dir;
  WritePicture(dir.File("in.pcx"), pic.w, pic.h, pic.pixels, pic.palette);

  Rig r(hardware_colours ? 256 : 0);
  r.files.opens.push_back(dir.File("in.pcx"));
  r.ed.ButtonLoad_Click();
  ASSERT_TRUE(r.errors.messages.empty());
  ASSERT_EQ(r.s().PicLoaded, kTrue);

  std::mt19937 gen(seed * 7919u + 1);
  const auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); };
  const SortOption options[] = {SortOption::Hist, SortOption::Value, SortOption::Hue,
                                SortOption::Sat, SortOption::Red};
  std::string history;
  for (int step = 0; step < 40; ++step) {
    switch (pick(10)) {
      case 0: case 1: case 2: case 3: {
        r.s().ui.TextMoveCount = std::to_string(1 + pick(5));
        const int16_t target = static_cast<int16_t>(pick(256));
        const int16_t source = static_cast<int16_t>(pick(256));
        history += "drop " + std::to_string(source) + "->" + std::to_string(target) + " x" +
                   r.s().ui.TextMoveCount + "; ";
        r.ed.Blot_DragDrop(target, source);
        break;
      }
      case 4: case 5:
        history += "undo; ";
        r.ed.ButtonUndo_Click();
        break;
      case 6: case 7:
        r.ed.ShowUsage(static_cast<int16_t>(pick(256)));
        r.ed.ShowUsage(static_cast<int16_t>(pick(256)));
        history += "reverse " + std::to_string(r.s().PrevIndex) + ".." +
                   std::to_string(r.s().CurIndex) + "; ";
        r.ed.CommandReverse_Click();
        break;
      default:
        r.s().ui.SortChoice = options[pick(5)];
        r.s().ui.CheckReverseSort = pick(2);
        history += "sort " + std::to_string(static_cast<int>(r.s().ui.SortChoice)) +
                   (r.s().ui.CheckReverseSort ? " reversed; " : "; ");
        r.ed.CommandSort_Click();
        break;
    }
  }

  r.files.saves.push_back(dir.File("out.pcx"));
  r.ed.ButtonSave_Click();
  ASSERT_TRUE(r.errors.messages.empty());
  const std::vector<uint8_t> bytes = ReadBytes(dir.File("out.pcx"));
  const Result<PcxPicture> saved = DecodePcx(bytes);
  ASSERT_TRUE(saved.ok()) << saved.error().message;
  ASSERT_EQ(saved->size.width, pic.w);
  ASSERT_EQ(saved->size.height, pic.h);
  EXPECT_TRUE(Looks(saved->pixels, saved->palette) == Looks(pic.pixels, pic.palette)) << history;
}

INSTANTIATE_TEST_SUITE_P(RandomSequences, EditSequence, ::testing::Range(1, 25));

// The commands as the editor runs them.

class EditCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    pic = MakePicture(5, false);
    WritePicture(dir.File("in.pcx"), pic.w, pic.h, pic.pixels, pic.palette);
    r.files.opens.push_back(dir.File("in.pcx"));
    r.ed.ButtonLoad_Click();
    ASSERT_EQ(r.s().PicLoaded, kTrue);
  }
  Picture Save() {
    r.files.saves.push_back(dir.File("out.pcx"));
    r.ed.ButtonSave_Click();
    const Result<PcxPicture> saved = DecodePcx(ReadBytes(dir.File("out.pcx")));
    EXPECT_TRUE(saved.ok());
    Picture out;
    if (saved.ok()) {
      out.w = saved->size.width;
      out.h = saved->size.height;
      out.pixels = saved->pixels;
      out.palette = saved->palette;
    }
    return out;
  }

  Picture pic;
  TempDir dir;
  Rig r;
};

TEST_F(EditCommands, DropMovesEntriesAndRefreshesThePicture) {
  r.s().ui.TextMoveCount = "2";
  const int before = r.view.picture_changes;
  r.ed.Blot_DragDrop(40, 3);
  EXPECT_EQ(r.s().IndexMap[40], 3);
  EXPECT_EQ(r.s().IndexMap[41], 4);
  EXPECT_EQ(r.s().BlotColour[40], PackRGB(pic.palette[3]));
  EXPECT_EQ(r.s().CurIndex, 40);
  EXPECT_EQ(r.s().PrevIndex, 3);
  EXPECT_GT(r.view.picture_changes, before);
  // The picture box shows the remapped pixels through the rebuilt palette: same look.
  const LogicalPalette* shown = r.ed.display().Realized(Surface::PictureBox);
  ASSERT_NE(shown, nullptr);
  for (size_t k = 0; k < pic.pixels.size(); ++k) {
    const PaletteEntry& e = (*shown)[r.ed.ShownPixels()[k]];
    ASSERT_EQ((RGBTriple{e.red, e.green, e.blue}), pic.palette[pic.pixels[k]]) << k;
  }

  r.ed.ButtonUndo_Click();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(r.s().IndexMap[static_cast<size_t>(i)], i);
}

TEST_F(EditCommands, DropOnItselfShowsTheUsageCount) {
  const int16_t entry = 0;  // index 0 appears once among the first 256 pixels, maybe more later
  int32_t count = 0;
  for (uint8_t p : pic.pixels) count += p == entry;
  r.ed.Blot_DragDrop(entry, entry);
  EXPECT_EQ(r.s().ui.LabelHistCnt, NumberText(count));
  EXPECT_EQ(r.s().CurIndex, entry);
}

TEST_F(EditCommands, UsageSortIsStableOnceSorted) {
  r.s().ui.SortChoice = SortOption::Hist;
  r.ed.CommandSort_Click();
  for (int k = 0; k < 255; ++k) ASSERT_GE(r.s().Histo[k], r.s().Histo[k + 1]);
  const auto map = r.s().IndexMap;
  r.ed.CommandSort_Click();
  EXPECT_EQ(r.s().IndexMap, map);
}

TEST_F(EditCommands, SpreadAfterAMoveIsWhatTheSaveWrites) {
  r.ed.Blot_DragDrop(20, 100);  // position 20 now shows entry 100
  r.ed.ShowUsage(18);
  r.ed.ShowUsage(22);
  r.ed.CommandSpreadRGB_Click();
  const Picture out = Save();
  // Every pixel that used the spread positions is written with the colour its
  // position shows on the board.
  for (size_t k = 0; k < out.pixels.size(); ++k) {
    ASSERT_EQ(out.palette[out.pixels[k]], GetRGB(r.s().BlotColour[out.pixels[k]])) << k;
  }
  EXPECT_EQ(r.s().Pal[100], GetRGB(r.s().BlotColour[20]));
}

TEST_F(EditCommands, SpreadHsvCommandsRunTheHueBothWays) {
  r.s().BlotColour[60] = PackRGB({0, 255, 0});
  r.s().BlotColour[62] = PackRGB({0, 0, 255});
  r.ed.ShowUsage(60);
  r.ed.ShowUsage(62);
  r.ed.CommandSpreadHSV_Click();
  EXPECT_EQ(GetRGB(r.s().BlotColour[61]), (RGBTriple{0, 255, 255}));
  r.ed.CommandSpreadHSVReverse_Click();
  EXPECT_EQ(GetRGB(r.s().BlotColour[61]), (RGBTriple{255, 0, 0}));
}

TEST_F(EditCommands, ReverseKeepsTheLookAndMarksTheEnds) {
  r.ed.ShowUsage(200);
  r.ed.ShowUsage(10);
  r.ed.CommandReverse_Click();
  EXPECT_EQ(r.s().CurIndex, 10);
  EXPECT_EQ(r.s().PrevIndex, 200);
  EXPECT_EQ(r.s().IndexMap[10], 200);
  EXPECT_EQ(r.s().IndexMap[200], 10);
  const Picture out = Save();
  EXPECT_TRUE(Looks(out.pixels, out.palette) == Looks(pic.pixels, pic.palette));
}

}  // namespace
}  // namespace hw::test
