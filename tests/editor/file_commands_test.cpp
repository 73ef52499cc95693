// The file commands: loads that show the picture or change nothing, saves that keep
// what they cannot write or ask first, and palettes of every kind, whole and merged.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/faults.h"
#include "editor_fakes.h"
#include "formats/png.h"

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
  void LoadPalette(const std::string& file, PaletteMerge merge = PaletteMerge::All) {
    files.opens.push_back(file);
    commands.LoadPalette(merge);
  }
};

struct FakeLossQuestion : LossQuestion {
  bool answer = false;
  std::vector<std::string> asked;  // "file: loss", one per question
  bool SaveAllTheSame(const std::string& file, const std::string& loss) override {
    asked.push_back(file + ": " + loss);
    return answer;
  }
};

TEST(PictureLoad, ShowsThePictureAndStartsAfresh) {
  Loaded r;
  ASSERT_TRUE(r.errors.messages.empty()) << r.errors.messages[0];
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.PictureWidth(), r.ed.PictureHeight()),
            std::tuple(r.path, 320, 200));
  EXPECT_EQ(std::tuple(r.ed.Pixels(), EntryColours(r.ed.Board()), ShownBoard(r.ed)),
            std::tuple(r.pixels, r.palette, r.palette));
  EXPECT_EQ(Realized(r.ed, Surface::PictureWindow), r.palette);
  EXPECT_EQ(r.ed.Usage()[5], std::count(r.pixels.begin(), r.pixels.end(), 5));
  EXPECT_EQ(r.busy.depth, 0);
  // Loading again starts from the identity map and a new history.
  r.Drop(1, 0);
  r.Load(r.path);
  EXPECT_EQ(std::tuple(r.ed.Board().map, r.ed.CanUndo(), r.ed.Pixels()),
            std::tuple(IdentityMap(), false, r.pixels));
}

TEST(PictureLoad, FailuresAndCancelsLeaveEverythingAsItWas) {
  Loaded r;
  r.Drop(9, 3);
  const Snapshot before(r.ed);
  const uint64_t generation = r.ed.display().Generation();
  r.Load(std::nullopt);  // cancelled: silent
  r.LoadPalette("");     // an empty answer is a cancel too
  auto bytes = ReadBytes(r.path);
  bytes.resize(kPcxHeaderSize + 100);
  const std::string bad = r.dir.File("bad.pcx"), tiny = r.dir.File("tiny.pcx"),
                    text = r.dir.File("notes.txt");
  WriteBytes(bad, bytes);           // pixel data that ends early
  WriteBytes(tiny, Bytes(767, 1));  // too short for a palette
  WriteBytes(text, Bytes(2000, 'x'));
  r.Load(bad);
  r.LoadPalette(tiny);
  r.Load(r.dir.File("missing.pcx"));
  r.Load(text);
  EXPECT_TRUE(Snapshot(r.ed) == before);
  EXPECT_EQ(std::tuple(r.ed.display().Generation(), r.ed.CanUndo(), r.busy.depth),
            std::tuple(generation, true, 0));
  ASSERT_EQ(r.errors.messages.size(), 4u);
  const std::string named[] = {bad, tiny, "missing.pcx", text + "': not a picture Huewright reads"};
  for (size_t i = 0; i < 4; ++i) EXPECT_HAS(r.errors.messages[i], named[i]);
}

TEST(PictureLoad, RunningOutOfMemoryAnywhereIsReportedAndChangesNothing) {
  Loaded r;
  r.Drop(9, 3);
  const Snapshot before(r.ed);
  // Every large allocation of the load in turn fails, until one load gets through.
  int failures = 0;
  for (long n = 0; n < 8; ++n) {
    faults::FailAllocationsAfter(n);
    const bool loaded = r.ed.LoadPicture(r.path);
    faults::Reset();
    if (loaded) break;
    ++failures;
    EXPECT_TRUE(Snapshot(r.ed) == before) << n;
    ASSERT_EQ(r.errors.messages.size(), static_cast<size_t>(failures));
    EXPECT_HAS(r.errors.messages.back(), "'" + r.path + "': not enough memory");
  }
  EXPECT_GE(failures, 1);  // the pixels at least
  EXPECT_LT(failures, 8);
  EXPECT_EQ(r.busy.depth, 0);
}

