// The rearranging and recolouring commands on a real editor: random sequences
// against the saved file and the history, what is a step, cut runs, the colour
// dialog, and running out of memory part way.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <random>

#include "base/faults.h"
#include "editor_fakes.h"

namespace hw::test {
namespace {

// A 37 x 23 picture with every index present and uneven usage, so the usage sort
// has work and ties; with `repeated_colours`, few distinct colours and several
// greys, so every colour key meets ties too.
struct Loaded : Rig {
  int w = 37, h = 23;
  Bytes pixels = Bytes(37 * 23);
  Palette palette{};
  TempDir dir;
  explicit Loaded(uint32_t seed = 5, int palette_size = 0, bool repeated_colours = false)
      : Rig(palette_size) {
    std::mt19937 gen(seed);
    for (size_t k = 0; k < pixels.size(); ++k)
      pixels[k] = static_cast<uint8_t>(k < 256 ? k : gen() % (1 + gen() % 256));
    palette = DistinctPalette(static_cast<int>(seed));
    for (size_t i = 0; repeated_colours && i < 256; ++i) {
      const uint8_t g = static_cast<uint8_t>((i * 53) & 0xC0);
      palette[i] = i % 5 == 0 ? RGBTriple{g, g, g}
                              : RGBTriple{static_cast<uint8_t>((i * 29) & 0xE0), g,
                                          static_cast<uint8_t>((i * 71) & 0x80)};
    }
    WritePicture(dir.File("in.pcx"), w, h, pixels, palette);
    Load(dir.File("in.pcx"));
  }
};

// With both boxes ticked, whatever the user does short of recolouring, the saved
// picture looks exactly like the loaded one; undoing every step gives back the
// loaded picture and board exactly, and redoing them all comes back.
class EditSequence : public ::testing::TestWithParam<int> {};

TEST_P(EditSequence, SavedPictureKeepsEveryPixelsColourAndUndoGoesBackExactly) {
  const uint32_t seed = static_cast<uint32_t>(GetParam());
  Loaded r(seed, seed % 2 == 1 ? 256 : 0, seed % 3 == 0);
  ASSERT_TRUE(r.ed.PictureLoaded());
  const Snapshot start(r.ed);
  std::mt19937 gen(seed * 7919u + 1);
  const auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); };
  std::string done;
  for (int step = 0; step < 40; ++step) {
    const int what = pick(10);
    if (what < 4) {
      const int count = 1 + pick(5), target = pick(256), source = pick(256);
      done += "drop " + std::to_string(source) + "->" + std::to_string(target) + " x" +
              std::to_string(count) + "; ";
      r.Drop(target, source, count);
    } else if (what < 6) {
      done += what == 4 ? "undo; " : "redo; ";
      what == 4 ? r.ed.Undo() : r.ed.Redo();
    } else if (what < 8) {
      r.ed.SetMarks(pick(256), pick(256));
      done += "reverse; ";
      r.ed.ReverseRange(r.what);
    } else {
      const auto key = static_cast<SortKey>(pick(5));
      const bool reverse = pick(2);
      done += "sort " + std::to_string(static_cast<int>(key)) + (reverse ? " reversed; " : "; ");
      r.ed.Sort(key, reverse, r.what);
    }
    ASSERT_EQ(r.ed.Pixels(), Mapped(r.ed)) << done;
  }
  // Where the marks are when a step starts is no step of its own.
  const auto marks_as = [&r](const Snapshot& s) {
    Snapshot now(r.ed);
    now.board.prev = s.board.prev, now.board.cur = s.board.cur;
    return now == s;
  };
  const Snapshot end(r.ed);
  int undone = 0;
  for (; r.ed.CanUndo(); ++undone) r.ed.Undo();
  EXPECT_TRUE(marks_as(start)) << done;
  for (int i = 0; i < undone; ++i) r.ed.Redo();
  EXPECT_TRUE(marks_as(end)) << done;
  r.files.saves.push_back(r.dir.File("out.pcx"));
  ASSERT_TRUE(r.commands.SavePicture());
  const auto saved = DecodePcx(ReadBytes(r.dir.File("out.pcx")));
  ASSERT_TRUE(saved.ok()) << saved.error().message;
  ASSERT_EQ(std::tuple(saved->size.width, saved->size.height), std::tuple(r.w, r.h));
  EXPECT_TRUE(Looks(saved->pixels, saved->palette) == Looks(r.pixels, r.palette)) << done;
}

