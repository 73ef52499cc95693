// Start-up, the board, selection, the colour dialog and the rubber band.
#include <gtest/gtest.h>

#include <map>

#include "editor_fakes.h"

namespace hw::test {
namespace {

const RGBTriple kStart{255, 170, 85};

TEST(StartUp, BoardLayoutAndColours) {
  for (int palette_size : {0, 256}) {
    Rig r(palette_size);
    EXPECT_EQ(r.ed.Board(), StartBoard(kStart));
    EXPECT_EQ(r.ed.controls().CheckHW, palette_size == 256);  // true-colour screens untick it
    EXPECT_FALSE(r.ed.CanUndo() || r.ed.CanRedo());
    for (int i = 0; i < 256; ++i) {
      const SwatchRect& s = r.ed.Swatches()[static_cast<size_t>(i)];
      // Column-major at a pitch of 1.1 swatches.
      EXPECT_EQ(s.Left, static_cast<float>(i / 16 * 192 * 1.1 + 120)) << i;
      EXPECT_EQ(s.Top, static_cast<float>(i % 16 * 192 * 1.1 + 360)) << i;
      EXPECT_EQ(r.ed.IsMarked(i), i == 0);
      EXPECT_EQ(r.ed.SwatchShownColour(i), kStart);
    }
    EXPECT_EQ(Realized(r.ed, Surface::PictureBox), EntryColours(r.ed.Board()));
  }
}

TEST(Board, FlipSwapsOrientationAndTwoFlipsRestoreIt) {
  Rig r;
  const auto before = r.ed.Swatches();
  r.ed.Flip();
  EXPECT_EQ(std::tie(r.ed.controls().LabelUR, r.ed.controls().LabelLL), std::tuple("15", "240"));
  for (size_t i = 0; i < 256; ++i) {  // swatch i takes the place of its mirror across the diagonal
    EXPECT_EQ(r.ed.Swatches()[i].Left, before[i % 16 * 16 + i / 16].Left) << i;
    EXPECT_EQ(r.ed.Swatches()[i].Top, before[i % 16 * 16 + i / 16].Top) << i;
  }
  r.ed.Flip();
  EXPECT_EQ(std::tie(r.ed.controls().LabelUR, r.ed.controls().LabelLL), std::tuple("240", "15"));
  for (size_t i = 0; i < 256; ++i) EXPECT_EQ(r.ed.Swatches()[i].Top, before[i].Top);
}

TEST(Selection, MarksFollowTheLastTwoSelectionsAndShowUsage) {
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
  EXPECT_EQ(r.ed.controls().LabelHistCnt, " 87");  // a space in the sign position
  EXPECT_EQ(NumberText(-3), "-3");
  r.ed.Drop(33, 33);  // a drop on itself selects
  r.ed.Select(300);   // never a position: ignored
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

TEST(RubberBand, StartsOnlyOnALeftPressStrictlyInsideTheBoard) {
  Rig r;
  r.ed.MouseDown(1, 110.0f, 500.0f);   // exactly on the left edge
  r.ed.MouseDown(1, 500.0f, 3800.0f);  // below the board
  r.ed.MouseDown(2, 500.0f, 600.0f);   // right button alone
  r.ed.MouseMove(1, 700.0f, 700.0f);   // no anchor from any of these presses
  r.ed.MouseUp(1, 700.0f, 700.0f);
  EXPECT_TRUE(r.view.boxes.empty());
  r.ed.MouseDown(3, 500.0f, 600.0f);  // left with the right one held
  r.ed.MouseUp(2, 500.0f, 600.0f);    // releasing the right one keeps the box
  EXPECT_EQ(r.view.boxes, (std::vector<Box>{{500, 600, 500, 600}}));
  r.ed.MouseUp(1, 500.0f, 600.0f);
  EXPECT_EQ(r.view.boxes.size(), 2u);
}

TEST(RubberBand, DragRoundsClampsAndRemovesEveryBox) {
  Rig r;
  r.ed.MouseDown(1, 500.25f, 600.0f);
  ASSERT_EQ(r.view.boxes.size(), 1u);
  EXPECT_EQ(r.view.boxes[0], (Box{500.25f, 600.0f, 500.25f, 600.0f}));
  r.ed.MouseMove(1, 700.5f, 801.5f);  // halves to the even neighbour
  EXPECT_EQ(r.view.boxes.back(), (Box{500.25f, 600.0f, 700.0f, 802.0f}));
  r.ed.MouseMove(2, 900.0f, 900.0f);      // without the left button: ignored
  r.ed.MouseMove(1, 99999.0f, -5000.0f);  // far outside: kept on the edges
  EXPECT_EQ(r.view.boxes.back(), (Box{500.25f, 600.0f, 3519.0f, 350.0f}));
  r.ed.MouseMove(1, -100.0f, 99999.0f);
  EXPECT_EQ(r.view.boxes.back(), (Box{500.25f, 600.0f, 110.0f, 3759.0f}));
  r.ed.MouseDown(1, 400.0f, 400.0f);  // a new press removes the old box first
  r.ed.MouseUp(1, 0.0f, 0.0f);
  ASSERT_EQ(r.view.boxes.size(), 1u + 2 * 3 + 2 + 1);
  // Exclusive-or drawing: every box drawn an even number of times leaves the surface as it was.
  std::map<std::tuple<float, float, float, float>, int> count;
  for (const Box& b : r.view.boxes) ++count[{b.x0, b.y0, b.x1, b.y1}];
  for (const auto& [box, n] : count) EXPECT_EQ(n % 2, 0);
  // After the release nothing draws until the next press inside the board.
  r.ed.MouseMove(1, 600.0f, 600.0f);
  r.ed.MouseUp(1, 600.0f, 600.0f);
  EXPECT_EQ(r.view.boxes.size(), 10u);
}

}  // namespace
}  // namespace hw::test
