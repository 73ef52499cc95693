// The rearranging and recolouring commands on a real editor: whatever sequence of
// moves, undos, reversals and sorts the user makes with "Color" and "Index" both
// ticked, the saved picture looks exactly like the loaded one.
#include <gtest/gtest.h>

#include <random>

#include "editor_fakes.h"

namespace hw::test {
namespace {

// A 37 x 23 picture with uneven usage (so the usage sort has work and ties) and every index
// present.
struct Picture {
  int w = 37, h = 23;
  Bytes pixels = Bytes(37 * 23);
  Palette palette{};
};

Picture MakePicture(uint32_t seed, bool repeated_colours) {
  Picture p;
  std::mt19937 gen(seed);
  for (size_t k = 0; k < p.pixels.size(); ++k)
    p.pixels[k] = static_cast<uint8_t>(k < 256 ? k : gen() % (1 + gen() % 256));
  p.palette = DistinctPalette(static_cast<int>(seed));
  for (size_t i = 0; repeated_colours && i < 256; ++i) {
    // Few distinct colours and several greys: ties for every colour key.
    const uint8_t g = static_cast<uint8_t>((i * 53) & 0xC0);
    p.palette[i] = i % 5 == 0 ? RGBTriple{g, g, g}
                              : RGBTriple{static_cast<uint8_t>((i * 29) & 0xE0), g,
                                          static_cast<uint8_t>((i * 71) & 0x80)};
  }
  return p;
}

// What every pixel shows.
std::vector<RGBTriple> Looks(const Bytes& pixels, const Palette& palette) {
  std::vector<RGBTriple> out;
  for (uint8_t p : pixels) out.push_back(palette[p]);
  return out;
}

// Saves through "Save Pic..." and reads the file back.
PcxPicture Save(Rig& r, const TempDir& dir) {
  r.files.saves.push_back(dir.File("out.pcx"));
  r.ed.ButtonSave_Click();
  EXPECT_TRUE(r.errors.messages.empty());
  Result<PcxPicture> saved = DecodePcx(ReadBytes(dir.File("out.pcx")));
  EXPECT_TRUE(saved.ok()) << saved.error().message;
  return saved.ok() ? *saved : PcxPicture{};
}

class EditSequence : public ::testing::TestWithParam<int> {};

TEST_P(EditSequence, SavedPictureKeepsEveryPixelsColour) {
  const uint32_t seed = static_cast<uint32_t>(GetParam());
  const Picture pic = MakePicture(seed, seed % 3 == 0);
  TempDir dir;
  WritePicture(dir.File("in.pcx"), pic.w, pic.h, pic.pixels, pic.palette);
  Rig r(seed % 2 == 1 ? 256 : 0);  // palette display for odd seeds
  r.Load(dir.File("in.pcx"));
  ASSERT_EQ(r.s().PicLoaded, kTrue);

  std::mt19937 gen(seed * 7919u + 1);
  const auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); };
  std::string history;
  for (int step = 0; step < 40; ++step) {
    const int what = pick(10);
    if (what < 4) {
      r.s().ui.TextMoveCount = std::to_string(1 + pick(5));
      const auto target = static_cast<int16_t>(pick(256)), source = static_cast<int16_t>(pick(256));
      history += "drop " + std::to_string(source) + "->" + std::to_string(target) + " x" +
                 r.s().ui.TextMoveCount + "; ";
      r.ed.Blot_DragDrop(target, source);
    } else if (what < 6) {
      history += "undo; ";
      r.ed.ButtonUndo_Click();
    } else if (what < 8) {
      r.ed.ShowUsage(static_cast<int16_t>(pick(256)));
      r.ed.ShowUsage(static_cast<int16_t>(pick(256)));
      history += "reverse " + std::to_string(r.s().PrevIndex) + ".." +
                 std::to_string(r.s().CurIndex) + "; ";
      r.ed.CommandReverse_Click();
    } else {
      r.s().ui.SortChoice = static_cast<SortOption>(pick(5));
      r.s().ui.CheckReverseSort = pick(2);
      history += "sort " + std::to_string(static_cast<int>(r.s().ui.SortChoice)) +
                 (r.s().ui.CheckReverseSort ? " reversed; " : "; ");
      r.ed.CommandSort_Click();
    }
  }
  const PcxPicture saved = Save(r, dir);
  ASSERT_EQ(saved.size.width, pic.w);
  ASSERT_EQ(saved.size.height, pic.h);
  EXPECT_TRUE(Looks(saved.pixels, saved.palette) == Looks(pic.pixels, pic.palette)) << history;
}

INSTANTIATE_TEST_SUITE_P(RandomSequences, EditSequence, ::testing::Range(1, 25));

class EditCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePicture(dir.File("in.pcx"), pic.w, pic.h, pic.pixels, pic.palette);
    r.Load(dir.File("in.pcx"));
    ASSERT_EQ(r.s().PicLoaded, kTrue);
  }
  Picture pic = MakePicture(5, false);
  TempDir dir;
  Rig r;
};

TEST_F(EditCommands, SpreadsWriteWhatThePositionShowsAndTheSaveWrites) {
  r.ed.Blot_DragDrop(20, 100);  // position 20 now shows entry 100
  r.ed.ShowUsage(18);
  r.ed.ShowUsage(22);
  r.ed.CommandSpreadRGB_Click();
  EXPECT_EQ(r.s().Pal[100], GetRGB(r.s().BlotColour[20]));
  // Every pixel that used the spread positions is written with the colour its
  // position shows on the board.
  const PcxPicture out = Save(r, dir);
  for (size_t k = 0; k < out.pixels.size(); ++k) {
    ASSERT_EQ(out.palette[out.pixels[k]], GetRGB(r.s().BlotColour[out.pixels[k]])) << k;
  }
  // The HSV buttons run the hue each way round.
  r.ed.CommandSpreadHSV_Click();
  const Palette forward = r.ed.BoardPalette();
  r.ed.CommandSpreadHSVReverse_Click();
  EXPECT_NE(r.ed.BoardPalette(), forward);
}

}  // namespace
}  // namespace hw::test
