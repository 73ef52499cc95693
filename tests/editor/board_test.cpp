// Start-up, selection and the colour dialog.
#include <gtest/gtest.h>

#include "editor_fakes.h"

namespace hw::test {
namespace {

const RGBTriple kStart{255, 170, 85};

TEST(StartUp, BoardAndHardwareColours) {
  for (int palette_size : {0, 256}) {
    Rig r(palette_size);
    EXPECT_EQ(r.ed.Board(), StartBoard(kStart));
    EXPECT_EQ(r.ed.HardwareColours(), palette_size == 256);  // true-colour screens: off
    EXPECT_FALSE(r.ed.CanUndo() || r.ed.CanRedo() || r.ed.Flipped());
    for (int i = 0; i < 256; ++i) {
      EXPECT_EQ(r.ed.IsMarked(i), i == 0);
      EXPECT_EQ(r.ed.SwatchShownColour(i), kStart);
    }
    EXPECT_EQ(Realized(r.ed, Surface::PictureBox), EntryColours(r.ed.Board()));
  }
}

TEST(Selection, MarksFollowTheLastTwoSelections) {
  Rig r;
  TempDir dir;
  Bytes pixels(100, 3);
  std::fill(pixels.begin(), pixels.begin() + 87, uint8_t{200});
  WritePicture(dir.File("p.pcx"), 10, 10, pixels, DistinctPalette());
  r.Load(dir.File("p.pcx"));
  r.ed.Select(7);
  r.ed.Select(200);
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur), std::tuple(7, 200));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(r.ed.IsMarked(i), i == 7 || i == 200) << i;
  EXPECT_EQ(r.ed.Usage()[200], 87);
  r.Drop(33, 33);    // a drop on itself selects
  r.ed.Select(300);  // never a position: ignored
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur, r.ed.CanUndo()),
            std::tuple(200, 33, false));
}

TEST(ColourDialog, OpensOnTheEntrysOwnColourAndACancelChangesNothing) {
  Rig r;
  TempDir dir;
  WritePicture(dir.File("p.pcx"), 4, 1, {0, 1, 2, 3}, DistinctPalette());
  r.Load(dir.File("p.pcx"));
  r.Boxes(true, false);
  r.Drop(2, 1);  // as-loaded 1 now shows position 2's entry

  const Snapshot before(r.ed);
  r.commands.EditColour(2);  // cancelled
  EXPECT_TRUE(Snapshot(r.ed) == before);
  r.colours.answer = PackRGB({10, 20, 30}) | kPaletteRef;  // the reference bit is not a colour
  r.commands.EditColour(2);
  EXPECT_EQ(r.colours.initials, (std::vector<PackedColour>{PackRGB(DistinctPalette()[2]),
                                                           PackRGB(DistinctPalette()[2])}));
  EXPECT_EQ(r.ed.Board().entries[2].rgb, (RGBTriple{10, 20, 30}));
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur), std::tuple(1, 2));  // kept
  EXPECT_EQ(r.ed.SwatchShownColour(2), (RGBTriple{10, 20, 30}));
  EXPECT_EQ(ShownPicture(r.ed)[1], (RGBTriple{10, 20, 30}));
  // The next dialog opens on its own swatch's colour, not on the one chosen last.
  r.commands.EditColour(5);
  EXPECT_EQ(r.colours.initials.back(), PackRGB(DistinctPalette()[5]));
  r.ed.Undo();
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board().entries[2].rgb, DistinctPalette()[2]);
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur), std::tuple(1, 2));
}

}  // namespace
}  // namespace hw::test
