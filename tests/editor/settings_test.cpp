// Settings are not changes: the target hardware and the locks are undoable steps
// that leave the picture unmodified (a load keeping the target: the window's tests); the tile
// check's count on the status line follows the pixels; every save names its format.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "editor_fakes.h"
#include "formats/palettes/palette_files.h"
#include "formats/picture_io.h"

namespace hw::test {
namespace {

struct Picture : Rig {
  TempDir dir;
  std::string path = dir.File("in.pcx");
  Bytes pixels = Bytes(24 * 16);
  Picture() {
    std::mt19937 gen(3);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(8 + gen() % 16);  // banks 0 and 1
    WritePicture(path, 24, 16, pixels, DistinctPalette(2));
    Load(path);
  }
};

// Walks through settings and changes, with the modified flag each should leave, and
// the history taking every one of them back.
TEST(Settings, TargetAndLocksAreStepsButNotChanges) {
  Picture r;
  ASSERT_TRUE(r.ed.PictureLoaded());
  const auto check = [&r](const char* what, bool modified, size_t depth) {
    EXPECT_EQ(std::tuple(r.ed.Modified(), r.ed.CanUndo()), std::tuple(modified, depth > 0)) << what;
  };
  r.ed.SetTarget(*TargetByName("megadrive"));
  check("target", false, 1);
  r.ed.SetMarks(2, 9);
  r.ed.LockRange(true);
  check("lock", false, 2);
  r.ed.LockRange(false);
  check("unlock", false, 3);
  r.ed.EditColour(30, {1, 2, 3});
  check("colour edit", true, 4);
  r.ed.SetTarget(*TargetByName("none"));
  check("target after an edit", true, 5);
  r.ed.Undo();
  r.ed.Undo();
  check("edit undone", false, 3);
  r.ed.Undo();
  r.ed.Undo();
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board().target, ColourTarget{});
  EXPECT_FALSE(r.ed.CanUndo());
  EXPECT_FALSE(r.ed.Modified());

  // Saved with a lock on, the lock undone: still as saved. An edit redone after a
  // save is a change again.
  r.ed.EditColour(31, {9, 9, 9});
  r.ed.LockRange(true);
  ASSERT_TRUE(r.ed.SavePicture(r.dir.File("saved.pcx")));
  EXPECT_FALSE(r.ed.Modified());
  r.ed.Undo();
  EXPECT_FALSE(r.ed.Modified());
  r.ed.Undo();
  EXPECT_TRUE(r.ed.Modified());
  r.ed.Redo();
  EXPECT_FALSE(r.ed.Modified());
}

// Tiles of 8 x 8 whose positions fall in more than one bank of 16, counted from
// the pixels as the picture window shows them.
int64_t MixedTiles(const std::vector<uint8_t>& pixels, int width, int height) {
  int64_t mixed = 0;
  for (int ty = 0; ty < height; ty += 8) {
    for (int tx = 0; tx < width; tx += 8) {
      std::set<int> banks;
      for (int y = ty; y < std::min(ty + 8, height); ++y)
        for (int x = tx; x < std::min(tx + 8, width); ++x)
          banks.insert(pixels[size_t(y * width + x)] / 16);
      mixed += banks.size() > 1;
    }
  }
  return mixed;
}

// The count follows drops, undo and commands with messages of their own, and goes
// with Clear Tile Check.
TEST(Settings, TheTileCountOnTheStatusLineFollowsEveryChange) {
  Picture r;
  r.ed.CheckTiles(TileCheckOptions{});
  const auto line = [&r] {
    const int64_t n = MixedTiles(r.ed.Pixels(), 24, 16);
    return n == 0 ? std::string("No tile uses more than one bank")
                  : std::to_string(n) + " of 6 " + (n == 1 ? "tile uses" : "tiles use") +
                        " more than one bank";
  };
  EXPECT_EQ(r.ed.StatusLine(), line());
  const std::string before = line();
  // The pixels of 16..23 go to 0..7 (the index only): bank 0 holds every pixel.
  r.Boxes(true, false);
  r.Drop(0, 16, 8);
  ASSERT_NE(line(), before);
  EXPECT_EQ(r.ed.StatusLine(), line());
  r.ed.SetMarks(0, 3);
  r.ed.LockRange(true);  // a message of its own, the count after it
  EXPECT_EQ(r.ed.StatusLine(), r.ed.Message() + "; " + line());
  r.ed.Undo();
  r.ed.Undo();
  EXPECT_EQ(r.ed.StatusLine().ends_with(before), true) << r.ed.StatusLine();
  r.ed.ClearTileCheck();
  EXPECT_EQ(r.ed.StatusLine().find("bank"), std::string::npos) << r.ed.StatusLine();
}

// Palette, bank and picture saves name the format written, as read back.
TEST(Settings, EverySaveNamesTheFormatWritten) {
  Picture r;
  const struct {
    const char* name;
    std::optional<PaletteFormat> chosen;
    const char* said;
  } palettes[] = {{"a.gpl", {}, "GIMP palette"},        {"a.pal", {}, "JASC palette"},
                  {"a.act", {}, "Adobe colour table"},  {"a.hex", {}, "hex list"},
                  {"a.txt", {}, "Paint.NET palette"},   {"a.png", {}, "PNG strip"},
                  {"a.pcx", {}, "PCX palette picture"}, {"a.bin", PaletteFormat::Md9, "md9"}};
  for (const auto& p : palettes) {
    ASSERT_TRUE(r.ed.SavePalette(r.dir.File(p.name), p.chosen)) << p.name;
    EXPECT_TRUE(r.ed.Message().starts_with("Saved '" + std::string(p.name) + "' (" + p.said +
                                           ", 256 entries)"))
        << r.ed.Message();
  }
  ASSERT_TRUE(r.ed.SaveBank(2, 16, r.dir.File("bank2.gpl"), std::nullopt));
  EXPECT_EQ(r.ed.Message(), "Saved 'bank2.gpl' (GIMP palette, 16 entries)");
  const auto bank = LoadAnyPaletteFile(r.dir.File("bank2.gpl"));
  ASSERT_TRUE(bank);
  EXPECT_EQ(std::tuple(bank->format, bank->count), std::tuple(PaletteFormat::Gpl, 16));
  for (const auto& [name, said] :
       {std::pair("b.pcx", "PCX picture"), std::pair("b.png", "PNG picture"),
        std::pair("b.gif", "GIF picture"), std::pair("b.bmp", "BMP picture"),
        std::pair("b.lbm", "ILBM picture")}) {
    ASSERT_TRUE(r.ed.SavePicture(r.dir.File(name)));
    EXPECT_TRUE(r.ed.Message().starts_with("Saved '" + std::string(name) + "' (" + said + ")"))
        << r.ed.Message();
  }
  // A format named apart from the name's extension is the one written.
  ASSERT_TRUE(r.ed.SavePicture(r.dir.File("c.v2"), PictureFormat::Png));
  EXPECT_TRUE(r.ed.Message().starts_with("Saved 'c.v2' (PNG picture)")) << r.ed.Message();
  EXPECT_EQ(ReadBytes(r.dir.File("c.v2"))[1], 'P');
}

}  // namespace
}  // namespace hw::test
