// The file commands and the picture window.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "../common/run_as.h"
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
  explicit Loaded(int palette_size = 0) : Rig(palette_size) {
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * i / 7 % 256);
    WritePicture(path, 320, 200, pixels, palette);
    Load(path);
  }
  void LoadPalette(const std::string& file, PaletteMerge merge = PaletteMerge::All) {
    files.opens.push_back(file);
    commands.LoadPalette(merge);
  }
};

TEST(PictureLoad, ShowsThePictureAndStartsAfresh) {
  Loaded r;
  ASSERT_TRUE(r.errors.messages.empty()) << r.errors.messages[0];
  EXPECT_EQ(r.ed.PicturePath(), r.path);
  EXPECT_TRUE(r.ed.CyclingAvailable());
  EXPECT_EQ(std::tuple(r.ed.PictureWidth(), r.ed.PictureHeight()), std::tuple(320, 200));
  EXPECT_EQ(r.ed.LoadedPixels(), r.pixels);
  EXPECT_EQ(r.ed.Pixels(), r.pixels);
  EXPECT_EQ(EntryColours(r.ed.Board()), r.palette);
  EXPECT_EQ(ShownBoard(r.ed), r.palette);
  EXPECT_EQ(std::tuple(r.busy.waits, r.busy.depth), std::tuple(1, 0));
  r.ed.Select(5);
  EXPECT_EQ(r.ed.Usage()[5], std::count(r.pixels.begin(), r.pixels.end(), 5));
  for (Surface s : {Surface::PictureBox, Surface::PictureWindow}) {
    EXPECT_EQ(Realized(r.ed, s), r.palette);
    for (const PaletteEntry& e : *r.ed.display().Realized(s)) ASSERT_EQ(e.flags, kEntryFlags);
  }

  // Loading again starts from the identity map and a new history.
  r.Drop(1, 0);
  r.Load(r.path);
  EXPECT_EQ(r.ed.Board().map, IdentityMap());
  EXPECT_FALSE(r.ed.CanUndo());
  EXPECT_EQ(r.ed.Pixels(), r.pixels);
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
  EXPECT_EQ(r.ed.display().Generation(), generation);
  EXPECT_TRUE(r.ed.CanUndo());
  ASSERT_EQ(r.errors.messages.size(), 4u);
  const std::string named[] = {bad, tiny, "missing.pcx", text + "': not a picture Huewright reads"};
  for (size_t i = 0; i < 4; ++i)
    EXPECT_NE(r.errors.messages[i].find(named[i]), std::string::npos) << r.errors.messages[i];
  EXPECT_EQ(r.busy.depth, 0);
}

// A palette load writes entries at positions and never touches the map or pixels.
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
    EXPECT_NE(r.errors.messages.back().find(r.path), std::string::npos);
    EXPECT_NE(r.errors.messages.back().find("memory"), std::string::npos)
        << r.errors.messages.back();
  }
  EXPECT_GE(failures, 1);  // the pixels at least
  EXPECT_LT(failures, 8);
  EXPECT_EQ(r.busy.depth, 0);
}

// Under a process limit no helper thread starts: the load still succeeds and says
// nothing, and the first command remaps on its own.
TEST(PictureLoad, WithNoThreadToBeHadTheLoadSucceeds) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  TempDir dir;
  ::chmod(dir.Path().c_str(), 0755);
  const std::string path = dir.File("tree.pcx");
  Bytes pixels(64000);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
  WritePicture(path, 320, 200, pixels, DistinctPalette(2));
  const auto out = RunAsOtherUser([&]() -> std::string {
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_NPROC, &none) != 0) return "setrlimit failed";
    try {
      std::thread([] {}).join();
      return "a thread could still be started";
    } catch (const std::system_error&) {
    }
    Rig r;
    const bool loaded = r.ed.LoadPicture(path);
    r.Drop(9, 3, 4);
    std::string said;
    for (const std::string& m : r.errors.messages) said += m + "\n";
    if (!loaded || !said.empty()) return "load: " + std::to_string(loaded) + " " + said;
    return r.ed.Pixels() == Mapped(r.ed) ? "" : "pixels do not follow the map";
  });
  EXPECT_TRUE(out.Exited()) << "child status " << out.status;
  EXPECT_EQ(out.text, "");
}

