// Colour cycling by ranges: the preview against an independent model of the
// rotation driven by a fake clock, Stop restoring every surface, and ranges as
// part of the board: carried by drops and reverses, kept by other commands,
// undone and redone with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "../editor/editor_fakes.h"
#include "cycle/rotation.h"
#include "formats/picture_io.h"

namespace hw::test {
namespace {

// The model: whole colours rotated one step at a time, range by range.
Palette ModelFrame(const Palette& entries, const CycleRanges& ranges, int64_t micros) {
  Palette shown = entries;
  for (const CycleRange& r : ranges) {
    if (!r.active || r.rate == 0 || r.low >= r.high || micros <= 0) continue;
    // floor(t * rate * 60 / 16384) with t in seconds, exactly.
    const auto steps = static_cast<int64_t>(static_cast<unsigned __int128>(micros) * r.rate * 60 /
                                            (unsigned __int128)(16384LL * 1000000LL));
    const int n = r.high - r.low + 1;
    auto first = shown.begin() + r.low, last = shown.begin() + r.high + 1;
    for (int64_t s = 0; s < steps % n; ++s) {
      if (r.reverse) {
        std::rotate(first, first + 1, last);  // p shows what p + 1 showed
      } else {
        std::rotate(first, last - 1, last);  // p shows what p - 1 showed, LOW what HIGH showed
      }
    }
  }
  return shown;
}

CycleRanges RandomRanges(std::mt19937& gen) {
  CycleRanges ranges;
  const int n = 1 + static_cast<int>(gen() % kMaxCycleRanges);
  for (int i = 0; i < n; ++i) {
    CycleRange r;
    r.low = static_cast<uint8_t>(gen() % 256);
    // Mostly proper ranges, some with LOW at or above HIGH (never stepping).
    r.high =
        gen() % 8 == 0
            ? static_cast<uint8_t>(gen() % 256)
            : static_cast<uint8_t>(std::min<uint32_t>(255u, r.low + 1u + uint32_t(gen() % 40)));
    const uint32_t pick = gen() % 10;
    r.rate = static_cast<uint16_t>(pick == 0 ? 0 : pick < 3 ? 16384 : gen() % 65536);
    r.reverse = gen() % 2;
    r.active = gen() % 6 != 0;
    ranges.push_back(r);
  }
  return ranges;
}

TEST(Cycling, ThePreviewFollowsTheModelAndStopRestoresEverySurface) {
  for (int palette_size : {0, 256}) {
    Rig rig(palette_size);
    Editor& ed = rig.ed;
    std::mt19937 gen(11 + palette_size);
    const BoardEntries start = Opaque(DistinctPalette());
    for (int round = 0; round < 20; ++round) {
      for (size_t p = 0; p < 256; ++p) ed.SetEntry(int(p), start[p]);
      ed.ClearCycleRanges();
      const CycleRanges ranges = RandomRanges(gen);
      for (const CycleRange& r : ranges) {
        if (r.low <= r.high) {
          ASSERT_TRUE(ed.AddCycleRange(r));
        }
      }
      const BoardState board = ed.Board();
      const auto before = Snapshot(ed);
      const Palette shown_before = ShownBoard(ed);
      const Palette entries = EntryColours(board);

      ed.PlayCycles();
      const int64_t t0 = rig.clock.now;
      for (int tick = 0; tick < 25; ++tick) {
        // Small steps near step boundaries and long jumps (hours) alike.
        rig.clock.now += tick % 5 == 4 ? int64_t(gen() % 4'000'000'000) : int64_t(gen() % 40'000);
        ed.CycleTick();
        const Palette want = ModelFrame(entries, board.cycles, rig.clock.now - t0);
        ASSERT_EQ(Realized(ed, Surface::PictureBox), want) << "round " << round;
        ASSERT_EQ(Realized(ed, Surface::PictureWindow), want);
        ASSERT_EQ(ShownBoard(ed), want);
        // Playing never touches the board, so nothing cycling does is saved or
        // reaches a locked position.
        ASSERT_EQ(ed.Board(), board);
        ASSERT_FALSE(ed.CanRedo());
        // The frame timer wakes for the next step: nothing moves before it, something at it.
        const int64_t t = rig.clock.now - t0, next = CycleNextStepAt(board.cycles, t);
        if (next > t) {
          ASSERT_EQ(ModelFrame(entries, board.cycles, next - 1), want);
          ASSERT_TRUE(std::any_of(board.cycles.begin(), board.cycles.end(), [&](auto& r) {
            return r.active && CycleStepsAt(r, next) != CycleStepsAt(r, next - 1);
          }));
        }
      }
      ed.StopCycles();
      EXPECT_EQ(Snapshot(ed), before);
      EXPECT_EQ(ShownBoard(ed), shown_before);
      EXPECT_EQ(Realized(ed, Surface::PictureBox), entries);
    }
  }
}

// An edit while playing: the frame goes on from the new colours, and Stop shows
// them exactly; range edits take effect at once.
TEST(Cycling, EditsWhilePlayingShowAtOnceAndStopShowsTheBoard) {
  Rig rig;
  Editor& ed = rig.ed;
  ASSERT_TRUE(ed.AddFiveBands());
  EXPECT_EQ(ed.Cycles().size(), 5u);
  EXPECT_EQ(ed.Cycles()[0], (CycleRange{196, 203, 16384, true, true}));
  EXPECT_EQ(ed.Cycles()[4], (CycleRange{228, 235, 16384, true, true}));
  for (int p = 196; p <= 203; ++p) ed.SetEntry(p, BoardEntry{{uint8_t(p), 0, 0}, 255});
  ed.PlayCycles();
  const int64_t t0 = rig.clock.now;
  rig.clock.now += 3 * 1'000'000 / 60 + 10;  // three steps
  ed.CycleTick();
  EXPECT_EQ(ed.SwatchShownColour(196).R, 199);
  ed.SetEntry(199, BoardEntry{{1, 2, 3}, 255});
  EXPECT_EQ(ed.SwatchShownColour(196), (RGBTriple{1, 2, 3}));
  ed.SetCycleRange(0, CycleRange{196, 203, 16384, false, true});
  EXPECT_EQ(ed.SwatchShownColour(196).R, 201);  // forward: 196 shows 196 - 3
  EXPECT_EQ(Realized(ed, Surface::PictureBox),
            ModelFrame(EntryColours(ed.Board()), ed.Cycles(), rig.clock.now - t0));
  ed.StopCycles();
  EXPECT_EQ(Realized(ed, Surface::PictureBox), EntryColours(ed.Board()));
  EXPECT_EQ(ShownBoard(ed), EntryColours(ed.Board()));
}

// A save while playing writes the entries as they are when stopped, and the ranges
// with them; loading the file gives both back.
TEST(Cycling, SavingWhilePlayingKeepsTheStoppedEntriesAndTheRanges) {
  Rig rig;
  Editor& ed = rig.ed;
  TempDir dir;
  Bytes pixels(64);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(190 + k % 50);
  WritePicture(dir.File("in.pcx"), 8, 8, pixels, DistinctPalette(2));
  rig.Load(dir.File("in.pcx"));
  ASSERT_TRUE(ed.PictureLoaded());
  EXPECT_TRUE(ed.Cycles().empty());
  ASSERT_TRUE(ed.AddFiveBands());
  ed.PlayCycles();
  rig.clock.now += 250'000;
  ed.CycleTick();
  ASSERT_NE(Realized(ed, Surface::PictureBox), EntryColours(ed.Board()));
  ASSERT_TRUE(ed.SavePicture(dir.File("out.png")));
  auto saved = LoadPictureFile(dir.File("out.png"));
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(saved->entries, ed.Board().entries);
  EXPECT_EQ(saved->cycles, FiveBandsPreset());
  ed.StopCycles();
  ed.ClearCycleRanges();
  rig.Load(dir.File("out.png"));
  EXPECT_EQ(ed.Cycles(), FiveBandsPreset());
}

// Ranges travel with their entries: the drop of two separate runs with "Color"
// carries a range lying wholly in either; a reverse mirrors and turns a range it
// contains; everything else leaves them; undo and redo bring each state back.
TEST(Cycling, RangesTravelWithTheirEntriesThroughDropsReversesAndUndo) {
  Rig rig;
  Editor& ed = rig.ed;
  for (int p = 0; p < 256; ++p) ed.SetEntry(p, BoardEntry{{uint8_t(p), uint8_t(p / 2), 9}, 255});
  const CycleRange a{10, 13, 100, false, true}, b{40, 45, 200, true, true},
      c{14, 41, 300, false, false}, d{250, 255, 400, false, true};
  for (const CycleRange& r : {a, b, c, d}) ASSERT_TRUE(ed.AddCycleRange(r));
  const auto colours_of = [&](const CycleRange& r) {
    return std::vector<BoardEntry>(ed.Board().entries.begin() + r.low,
                                   ed.Board().entries.begin() + r.high + 1);
  };
  const auto a_colours = colours_of(a), b_colours = colours_of(b);
  std::vector<BoardState> states{ed.Board()};

  // Runs 10..17 and 40..47: a and b change places, c (across both) and d stay.
  ed.Drop(40, 10, MoveOptions{8, {true, true}});
  const CycleRange a2{40, 43, 100, false, true}, b2{10, 15, 200, true, true};
  EXPECT_EQ(ed.Cycles()[0], a2);
  EXPECT_EQ(ed.Cycles()[1], b2);
  EXPECT_EQ(ed.Cycles()[2], c);
  EXPECT_EQ(ed.Cycles()[3], d);
  EXPECT_EQ(colours_of(a2), a_colours);
  EXPECT_EQ(colours_of(b2), b_colours);
  states.push_back(ed.Board());

  // Overlapping runs, "Index" alone, and a run cut at the board's end carry nothing
  // that does not lie wholly in it.
  ed.Drop(12, 10, MoveOptions{8, {true, true}});
  ed.Drop(100, 40, MoveOptions{4, {true, false}});
  EXPECT_EQ(ed.Cycles()[0], a2);
  EXPECT_EQ(ed.Cycles()[1], b2);
  ed.Undo();
  ed.Undo();
  ed.Drop(200, 250, MoveOptions{8, {true, true}});  // moves 250..255 only
  EXPECT_EQ(ed.Cycles()[3], (CycleRange{200, 205, 400, false, true}));
  ed.Undo();

  ed.SetMarks(8, 47);
  states.back() = ed.Board();  // what undoing the reverse gives, marks and all
  // Reverse 8..47: a2 (40..43) -> 12..15, b2 (10..15) -> 40..45, both turned
  // round; c (14..41) lies inside too.
  ed.ReverseRange(MoveWhat{true, true});
  EXPECT_EQ(ed.Cycles()[0], (CycleRange{12, 15, 100, true, true}));
  EXPECT_EQ(ed.Cycles()[1], (CycleRange{40, 45, 200, false, true}));
  EXPECT_EQ(ed.Cycles()[2], (CycleRange{14, 41, 300, true, false}));
  EXPECT_EQ(ed.Cycles()[3], d);
  // The mirrored range cycles the same colours the same way on the screen.
  std::vector<BoardEntry> mirrored(a_colours.rbegin(), a_colours.rend());
  EXPECT_EQ(colours_of(ed.Cycles()[0]), mirrored);
  states.push_back(ed.Board());

  // Sorts, spreads and colour edits leave the ranges where they are.
  const CycleRanges kept = ed.Cycles();
  ed.Sort(SortKey::Brightness, true, MoveWhat{true, true});
  ed.SetMarks(0, 30);
  ed.Spread(SpreadKind::Rgb);
  EXPECT_EQ(ed.Cycles(), kept);

  // Range edits are steps of their own.
  ed.RemoveCycleRange(1);
  EXPECT_EQ(ed.Cycles().size(), 3u);
  ed.Undo();
  EXPECT_EQ(ed.Cycles(), kept);
  ed.Undo();
  ed.Undo();
  EXPECT_EQ(ed.Board(), states[2]);
  ed.Undo();
  EXPECT_EQ(ed.Board(), states[1]);
  ed.Undo();
  EXPECT_EQ(ed.Board(), states[0]);
  ed.Redo();
  ed.Redo();
  EXPECT_EQ(ed.Board(), states[2]);

  // At most 16 ranges; a refusal changes nothing.
  while (!ed.Cycles().full()) ASSERT_TRUE(ed.AddCycleRange(a));
  const BoardState full = ed.Board();
  EXPECT_FALSE(ed.AddCycleRange(a));
  EXPECT_FALSE(ed.AddFiveBands());
  EXPECT_FALSE(ed.AddCycleRange(CycleRange{9, 8, 1, false, true}));
  EXPECT_EQ(ed.Board(), full);
}

}  // namespace
}  // namespace hw::test