// A failed save leaves the old file and the picture's file as they were; after
// "Save Pic As..." the new file is the picture's file for "Save Pic" and the
// unsaved-changes state, and the old file is left alone.
TEST(PictureSave, FailuresKeepTheOldFileAndSaveAsMovesThePicture) {
  Loaded r;
  const Bytes original = ReadBytes(r.path);
  const std::string folder = r.dir.File("keep"), copy = r.dir.File("copy.png");
  std::filesystem::create_directory(folder);  // nothing can be renamed over a directory
  WriteBytes(folder + "/inside", {1, 2, 3});
  r.Drop(9, 3);
  r.files.saves = {folder, r.dir.File("no/such/dir.pcx"), std::nullopt, copy};
  EXPECT_FALSE(r.commands.SavePicture());
  EXPECT_FALSE(r.commands.SavePalette());
  EXPECT_FALSE(r.commands.SavePicture());  // cancelled: silent
  ASSERT_EQ(r.errors.messages.size(), 2u);
  EXPECT_HAS(r.errors.messages[0], folder);
  EXPECT_EQ(ReadBytes(folder + "/inside"), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.Modified()), std::tuple(r.path, true));

  ASSERT_TRUE(r.commands.SavePicture());
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.PictureFileFormat(), r.ed.Modified()),
            std::tuple(copy, PictureFormat::Png, false));
  r.Drop(20, 30);
  EXPECT_TRUE(r.ed.Modified());
  ASSERT_TRUE(r.commands.SavePictureToItsFile());
  EXPECT_FALSE(r.ed.Modified());
  EXPECT_EQ(DecodeIndexedPng(ReadBytes(copy))->pixels, r.ed.Pixels());
  EXPECT_EQ(ReadBytes(r.path), original);
  EXPECT_EQ(r.busy.depth, 0);

  // With no picture loaded, nothing is written: no dialog, and the verb refuses.
  Rig empty;
  empty.files.saves.push_back(r.dir.File("blank.pcx"));
  EXPECT_FALSE(empty.commands.SavePicture());
  EXPECT_FALSE(empty.ed.SavePicture(r.dir.File("blank.pcx")));
  EXPECT_TRUE(empty.files.kinds.empty());
  EXPECT_HAS(empty.errors.messages.at(0), "blank.pcx");
  EXPECT_FALSE(std::filesystem::exists(r.dir.File("blank.pcx")));
  empty.Drop(1, 0);  // the board still moves; there are no pixels to remap
  EXPECT_EQ(std::tuple(empty.ed.Board().map[0], empty.ed.Pixels().size()), std::tuple(1, 0u));
}

// An indexed PNG with transparency: rearranged and saved as PNG it keeps its look
// and transparency without a question; a save that would lose alpha asks first,
// naming the loss, and a cancel writes nothing. "Save Pic" writes the file in the
// format it came in, whatever its name says.
TEST(PictureSave, PngKeepsLookAndTransparencyAndLossesAskFirst) {
  Rig r;
  TempDir dir;
  FakeLossQuestion question;
  r.commands.SetLossQuestion(&question);
  BoardEntries entries = Opaque(DistinctPalette(9));
  entries[7].A = 0, entries[9].A = 0, entries[30].A = 110;
  Bytes pixels(13 * 7);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k * 37 % 256);
  pixels[0] = 7, pixels[1] = 9, pixels[2] = 30;
  const Bytes png = EncodeIndexedPng(13, 7, pixels, entries).value();
  WriteBytes(dir.File("in.pcx"), png);
  r.Load(dir.File("in.pcx"));
  ASSERT_TRUE(r.ed.PictureLoaded());
  r.Drop(200, 3, 17);
  r.ed.Sort(SortKey::Hue, false, r.what);

  r.files.saves = {dir.File("a.png"), dir.File("b.pcx"), dir.File("c.pcx"), dir.File("p.act"),
                   dir.File("p.gpl")};
  EXPECT_TRUE(r.commands.SavePicture());  // PNG keeps alpha: no question
  EXPECT_TRUE(question.asked.empty());
  auto back = DecodeIndexedPng(ReadBytes(dir.File("a.png")));
  ASSERT_TRUE(back.ok());
  for (size_t k = 0; k < pixels.size(); ++k) {
    ASSERT_EQ(back->entries[back->pixels[k]], entries[pixels[k]]) << k;
  }
  EXPECT_FALSE(r.commands.SavePicture());  // cancelled
  EXPECT_EQ(question.asked,
            std::vector<std::string>{dir.File("b.pcx") +
                                     ": the alpha of 3 entries: a PCX file has no transparency"});
  question.answer = true;
  EXPECT_TRUE(r.commands.SavePicture());
  auto pcx = DecodePcx(ReadBytes(dir.File("c.pcx")));
  ASSERT_TRUE(pcx.ok());
  for (size_t k = 0; k < pixels.size(); ++k) {
    ASSERT_EQ(pcx->palette[pcx->pixels[k]], entries[pixels[k]].rgb) << k;
  }
  question.answer = false;
  EXPECT_FALSE(r.commands.SavePalette());  // .act keeps entry 7 only
  EXPECT_FALSE(r.commands.SavePalette());
  ASSERT_EQ(question.asked.size(), 4u);
  EXPECT_HAS(question.asked[2], "the alpha of 2 entries: an Adobe colour table");
  EXPECT_HAS(question.asked[3], "the alpha of 3 entries: a GIMP palette");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.png", "c.pcx", "in.pcx"}));

  r.Load(dir.File("in.pcx"));
  r.Drop(1, 2);
  question.answer = false;
  ASSERT_TRUE(r.commands.SavePictureToItsFile());  // a PNG, whatever its name: no question
  EXPECT_TRUE(HasPngSignature(ReadBytes(dir.File("in.pcx"))));
  EXPECT_FALSE(r.ed.Modified());
  EXPECT_TRUE(r.errors.messages.empty());
}