TEST(PaletteLoad, MergesByPositionAndIsOneStep) {
  const struct {
    int16_t a, b;
    bool merge, replace;
    int lo, hi;  // positions taken: lo..hi, or all but lo..hi
  } cases[] = {
      {20, 10, true, true, 10, 20}, {10, 20, true, false, 10, 20}, {3, 4, false, false, 0, 255}};
  TempDir dir;
  const std::string file = dir.File("pal.pcx");
  const Palette incoming = DistinctPalette(99);
  WritePicture(file, 16, 16, Bytes(256, 0), incoming);
  for (const auto& c : cases) {
    Loaded r;
    r.Boxes(true, false);
    r.Drop(15, 14);
    r.ed.Select(c.a);
    r.ed.Select(c.b);
    const Snapshot before(r.ed);
    r.LoadPalette(file, !c.merge    ? PaletteMerge::All
                        : c.replace ? PaletteMerge::ReplaceRange
                                    : PaletteMerge::ProtectRange);
    for (size_t k = 0; k < 256; ++k) {
      const bool inside = static_cast<int>(k) >= c.lo && static_cast<int>(k) <= c.hi;
      EXPECT_EQ(r.ed.Board().entries[k].rgb,
                inside == (c.replace || !c.merge) ? incoming[k] : before.board.entries[k].rgb)
          << k;
    }
    EXPECT_EQ(r.ed.Board().map, before.board.map);
    EXPECT_EQ(r.ed.Pixels(), before.pixels);
    EXPECT_EQ(Realized(r.ed, Surface::PictureWindow), EntryColours(r.ed.Board()));
    r.ed.Undo();
    EXPECT_TRUE(Snapshot(r.ed) == before);
  }
}

TEST(PictureSave, FailuresAreReportedAndLeaveTheOldFile) {
  Loaded r;
  const std::string out = r.dir.File("keep");
  std::filesystem::create_directory(out);  // nothing can be renamed over a directory
  WriteBytes(out + "/inside", {1, 2, 3});
  r.files.saves.push_back(out);
  r.commands.SavePicture();
  ASSERT_EQ(r.errors.messages.size(), 1u);
  EXPECT_NE(r.errors.messages[0].find(out), std::string::npos);
  EXPECT_EQ(ReadBytes(out + "/inside"), (Bytes{1, 2, 3}));
  r.files.saves.push_back(r.dir.File("no/such/dir.pcx"));
  r.commands.SavePalette();
  EXPECT_EQ(r.errors.messages.size(), 2u);
  r.files.saves.push_back(std::nullopt);  // cancelled: silent
  r.commands.SavePicture();
  EXPECT_EQ(r.errors.messages.size(), 2u);
  EXPECT_EQ(r.busy.depth, 0);
}

// After "Save Pic As..." the new file is the picture's file: the title, "Save Pic"
// and the unsaved-changes state follow it, and the old file is left alone.
TEST(PictureSave, SaveAsMakesTheNewFileThePicturesFile) {
  Loaded r;
  const Bytes original = ReadBytes(r.path);
  r.Drop(9, 3);
  const std::string copy = r.dir.File("copy.png");
  r.files.saves.push_back(copy);
  ASSERT_TRUE(r.commands.SavePicture());
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.PictureFileFormat(), r.ed.Modified()),
            std::tuple(copy, PictureFormat::Png, false));
  EXPECT_EQ(r.ed.PicturePath(), copy);
  r.Drop(20, 30);
  EXPECT_TRUE(r.ed.Modified());
  ASSERT_TRUE(r.commands.SavePictureToItsFile());
  EXPECT_FALSE(r.ed.Modified());
  auto saved = DecodeIndexedPng(ReadBytes(copy));
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(saved->pixels, r.ed.Pixels());
  EXPECT_EQ(ReadBytes(r.path), original);
  // A failed Save As changes nothing of that.
  r.files.saves.push_back(r.dir.File("no/such/dir.pcx"));
  EXPECT_FALSE(r.commands.SavePicture());
  EXPECT_EQ(r.ed.PicturePath(), copy);
}

TEST(PictureSave, WithNoPictureLoadedNothingIsWritten) {
  Rig r;
  TempDir dir;
  r.files.saves.push_back(dir.File("blank.pcx"));
  r.commands.SavePicture();  // no dialog, no message, no file
  EXPECT_EQ(r.files.saves.size(), 1u);
  EXPECT_FALSE(r.ed.SavePicture(dir.File("blank.pcx")));
  ASSERT_EQ(r.errors.messages.size(), 1u);
  EXPECT_NE(r.errors.messages[0].find("blank.pcx"), std::string::npos);
  EXPECT_TRUE(dir.Entries().empty());
  r.Drop(1, 0);  // the board still moves; there are no pixels to remap
  EXPECT_TRUE(r.ed.Pixels().empty());
  EXPECT_EQ(r.ed.Board().map[0], 1);
}