INSTANTIATE_TEST_SUITE_P(RandomSequences, EditSequence, ::testing::Range(1, 13));

// Commands that change nothing are not steps; a colour edit, a sort and a drop are
// one step each, undone exactly, and a new step drops what could be redone.
TEST(History, OnlyCommandsThatChangeSomethingAreSteps) {
  Loaded r;
  r.Drop(20, 10, 0);
  r.Drop(20, 10, -3);
  r.Drop(20, 10, 99999);  // refused
  r.Drop(20, 20, 3);      // on itself: a selection
  r.ed.Select(7);
  r.ed.Select(7);
  r.ed.Select(300);  // never a position: ignored
  r.ed.ReverseRange(r.what);
  r.ed.Spread(SpreadKind::Rgb);
  r.what = {false, false};
  r.Drop(20, 10, 4);  // only the marks move
  r.ed.Sort(SortKey::Usage, false, r.what);
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur, r.ed.CanUndo()),
            std::tuple(10, 20, false));

  r.what = {true, true};
  r.ed.Sort(SortKey::Usage, false, r.what);
  const BoardState sorted = r.ed.Board();
  r.ed.Sort(SortKey::Usage, false, r.what);  // sorted already
  r.ed.EditColour(4, {1, 2, 3});
  EXPECT_EQ(std::tuple(r.ed.Board().entries[4].rgb, r.ed.Board().prev, r.ed.Board().cur),
            std::tuple(RGBTriple{1, 2, 3}, int16_t{10}, int16_t{20}));  // the marks stay
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board(), sorted);
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board().map, IdentityMap());
  EXPECT_FALSE(r.ed.CanUndo());
  r.ed.Redo();
  r.ed.Spread(SpreadKind::Rgb);
  EXPECT_FALSE(r.ed.CanRedo());
}

TEST(Moves, TheFullCountIsTakenAndARunCutAtTheEndSaysSo) {
  Loaded r;
  const BoardEntries start = r.ed.Board().entries;
  r.Drop(12, 10, 2);
  EXPECT_EQ(r.ed.Message(), "");
  r.ed.Undo();
  r.Drop(252, 0, 8);  // pairs 256..259 leave the board
  EXPECT_EQ(r.ed.Message(), "Moved 4 of 8: the run reached the end of the board.");
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(std::tie(r.ed.Board().entries[252 + k], r.ed.Board().entries[k]),
              std::tie(start[k], start[252 + k]));
  }
  EXPECT_EQ(r.ed.Board().entries[4], start[4]);
  r.ed.Undo();
  r.Drop(1, 0, 256);  // the largest count "Move:" takes: the board turns by one
  EXPECT_EQ(r.ed.Message(), "Moved 255 of 256: the run reached the end of the board.");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[0], r.ed.Board().entries[1], r.ed.Board().entries[255]),
            std::tuple(start[255], start[0], start[254]));
  EXPECT_EQ(Looks(r.ed.Pixels(), Realized(r.ed, Surface::PictureBox)), Looks(r.pixels, r.palette));
}