// Every palette format saves the board and loads back into it, whole or merged; a
// short palette fills the range from its low end, or the positions from 0 outside
// it, and says how many entries went where.
TEST(PaletteFiles, EveryKindSavesAndLoadsBackWholeAndMerged) {
  Loaded r;
  r.Drop(15, 14);  // the map changes; palettes never touch it
  const BoardState board = r.ed.Board();
  const auto recolour = [&r] {
    for (int i = 0; i < 256; ++i) r.ed.EditColour(i, RGBTriple{1, 2, 3});
  };
  for (const char* name : {"p.gpl", "p.pal", "p.act", "p.hex", "p.pcx"}) {
    SCOPED_TRACE(name);
    r.files.saves.push_back(r.dir.File(name));
    ASSERT_TRUE(r.commands.SavePalette());
    recolour();
    r.ed.SetMarks(20, 10);
    r.LoadPalette(r.dir.File(name), PaletteMerge::ReplaceRange);
    for (size_t i = 0; i < 256; ++i) {
      ASSERT_EQ(r.ed.Board().entries[i].rgb,
                i >= 10 && i <= 20 ? board.entries[i].rgb : (RGBTriple{1, 2, 3}))
          << i;
    }
    r.LoadPalette(r.dir.File(name), PaletteMerge::All);
    EXPECT_EQ(std::tuple(r.ed.Board().entries, r.ed.Board().map, r.ed.Message()),
              std::tuple(board.entries, board.map, ""));
  }
  const std::string hex = r.dir.File("short.hex");
  WriteBytes(hex, {'f', 'f', '0',  '0', '0', '0', '\n', '0', '0', 'f', 'f',
                   '0', '0', '\n', '0', '0', '0', '0',  'f', 'f', '\n'});
  r.LoadPalette(hex);
  EXPECT_EQ(std::tuple(r.ed.Board().entries[1].rgb, r.ed.Board().entries[3].rgb),
            std::tuple(RGBTriple{0, 255, 0}, RGBTriple{0, 0, 0}));
  EXPECT_EQ(r.ed.Message(), "The palette had 3 entries; positions 3 to 255 took black.");
  recolour();
  r.ed.SetMarks(47, 32);
  r.LoadPalette(hex, PaletteMerge::ReplaceRange);
  EXPECT_EQ(r.ed.Message(), "Merged 3 entries into positions 32 to 47");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[31].rgb, r.ed.Board().entries[32].rgb,
                       r.ed.Board().entries[34].rgb, r.ed.Board().entries[35].rgb),
            std::tuple(RGBTriple{1, 2, 3}, RGBTriple{255, 0, 0}, RGBTriple{0, 0, 255},
                       RGBTriple{1, 2, 3}));
  r.ed.SetMarks(1, 40);
  r.LoadPalette(hex, PaletteMerge::ProtectRange);
  EXPECT_EQ(r.ed.Message(), "Merged 1 entry outside positions 1 to 40");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[0].rgb, r.ed.Board().entries[1].rgb),
            std::tuple(RGBTriple{255, 0, 0}, RGBTriple{1, 2, 3}));
  // A palette load is one step, undone exactly; the map and pixels never change.
  const Snapshot merged(r.ed);
  r.ed.Undo();
  r.ed.Redo();
  EXPECT_TRUE(Snapshot(r.ed) == merged);
  EXPECT_EQ(std::tuple(r.ed.Board().map, r.ed.Pixels()), std::tuple(board.map, Mapped(r.ed)));
  EXPECT_TRUE(r.errors.messages.empty());
}

}  // namespace
}  // namespace hw::test