struct FakeLossQuestion : LossQuestion {
  bool answer = false;
  std::vector<std::string> asked;  // "file: loss", one per question
  bool SaveAllTheSame(const std::string& file, const std::string& loss) override {
    asked.push_back(file + ": " + loss);
    return answer;
  }
};

// A save into a format that cannot hold the board's alpha asks first; a cancel
// writes nothing (and cancels what the save was for).
TEST(PictureSave, SavesThatLoseAlphaAskFirst) {
  Rig r;
  TempDir dir;
  FakeLossQuestion question;
  r.commands.SetLossQuestion(&question);
  BoardEntries entries{};
  for (size_t i = 0; i < 256; ++i) entries[i] = BoardEntry{DistinctPalette(9)[i], 255};
  entries[7].A = 0, entries[9].A = 0, entries[30].A = 110;
  auto png = EncodeIndexedPng(4, 2, Bytes{0, 7, 9, 30, 1, 2, 3, 4}, entries);
  ASSERT_TRUE(png.ok());
  WriteBytes(dir.File("in.png"), *png);
  r.Load(dir.File("in.png"));
  ASSERT_TRUE(r.ed.PictureLoaded());

  r.files.saves = {dir.File("a.png"), dir.File("b.pcx"), dir.File("c.pcx"), dir.File("p.act"),
                   dir.File("p.gpl")};
  EXPECT_TRUE(r.commands.SavePicture());  // PNG keeps alpha: no question
  EXPECT_TRUE(question.asked.empty());
  EXPECT_FALSE(r.commands.SavePicture());  // cancelled
  ASSERT_EQ(question.asked.size(), 1u);
  EXPECT_EQ(question.asked[0],
            dir.File("b.pcx") + ": the alpha of 3 entries: a PCX file has no transparency");
  question.answer = true;
  EXPECT_TRUE(r.commands.SavePicture());
  EXPECT_EQ(r.ed.PicturePath(), dir.File("c.pcx"));
  r.Drop(1, 0);
  EXPECT_TRUE(r.commands.SavePictureToItsFile());  // asks again: the file is PCX now
  question.answer = false;
  EXPECT_FALSE(r.commands.SavePalette());  // .act keeps entry 7 only
  EXPECT_FALSE(r.commands.SavePalette());
  ASSERT_EQ(question.asked.size(), 5u);
  EXPECT_NE(question.asked[3].find("the alpha of 2 entries: an Adobe colour table"),
            std::string::npos);
  EXPECT_NE(question.asked[4].find("the alpha of 3 entries: a GIMP palette"), std::string::npos);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.png", "c.pcx", "in.png"}));
  EXPECT_TRUE(r.errors.messages.empty());
}

// An indexed PNG with transparency: loaded, rearranged, and saved as PNG and as
// PCX, it keeps its look, and the PNG its transparency.
TEST(Formats, PngPictureKeepsLookAndTransparencyThroughEdits) {
  Rig r;
  TempDir dir;
  BoardEntries entries{};
  for (size_t i = 0; i < 256; ++i) {
    entries[i] = BoardEntry{DistinctPalette(9)[i], static_cast<uint8_t>(i % 3 == 0 ? 255 : i)};
  }
  Bytes pixels(13 * 7);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k * 37 % 256);
  auto png = EncodeIndexedPng(13, 7, pixels, entries);
  ASSERT_TRUE(png.ok());
  WriteBytes(dir.File("in.png"), *png);
  r.Load(dir.File("in.png"));
  ASSERT_TRUE(r.ed.PictureLoaded()) << (r.errors.messages.empty() ? "" : r.errors.messages[0]);
  r.Drop(200, 3, 17);
  r.ed.Sort(SortKey::Hue, false, r.what);

  r.files.saves = {dir.File("out.png"), dir.File("out.pcx")};
  r.commands.SavePicture();
  r.commands.SavePicture();
  ASSERT_TRUE(r.errors.messages.empty()) << r.errors.messages[0];
  auto back = DecodeIndexedPng(ReadBytes(dir.File("out.png")));
  ASSERT_TRUE(back.ok());
  auto pcx = DecodePcx(ReadBytes(dir.File("out.pcx")));
  ASSERT_TRUE(pcx.ok());
  for (size_t k = 0; k < pixels.size(); ++k) {
    ASSERT_EQ(back->entries[back->pixels[k]], entries[pixels[k]]) << k;
    ASSERT_EQ(pcx->palette[pcx->pixels[k]], entries[pixels[k]].rgb) << k;
  }
  EXPECT_EQ(r.files.kinds, std::vector<FileKind>(3, FileKind::Picture));

  // "Save Pic" writes the file it came from in its own format, whatever its name says.
  WriteBytes(dir.File("named.pcx"), *png);
  r.Load(dir.File("named.pcx"));
  r.Drop(1, 2);
  ASSERT_TRUE(r.ed.SavePictureToItsFile());
  EXPECT_TRUE(HasPngSignature(ReadBytes(dir.File("named.pcx"))));
  EXPECT_FALSE(r.ed.Modified());
}

