// Start-up, the board, selection, the colour dialog and the rubber band.
#include <gtest/gtest.h>

#include <map>

#include "editor_fakes.h"

namespace hw::test {
namespace {

const RGBTriple kStart{255, 170, 85};

TEST(StartUp, FieldsAndLayout) {
  Rig r;
  const EditorState& s = r.s();
  EXPECT_EQ(s.CycleStarts, (std::array<int16_t, 6>{0, 5, 10, 15, 20, 0}));
  EXPECT_EQ(std::tuple(s.PcxHead.Ymin, s.PcxHead.Ymax, s.OrigPixels.size()),
            std::tuple(-1, -1, 2u));
  EXPECT_EQ(std::tuple(s.BoardTop, s.BoardLeft, s.BoardBottom, s.BoardRight),
            std::tuple(350.0f, 110.0f, 3759.2f, 3519.2f));
  for (int i = 0; i < 256; ++i) {
    const size_t k = static_cast<size_t>(i);
    EXPECT_EQ(s.IndexMap[k], i);
    EXPECT_EQ(s.Pal[k], kStart);
    EXPECT_EQ(s.PicPal[k], kStart);
    EXPECT_EQ(r.ed.IsMarked(i), i == 0);
    // Column-major at a pitch of 1.1 swatches.
    EXPECT_EQ(s.Blot[k].Left, static_cast<float>(i / 16 * 192 * 1.1 + 120)) << i;
    EXPECT_EQ(s.Blot[k].Top, static_cast<float>(i % 16 * 192 * 1.1 + 360)) << i;
  }
}

TEST(StartUp, SwatchesShowTrueColoursOrPaletteReferences) {
  Rig r(0);  // a true-colour screen unticks "Use HW Colors"
  EXPECT_EQ(r.s().ui.CheckHW, 0);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(r.s().BlotColour[static_cast<size_t>(i)], PackRGB(kStart));
  r.s().Pal = DistinctPalette();
  std::swap(r.s().IndexMap[3], r.s().IndexMap[9]);
  r.ed.InitBlots();  // true colours follow the index map
  EXPECT_EQ(ShownBoard(r.ed), r.ed.BoardPalette());
  EXPECT_EQ(r.ed.SwatchShownColour(3), r.s().Pal[9]);

  Rig hw(256);
  EXPECT_EQ(hw.s().ui.CheckHW, 1);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(hw.s().BlotColour[static_cast<size_t>(i)], kPaletteRef + i);
  // Once a display palette exists, the swatches show its entries.
  hw.s().Pal = DistinctPalette();
  hw.ed.RealizeNewPalette();
  hw.ed.InitBlots();
  EXPECT_EQ(ShownBoard(hw.ed), hw.s().Pal);
}

TEST(Board, FlipSwapsOrientationAndTwoFlipsRestoreIt) {
  Rig r;
  const auto before = r.s().Blot;
  r.ed.CommanFlip_Click();
  EXPECT_EQ(std::tuple(r.s().Flipped, r.s().ui.LabelUR, r.s().ui.LabelLL),
            std::tuple(-1, "15", "240"));
  for (size_t i = 0; i < 256; ++i) {  // swatch i takes the place of its mirror across the diagonal
    EXPECT_EQ(r.s().Blot[i].Left, before[i % 16 * 16 + i / 16].Left) << i;
    EXPECT_EQ(r.s().Blot[i].Top, before[i % 16 * 16 + i / 16].Top) << i;
  }
  r.ed.CommanFlip_Click();
  EXPECT_EQ(std::tuple(r.s().Flipped, r.s().ui.LabelUR, r.s().ui.LabelLL),
            std::tuple(0, "240", "15"));
  for (size_t i = 0; i < 256; ++i) EXPECT_EQ(r.s().Blot[i].Left, before[i].Left);
}

TEST(Selection, MarksFollowTheLastTwoSelections) {
  Rig r;
  r.s().Histo[200] = 87;
  r.ed.ShowUsage(7);
  r.ed.ShowUsage(200);
  EXPECT_EQ(std::tuple(r.s().PrevIndex, r.s().CurIndex), std::tuple(7, 200));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(r.ed.IsMarked(i), i == 7 || i == 200) << i;
  EXPECT_EQ(r.s().ui.LabelHistCnt, " 87");  // a space in the sign position
  EXPECT_EQ(NumberText(-3), "-3");
  r.ed.ShowUsage(200);  // the same entry again: one mark left
  r.ed.ShowUsage(300);  // never an entry: ignored
  EXPECT_EQ(std::tuple(r.s().PrevIndex, r.s().CurIndex, r.ed.IsMarked(7)),
            std::tuple(200, 200, false));
}

TEST(ColourDialog, EditWritesTheEntryThePositionShowsAndRedrawsThePicture) {
  Rig r;
  TempDir dir;
  WritePicture(dir.File("p.pcx"), 4, 1, {0, 1, 2, 3}, DistinctPalette());
  r.Load(dir.File("p.pcx"));
  std::swap(r.s().IndexMap[1], r.s().IndexMap[2]);  // as a move would leave them
  r.ed.RemapPicture();

  r.colours.answer = PackRGB({10, 20, 30});
  r.ed.Blot_Click(1);
  EXPECT_EQ(r.s().Pal[2], (RGBTriple{10, 20, 30}));  // the entry position 1 holds
  EXPECT_EQ(r.s().Pal[1], DistinctPalette()[1]);
  EXPECT_EQ(r.ed.SwatchShownColour(1), (RGBTriple{10, 20, 30}));
  EXPECT_EQ(r.s().CurIndex, 1);
  // The picture shows the new colour where as-loaded index 2 was.
  const PaletteEntry& e = (*r.ed.display().Realized(Surface::PictureBox))[r.ed.ShownPixels()[2]];
  EXPECT_EQ((RGBTriple{e.red, e.green, e.blue}), (RGBTriple{10, 20, 30}));
  // The next dialog opens with the colour chosen last.
  r.ed.Blot_Click(5);
  EXPECT_EQ(r.colours.initials.back(), PackRGB({10, 20, 30}));
}

TEST(RubberBand, StrictEdgesAndButtons) {
  Rig r;
  r.ed.Form_MouseDown(1, 110.0f, 500.0f);  // exactly on the left edge
  r.ed.Form_MouseMove(1, 400.0f, 600.0f);
  r.ed.Form_MouseUp(1, 400.0f, 600.0f);
  EXPECT_EQ(r.s().BandX0, -1.0f);
  r.ed.Form_MouseDown(1, 500.0f, 3800.0f);  // below the board
  r.ed.Form_MouseMove(1, 500.0f, 600.0f);
  r.ed.Form_MouseDown(2, 500.0f, 600.0f);  // right button
  r.ed.Form_MouseDown(3, 500.0f, 600.0f);  // both buttons
  r.ed.Form_MouseMove(1, 700.0f, 700.0f);  // no anchor from any of these presses
  EXPECT_TRUE(r.view.boxes.empty());
}

TEST(RubberBand, DragRoundsClampsAndRemovesEveryBox) {
  Rig r;
  r.ed.Form_MouseDown(1, 500.25f, 600.0f);
  ASSERT_EQ(r.view.boxes.size(), 1u);
  EXPECT_EQ(r.view.boxes[0], (Box{500.25f, 600.0f, 500.25f, 600.0f}));
  r.ed.Form_MouseMove(1, 700.5f, 801.5f);  // halves to the even neighbour
  EXPECT_EQ(r.view.boxes.back(), (Box{500.25f, 600.0f, 700.0f, 802.0f}));
  r.ed.Form_MouseMove(2, 900.0f, 900.0f);      // not the left button alone: ignored
  r.ed.Form_MouseMove(1, 99999.0f, -5000.0f);  // far outside: kept on the edges
  EXPECT_EQ(r.view.boxes.back(), (Box{500.25f, 600.0f, 3519.0f, 350.0f}));
  r.ed.Form_MouseMove(1, -100.0f, 99999.0f);
  EXPECT_EQ(r.view.boxes.back(), (Box{500.25f, 600.0f, 110.0f, 3759.0f}));
  r.ed.Form_MouseUp(1, 0.0f, 0.0f);
  ASSERT_EQ(r.view.boxes.size(), 1u + 2 * 3 + 1);
  // Exclusive-or drawing: every box drawn an even number of times leaves the surface as it was.
  std::map<std::tuple<float, float, float, float>, int> count;
  for (const Box& b : r.view.boxes) ++count[{b.x0, b.y0, b.x1, b.y1}];
  for (const auto& [box, n] : count) EXPECT_EQ(n % 2, 0);
  // After the release nothing draws until the next press inside the board.
  r.ed.Form_MouseMove(1, 600.0f, 600.0f);
  r.ed.Form_MouseUp(1, 600.0f, 600.0f);
  EXPECT_EQ(r.view.boxes.size(), 8u);
}

}  // namespace
}  // namespace hw::test
