// The file commands, the picture window and the remap through the index map.
#include <gtest/gtest.h>

#include <numeric>

#include "editor_fakes.h"
#include "formats/pcx_file.h"

namespace hw::test {
namespace {

// A 320 x 200 picture using the indices unevenly, loaded through "Load Pic...".
struct Loaded : Rig {
  TempDir dir;
  std::string path = dir.File("tree.pcx");
  Bytes pixels = Bytes(64000);
  Palette palette = DistinctPalette(3);
  Loaded() {
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * i / 7 % 256);
    WritePicture(path, 320, 200, pixels, palette);
    Load(path);
  }
  // The colour each pixel shows through the palette realized in the picture box.
  std::vector<RGBTriple> ShownColours() {
    const LogicalPalette& pal = *ed.display().Realized(Surface::PictureBox);
    std::vector<RGBTriple> out;
    for (uint8_t p : ed.ShownPixels()) out.push_back({pal[p].red, pal[p].green, pal[p].blue});
    return out;
  }
};

void ExpectIdentity(const std::array<uint8_t, 256>& map) {
  for (int i = 0; i < 256; ++i) EXPECT_EQ(map[static_cast<size_t>(i)], i);
}

TEST(PictureLoad, ShowsThePictureAndStartsAfresh) {
  Loaded r;
  ASSERT_TRUE(r.errors.messages.empty()) << r.errors.messages[0];
  EXPECT_EQ(std::tie(r.s().ui.Label1, r.s().ui.FormPicCaption),
            std::tuple(r.path + ":  320 x  200", r.path + ":  320 x  200"));
  EXPECT_TRUE(r.s().ui.FormPicVisible && r.s().ui.ButtonTestEnabled);
  EXPECT_EQ(std::tuple(r.s().PixCount, r.ed.PictureBoxWidth(), r.ed.ShownHeight()),
            std::tuple(64000, 320, 200));
  EXPECT_EQ(r.s().OrigPixels, r.pixels);
  EXPECT_EQ(r.ed.ShownPixels(), r.pixels);
  EXPECT_EQ(r.s().Pal, r.palette);
  EXPECT_EQ(r.s().HPal, r.ed.display().Selected(Surface::PictureBox));
  EXPECT_EQ(std::tuple(r.busy.waits, r.busy.depth), std::tuple(1, 0));
  r.ed.ShowUsage(5);
  EXPECT_EQ(r.s().ui.LabelHistCnt,
            NumberText(static_cast<int32_t>(std::count(r.pixels.begin(), r.pixels.end(), 5))));
  EXPECT_EQ(ShownBoard(r.ed), r.palette);
  // Every entry realized for the picture is reserved for animation.
  for (const PaletteEntry& e : *r.ed.display().Realized(Surface::PictureWindow))
    EXPECT_EQ(e.flags, 5);

  // Loading again starts from the identity map and an empty undo record.
  std::swap(r.s().IndexMap[0], r.s().IndexMap[1]);
  r.s().LastSrc = 4;
  r.s().LastDst = 9;
  r.Load(r.path);
  ExpectIdentity(r.s().IndexMap);
  EXPECT_EQ(std::tuple(r.s().LastSrc, r.s().LastDst), std::tuple(0, 0));
  EXPECT_EQ(r.s().Pixels, r.pixels);

  // "Load Palette..." with "Use HW Colors" ticked: the swatches and the picture show the new
  // colours.
  r.s().ui.CheckHW = 1;
  r.ed.CheckHW_Click();
  WritePicture(r.dir.File("other.pcx"), 16, 16, Bytes(256, 0), DistinctPalette(77));
  r.files.opens.push_back(r.dir.File("other.pcx"));
  r.ed.CommandLoadPal_Click();
  EXPECT_EQ(ShownBoard(r.ed), DistinctPalette(77));
  EXPECT_EQ(r.ShownColours()[0], DistinctPalette(77)[r.pixels[0]]);
}

TEST(PictureLoad, FailuresLeaveEverythingAsItWas) {
  Loaded r;
  r.ed.ShowUsage(9);
  const EditorState before = r.s();
  const auto shown = r.ed.ShownPixels();
  const uint64_t generation = r.ed.display().Generation();

  // Cancelled: silent.
  r.Load(std::nullopt);
  r.files.opens.push_back(std::string());
  r.ed.CommandLoadPal_Click();
  EXPECT_TRUE(r.errors.messages.empty());

  // Pixel data that ends early, a file too short for a palette, a missing file.
  auto bytes = ReadBytes(r.path);
  bytes.resize(kPcxHeaderSize + 100);
  const std::string bad = r.dir.File("bad.pcx"), tiny = r.dir.File("tiny.pcx");
  WriteBytes(bad, bytes);
  WriteBytes(tiny, Bytes(767, 1));
  r.Load(bad);
  r.files.opens.push_back(tiny);
  r.ed.CommandLoadPal_Click();
  r.Load(r.dir.File("missing.pcx"));

  ExpectSameState(before, r.s());
  EXPECT_EQ(r.ed.ShownPixels(), shown);
  EXPECT_EQ(r.ed.display().Generation(), generation);
  ASSERT_EQ(r.errors.messages.size(), 3u);
  const std::string named[] = {bad, tiny, "missing.pcx"};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_NE(r.errors.messages[i].find(named[i]), std::string::npos) << r.errors.messages[i];
  EXPECT_EQ(r.busy.depth, 0);
}

TEST(Remap, KeepsThePicturesLookAfterChainsOfExchanges) {
  Loaded r;
  const auto look = r.ShownColours();
  auto& m = r.s().IndexMap;
  std::swap(m[0], m[1]);
  std::swap(m[1], m[2]);  // 0 1 2 -> 1 2 0
  for (size_t i = 10; i < 60; ++i) std::swap(m[i], m[i + 100]);
  std::swap(m[5], m[200]);
  r.ed.RemapPicture();
  r.ed.RealizeNewPalette();
  EXPECT_EQ(r.ed.ShownPixels(), r.s().Pixels);
  EXPECT_EQ(r.ShownColours(), look);
  EXPECT_EQ(r.s().Pixels[0], 2);  // as-loaded 0 now lives at position 2
  // Usage counts belong to positions: position 200 holds as-loaded 5 now.
  EXPECT_EQ(r.s().Histo[200], r.ed.LoadedHisto()[5]);
  EXPECT_EQ(r.s().Histo[5], r.ed.LoadedHisto()[200]);
  EXPECT_NE(r.s().Histo[5], r.s().Histo[200]);
  r.ed.RemapPicture();  // remapping again changes nothing
  EXPECT_EQ(r.ShownColours(), look);
}

TEST(Remap, MapsThatAreNotPermutationsAndNoPicture) {
  std::array<uint8_t, 256> m{};
  std::iota(m.begin(), m.end(), uint8_t{0});
  m[1] = m[7] = 0;  // positions 0, 1 and 7 hold 0, none holds 1 or 7
  const IndexLut lut = InverseIndexMap(m);
  EXPECT_EQ(lut[0], 0);  // the lowest position holding it
  EXPECT_EQ(lut[1], 1);  // held nowhere: keeps its index
  EXPECT_EQ(lut[9], 9);

  Rig r;
  std::swap(r.s().IndexMap[0], r.s().IndexMap[1]);
  r.ed.RemapPicture();
  EXPECT_EQ(r.s().Pixels, (Bytes{0, 0}));
}

TEST(PaletteLoad, MergesInsideOrOutsideTheRange) {
  struct Case {
    int16_t a, b;
    bool replace;
    int lo, hi;  // entries taken: lo..hi when replacing, all but lo..hi when protecting
  } const cases[] = {
      // clang-format off
      {20, 10, true, 10, 20}, {10, 20, false, 10, 20}, {0, 0, false, 0, 0},
      {255, 255, false, 255, 255}, {0, 0, true, 0, 0}, {255, 255, true, 255, 255},
      // clang-format on
  };
  TempDir dir;
  const std::string file = dir.File("pal.pcx");
  const Palette incoming = DistinctPalette(99);
  WritePicture(file, 16, 16, Bytes(256, 0), incoming);
  for (const Case& c : cases) {
    Rig r;
    r.ed.ShowUsage(c.a);
    r.ed.ShowUsage(c.b);
    r.s().ui.CheckMerge = 1;
    r.s().ui.OptionMergeReplace = c.replace;
    std::swap(r.s().IndexMap[14], r.s().IndexMap[15]);
    std::swap(r.s().IndexMap[0], r.s().IndexMap[255]);
    const EditorState before = r.s();
    r.files.opens.push_back(file);
    r.ed.CommandLoadPal_Click();
    for (size_t k = 0; k < 256; ++k) {
      const bool taken =
          (k >= static_cast<size_t>(c.lo) && k <= static_cast<size_t>(c.hi)) == c.replace;
      EXPECT_EQ(r.s().Pal[k], taken ? incoming[k] : before.Pal[k]) << k;
      EXPECT_EQ(r.s().IndexMap[k], taken ? k : before.IndexMap[k]) << k;
    }
    EXPECT_TRUE(r.s().ui.ButtonTestEnabled);
  }
}

TEST(PaletteFile, SaveAndLoadGivesThePaletteTheBoardShows) {
  Rig r;
  TempDir dir;
  r.s().Pal = DistinctPalette(1);
  auto& m = r.s().IndexMap;
  std::swap(m[0], m[1]);
  std::swap(m[1], m[2]);
  std::swap(m[30], m[130]);
  const Palette shown = r.ed.BoardPalette();
  const std::string file = dir.File("saved.pal.pcx");
  r.files.saves.push_back(file);
  r.ed.CommandSavePal_Click();
  EXPECT_EQ(ReadBytes(file).size(), 1217u);
  r.files.opens.push_back(file);
  r.ed.CommandLoadPal_Click();
  EXPECT_TRUE(r.errors.messages.empty());
  EXPECT_EQ(r.s().Pal, shown);
  ExpectIdentity(m);
  // The saved file is a 16 x 16 picture whose pixel k is k.
  const auto pic = LoadPcxFile(file);
  ASSERT_TRUE(pic.ok()) << pic.error().message;
  for (size_t k = 0; k < 256; ++k) EXPECT_EQ(pic->pixels[k], k);
}

TEST(PictureSave, AFailedSaveIsReportedAndLeavesTheOldFile) {
  Loaded r;
  const std::string out = r.dir.File("keep.pcx");
  WriteBytes(out, {1, 2, 3});
  r.s().PcxHead.Xmin = -32768;  // a window no file can hold
  r.s().PcxHead.Xmax = 32767;
  r.files.saves.push_back(out);
  r.ed.ButtonSave_Click();
  ASSERT_EQ(r.errors.messages.size(), 1u);
  EXPECT_NE(r.errors.messages[0].find(out), std::string::npos);
  EXPECT_EQ(ReadBytes(out), (Bytes{1, 2, 3}));
  r.files.saves.push_back(r.dir.File("no/such/dir.pcx"));
  r.ed.CommandSavePal_Click();
  EXPECT_EQ(r.errors.messages.size(), 2u);
  r.files.saves.push_back(std::nullopt);  // cancelled: silent
  r.ed.ButtonSave_Click();
  EXPECT_EQ(r.errors.messages.size(), 2u);
  EXPECT_EQ(r.busy.depth, 0);
}

TEST(PictureSave, BeforeAnyLoadWritesTheStartUpPicture) {
  // A 1 x 1 raw picture of the start-up header: one pixel byte (rows are the
  // picture's width), the byte 12 and the start-up palette.
  Rig r;
  TempDir dir;
  const std::string out = dir.File("blank.pcx");
  r.files.saves.push_back(out);
  r.ed.ButtonSave_Click();
  ASSERT_TRUE(r.errors.messages.empty()) << r.errors.messages[0];
  const Bytes file = ReadBytes(out);
  ASSERT_EQ(file.size(), 128u + 1 + 1 + 768);
  EXPECT_EQ(file[129], 12);
  EXPECT_EQ((Bytes(file.end() - 3, file.end())), (Bytes{255, 170, 85}));
}

}  // namespace
}  // namespace hw::test