// Every palette format saves the board and loads back into it, whole or merged;
// a short palette says how many entries it had.
TEST(Formats, PalettesOfEveryKindSaveAndLoadBackWholeAndMerged) {
  Rig r;
  TempDir dir;
  r.ed.LoadPalette("", PaletteMerge::All);  // an empty name is a cancel
  for (int i = 0; i < 256; ++i) r.ed.EditColour(i, DistinctPalette(4)[static_cast<size_t>(i)]);
  const BoardEntries board = r.ed.Board().entries;
  for (const char* name : {"p.gpl", "p.pal", "p.act", "p.hex", "p.pcx"}) {
    SCOPED_TRACE(name);
    r.files.saves.push_back(dir.File(name));  // through "Save Palette..."
    r.commands.SavePalette();
    r.ed.Spread(SpreadKind::Rgb);  // marks 254 and 255: recolour something
    for (int i = 0; i < 256; ++i) r.ed.EditColour(i, RGBTriple{1, 2, 3});
    r.ed.Select(10);
    r.ed.Select(20);
    ASSERT_TRUE(r.ed.LoadPalette(dir.File(name), PaletteMerge::ReplaceRange));
    for (size_t i = 0; i < 256; ++i) {
      ASSERT_EQ(r.ed.Board().entries[i].rgb,
                i >= 10 && i <= 20 ? board[i].rgb : (RGBTriple{1, 2, 3}))
          << i;
    }
    ASSERT_TRUE(r.ed.LoadPalette(dir.File(name), PaletteMerge::All));
    EXPECT_EQ(r.ed.Board().entries, board);
    EXPECT_EQ(r.ed.Message(), "");
  }
  WriteBytes(dir.File("short.hex"), Bytes{'f', 'f', '0',  '0', '0', '0', '\n', '0', '0', 'f', 'f',
                                          '0', '0', '\n', '0', '0', '0', '0',  'f', 'f', '\n'});
  ASSERT_TRUE(r.ed.LoadPalette(dir.File("short.hex"), PaletteMerge::All));
  EXPECT_EQ(r.ed.Board().entries[1].rgb, (RGBTriple{0, 255, 0}));
  EXPECT_EQ(r.ed.Board().entries[3].rgb, (RGBTriple{0, 0, 0}));
  EXPECT_EQ(r.ed.Message(), "The palette had 3 entries; positions 3 to 255 took black.");
  // Merged, a short file fills the range from its low end, or the positions from 0
  // outside the range; the rest keep their colours.
  for (int i = 0; i < 256; ++i) r.ed.EditColour(i, RGBTriple{1, 2, 3});
  r.ed.SetMarks(47, 32);
  ASSERT_TRUE(r.ed.LoadPalette(dir.File("short.hex"), PaletteMerge::ReplaceRange));
  EXPECT_EQ(r.ed.Message(), "Merged 3 entries into positions 32 to 47");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[31].rgb, r.ed.Board().entries[32].rgb,
                       r.ed.Board().entries[34].rgb, r.ed.Board().entries[35].rgb),
            std::tuple(RGBTriple{1, 2, 3}, RGBTriple{255, 0, 0}, RGBTriple{0, 0, 255},
                       RGBTriple{1, 2, 3}));
  r.ed.SetMarks(1, 40);
  ASSERT_TRUE(r.ed.LoadPalette(dir.File("short.hex"), PaletteMerge::ProtectRange));
  EXPECT_EQ(r.ed.Message(), "Merged 1 entry outside positions 1 to 40");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[0].rgb, r.ed.Board().entries[1].rgb),
            std::tuple(RGBTriple{255, 0, 0}, RGBTriple{1, 2, 3}));
  EXPECT_TRUE(r.errors.messages.empty());
}

}  // namespace
}  // namespace hw::test