// The dialog opens on the entry's own colour whatever was chosen last; a cancel
// changes nothing, and the palette-reference bit of an answer is no colour.
TEST(ColourDialog, OpensOnTheEntrysOwnColourAndACancelChangesNothing) {
  Loaded r;
  r.what = {true, false};
  r.Drop(2, 1);  // as-loaded 1 now shows position 2's entry
  const Snapshot before(r.ed);
  r.commands.EditColour(2);  // cancelled
  EXPECT_TRUE(Snapshot(r.ed) == before);
  r.colours.answer = PackRGB({10, 20, 30}) | kPaletteRef;
  r.commands.EditColour(2);
  r.commands.EditColour(5);
  EXPECT_EQ(r.colours.initials,
            (std::vector<PackedColour>{PackRGB(r.palette[2]), PackRGB(r.palette[2]),
                                       PackRGB(r.palette[5])}));
  EXPECT_EQ(std::tuple(r.ed.Board().entries[2].rgb, r.ed.SwatchShownColour(2),
                       Realized(r.ed, Surface::PictureBox)[2]),
            std::tuple(RGBTriple{10, 20, 30}, RGBTriple{10, 20, 30}, RGBTriple{10, 20, 30}));
}

// Right after a load with no helper thread (so nothing prepared the remap
// buffer), each command, Undo and Redo meets every allocation it makes failing in
// turn: a failure leaves board, pixels, window and history exactly as they were.
TEST(OutOfMemory, EveryCommandUndoAndRedoChangesNothingUntilAllItNeedsIsThere) {
  using Step = std::function<void(Loaded&)>;
  const auto nothing = [](Loaded&) {};
  const auto drop = [](Loaded& r) { r.Drop(12, 10, 5); };
  const auto marks = [](Loaded& r) { r.ed.SetMarks(3, 40); };
  const struct {
    const char* name;
    Step before, command;
  } cases[] = {
      {"drop", nothing, drop},
      {"drop, colours only",
       [](Loaded& r) {
         r.what = {false, true};
       },
       drop},
      {"reverse", marks, [](Loaded& r) { r.ed.ReverseRange(r.what); }},
      {"sort", nothing, [](Loaded& r) { r.ed.Sort(SortKey::Hue, false, r.what); }},
      {"spread", marks, [](Loaded& r) { r.ed.Spread(SpreadKind::Hsv); }},
      {"edit colour", nothing,
       [](Loaded& r) {
         r.ed.EditColour(4, {1, 2, 3});
       }},
      {"undo", drop, [](Loaded& r) { r.ed.Undo(); }},
      {"redo", [](Loaded& r) { r.Drop(12, 10, 5), r.ed.Undo(); }, [](Loaded& r) { r.ed.Redo(); }},
      {"drop after an undo", [](Loaded& r) { r.Drop(12, 10, 5), r.ed.Undo(); }, drop},
  };
  for (const auto& c : cases) {
    faults::FailThreadStartsAfter(0);
    Loaded r;
    faults::Reset();
    ASSERT_TRUE(r.errors.messages.empty()) << r.errors.messages[0];
    c.before(r);
    const Snapshot before(r.ed);
    const auto history = std::tuple(r.ed.CanUndo(), r.ed.CanRedo(), r.ed.Modified());
    int failures = 0;
    for (long n = 0;; ++n) {
      ASSERT_LT(n, 10) << c.name;
      faults::FailAllocationsAfter(n);
      bool failed = false;
      try {
        c.command(r);
      } catch (const std::bad_alloc&) {
        failed = true;
      }
      faults::Reset();
      if (!failed) break;
      ++failures;
      EXPECT_TRUE(Snapshot(r.ed) == before) << c.name << ", allocation " << n;
      EXPECT_EQ(std::tuple(r.ed.CanUndo(), r.ed.CanRedo(), r.ed.Modified()), history) << c.name;
    }
    // Whatever failed before, the command that got through is whole and undoable.
    EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed)) << c.name;
    EXPECT_EQ(Looks(r.ed.Pixels(), Realized(r.ed, Surface::PictureBox)),
              Looks(r.ed.Pixels(), EntryColours(r.ed.Board())))
        << c.name;
    if (failures > 0 && r.ed.CanUndo()) {
      r.ed.Undo();
      EXPECT_TRUE(Snapshot(r.ed) == before) << c.name;
    }
    if (std::string(c.name) == "drop") {
      EXPECT_EQ(failures, 2);  // the remap buffer, the step
    }
  }
}

}  // namespace
}  // namespace hw::test
