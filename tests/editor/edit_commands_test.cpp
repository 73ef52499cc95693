// The rearranging and recolouring commands on a real editor, and their history.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <random>

#include "base/faults.h"
#include "board/moves.h"
#include "editor_fakes.h"

namespace hw::test {
namespace {

// A 37 x 23 picture with every index present and uneven usage, so the usage sort
// has work and ties.
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

std::vector<RGBTriple> Looks(const Bytes& pixels, const Palette& palette) {
  std::vector<RGBTriple> out;
  for (uint8_t p : pixels) out.push_back(palette[p]);
  return out;
}

// Saves through "Save Pic..." and reads the file back.
PcxPicture Save(Rig& r, const TempDir& dir) {
  r.files.saves.push_back(dir.File("out.pcx"));
  r.commands.SavePicture();
  EXPECT_TRUE(r.errors.messages.empty());
  Result<PcxPicture> saved = DecodePcx(ReadBytes(dir.File("out.pcx")));
  EXPECT_TRUE(saved.ok()) << saved.error().message;
  return saved.ok() ? *saved : PcxPicture{};
}

struct Loaded : Rig {
  Picture pic;
  TempDir dir;
  explicit Loaded(int palette_size = 0, Picture p = MakePicture(5, false))
      : Rig(palette_size), pic(std::move(p)) {
    WritePicture(dir.File("in.pcx"), pic.w, pic.h, pic.pixels, pic.palette);
    Load(dir.File("in.pcx"));
  }
};

// With both boxes ticked, whatever the user does short of recolouring, the saved
// picture looks exactly like the loaded one.
class EditSequence : public ::testing::TestWithParam<int> {};

TEST_P(EditSequence, SavedPictureKeepsEveryPixelsColour) {
  const uint32_t seed = static_cast<uint32_t>(GetParam());
  Loaded r(seed % 2 == 1 ? 256 : 0, MakePicture(seed, seed % 3 == 0));
  ASSERT_TRUE(r.ed.PictureLoaded());
  std::mt19937 gen(seed * 7919u + 1);
  const auto pick = [&](int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); };
  std::string done;
  for (int step = 0; step < 40; ++step) {
    const int what = pick(10);
    if (what < 4) {
      const int count = 1 + pick(5);
      const int target = pick(256), source = pick(256);
      done += "drop " + std::to_string(source) + "->" + std::to_string(target) + " x" +
              std::to_string(count) + "; ";
      r.Drop(target, source, count);
    } else if (what < 6) {
      done += what == 4 ? "undo; " : "redo; ";
      what == 4 ? r.ed.Undo() : r.ed.Redo();
    } else if (what < 8) {
      r.ed.Select(pick(256));
      r.ed.Select(pick(256));
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
  const PcxPicture saved = Save(r, r.dir);
  ASSERT_EQ(std::tuple(saved.size.width, saved.size.height), std::tuple(r.pic.w, r.pic.h));
  EXPECT_TRUE(Looks(saved.pixels, saved.palette) == Looks(r.pic.pixels, r.pic.palette)) << done;
}

INSTANTIATE_TEST_SUITE_P(RandomSequences, EditSequence, ::testing::Range(1, 13));

TEST(History, UndoRestoresTheExactBoardAndRedoRedoesIt) {
  Loaded r;
  r.ed.Select(40);
  const Snapshot start(r.ed);
  r.Drop(12, 10, 5);  // A..G at 10..16 -> G F A B C D E
  const Snapshot one(r.ed);
  r.Drop(14, 11, 3);  // overlapping the first run
  const Snapshot two(r.ed);
  r.ed.Undo();
  EXPECT_TRUE(Snapshot(r.ed) == one);
  EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed));
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board().map, IdentityMap());
  EXPECT_EQ(r.ed.Pixels(), r.ed.LoadedPixels());
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur), std::tuple(0, 40));
  EXPECT_FALSE(r.ed.CanUndo());
  r.ed.Undo();  // nothing left: nothing happens
  EXPECT_TRUE(Snapshot(r.ed) == start);
  r.ed.Redo();
  r.ed.Redo();
  EXPECT_TRUE(Snapshot(r.ed) == two);
  r.ed.Undo();
  r.ed.ReverseRange(r.what);  // a new step drops the one that could be redone
  EXPECT_FALSE(r.ed.CanRedo());
  // A new picture starts a new history.
  r.Load(r.dir.File("in.pcx"));
  EXPECT_FALSE(r.ed.CanUndo() || r.ed.CanRedo());
}

// Right after a load with no helper thread (so nothing prepared the remap
// buffer), each command, Undo and Redo meets every allocation it makes failing in
// turn: a failure leaves board, pixels, window and history exactly as they were.
TEST(OutOfMemory, EveryCommandUndoAndRedoChangesNothingUntilAllItNeedsIsThere) {
  using Step = std::function<void(Loaded&)>;
  const auto nothing = [](Loaded&) {};
  const auto drop = [](Loaded& r) { r.Drop(12, 10, 5); };
  const struct {
    const char* name;
    Step before, command;
  } cases[] = {
      {"drop", nothing, drop},
      {"drop, colours only", [](Loaded& r) { r.Boxes(false, true); }, drop},
      {"reverse", [](Loaded& r) { r.ed.SetMarks(3, 40); },
       [](Loaded& r) { r.ed.ReverseRange(r.what); }},
      {"sort", nothing, [](Loaded& r) { r.ed.Sort(SortKey::Hue, false, r.what); }},
      {"spread", [](Loaded& r) { r.ed.SetMarks(3, 40); },
       [](Loaded& r) { r.ed.Spread(SpreadKind::Hsv); }},
      {"edit colour", nothing,
       [](Loaded& r) {
         r.ed.EditColour(4, {1, 2, 3});
       }},
      {"undo", drop, [](Loaded& r) { r.ed.Undo(); }},
      {"redo", [](Loaded& r) { r.Drop(12, 10, 5), r.ed.Undo(); }, [](Loaded& r) { r.ed.Redo(); }},
      {"redo after a second drop", [](Loaded& r) { r.Drop(12, 10, 5), r.ed.Undo(); }, drop},
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
    EXPECT_EQ(ShownPicture(r.ed), Looks(r.ed.Pixels(), EntryColours(r.ed.Board()))) << c.name;
    if (failures > 0 && r.ed.CanUndo()) {
      r.ed.Undo();
      EXPECT_TRUE(Snapshot(r.ed) == before) << c.name;
    }
    if (std::string(c.name) == "drop") {
      EXPECT_EQ(failures, 2);  // the remap buffer, the step
    }
  }
}

// The history holds at least a thousand steps, each undone exactly.
TEST(History, AThousandStepsUndoBackToTheLoadedPicture) {
  Loaded r;
  const Snapshot start(r.ed);
  for (int i = 0; i < 1000; ++i) {
    const int source = i * 13 % 256;
    r.Drop((source + 1 + i % 100) % 256, source, 2);
  }
  const Snapshot last(r.ed);
  int undone = 0;
  while (r.ed.CanUndo()) r.ed.Undo(), ++undone;
  EXPECT_GE(undone, 1000);
  EXPECT_TRUE(Snapshot(r.ed) == start);
  for (int i = 0; i < 1000; ++i) r.ed.Redo();
  EXPECT_TRUE(Snapshot(r.ed) == last);
}

TEST(History, CommandsThatChangeNothingAreNotSteps) {
  Loaded r;
  r.Drop(20, 10, 0);
  r.Drop(20, 10, -3);
  r.Drop(20, 10, 99999);  // refused
  r.Drop(20, 20, 3);      // on itself: a selection
  r.ed.Select(7);
  r.ed.Select(7);
  r.ed.ReverseRange(r.what);
  r.ed.Spread(SpreadKind::Rgb);
  r.Boxes(false, false);
  r.Drop(20, 10, 4);
  r.ed.Sort(SortKey::Usage, false, r.what);
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur), std::tuple(10, 20));
  EXPECT_FALSE(r.ed.CanUndo());

  r.Boxes(true, true);
  r.ed.Sort(SortKey::Usage, false, r.what);
  const BoardState sorted = r.ed.Board();
  r.ed.Sort(SortKey::Usage, false, r.what);  // sorted already
  EXPECT_EQ(r.ed.Board(), sorted);
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board().map, IdentityMap());
  EXPECT_FALSE(r.ed.CanUndo());
}

TEST(Boxes, ColourMovesTheLookIndexMovesThePixelsNeitherMovesTheMarks) {
  const struct {
    bool index, colour;
    uint8_t pixel_of_10;    // where as-loaded 10's pixels point afterwards
    size_t colour_from_10;  // the as-loaded entry whose colour they show
  } cases[] = {
      {true, true, 20, 10}, {false, true, 10, 20}, {true, false, 20, 20}, {false, false, 10, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + std::to_string(c.colour));
    Loaded r;
    r.Boxes(c.index, c.colour);
    r.Drop(20, 10);
    EXPECT_EQ(r.ed.Pixels()[10], c.pixel_of_10);
    EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed));
    EXPECT_EQ(r.ed.Usage()[c.pixel_of_10], r.ed.LoadedUsage()[10]);
    EXPECT_EQ(ShownPicture(r.ed)[10], r.pic.palette[c.colour_from_10]);
    EXPECT_EQ(r.ed.SwatchShownColour(10), r.pic.palette[c.colour ? 20 : 10]);
    EXPECT_EQ(r.ed.CanUndo(), c.index || c.colour);
    EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur), std::tuple(10, 20));
  }
}

// The map's relabellings compose: three overlapping runs moved with "Index" alone
// give the pixels of the three exchanges made one after the other.
TEST(Boxes, ChainedIndexRunsComposeAndUndoRemapsOnce) {
  Loaded r;
  r.Boxes(true, false);
  IndexMap want = IdentityMap();
  std::vector<IndexMap> maps{want};
  for (const auto& [dst, src, count] : {std::tuple{12, 10, 5}, {8, 11, 6}, {13, 9, 4}}) {
    r.Drop(dst, src, count);
    const bool up = src + count <= dst;
    for (int n = 0; n < count; ++n) {
      const int i = up ? n : count - 1 - n;
      for (uint8_t& m : want) {
        m = m == dst + i   ? static_cast<uint8_t>(src + i)
            : m == src + i ? static_cast<uint8_t>(dst + i)
                           : m;
      }
    }
    maps.push_back(want);
    EXPECT_EQ(r.ed.Board().map, want);
  }
  EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed));
  EXPECT_EQ(EntryColours(r.ed.Board()), r.pic.palette);
  for (int back = 2; back >= 0; --back) {
    r.ed.Undo();
    EXPECT_EQ(r.ed.Board().map, maps[static_cast<size_t>(back)]);
    EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed));
  }
  r.ed.Redo();
  EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed));
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
    EXPECT_EQ(r.ed.Board().entries[252 + k], start[k]);
    EXPECT_EQ(r.ed.Board().entries[k], start[252 + k]);
  }
  EXPECT_EQ(r.ed.Board().entries[4], start[4]);
  r.ed.Undo();
  r.Drop(1, 0, 256);  // the largest count "Move:" takes: the board turns by one
  EXPECT_EQ(r.ed.Message(), "Moved 255 of 256: the run reached the end of the board.");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[0], r.ed.Board().entries[1], r.ed.Board().entries[255]),
            std::tuple(start[255], start[0], start[254]));
  EXPECT_EQ(ShownPicture(r.ed), Looks(r.pic.pixels, r.pic.palette));
}

TEST(Sorting, HardwareColoursSortTheBoardColours) {
  Picture pic = MakePicture(3, false);
  for (size_t i = 0; i < 256; ++i)
    pic.palette[i] = {static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i % 3), 0};
  Loaded r(256, pic);
  ASSERT_TRUE(r.ed.HardwareColours());
  r.ed.Sort(SortKey::RedGreen, false, r.what);
  for (size_t k = 0; k < 256; ++k) ASSERT_EQ(r.ed.Board().entries[k].rgb.R, k) << k;
  EXPECT_TRUE(ShownPicture(r.ed) == Looks(pic.pixels, pic.palette));
  EXPECT_EQ(ShownBoard(r.ed), EntryColours(r.ed.Board()));
}

TEST(Spreading, WritesPositionsAndTheSaveWritesWhatTheBoardShows) {
  Loaded r;
  r.Boxes(true, false);
  r.Drop(36, 100);  // as-loaded 100 now uses position 36
  r.ed.Select(34);  // blues 243, 250, 1, 8, 15 from 34 to 38
  r.ed.Select(38);
  const BoardState before = r.ed.Board();
  r.ed.Spread(SpreadKind::Rgb);
  EXPECT_EQ(r.ed.Board().map, before.map);
  EXPECT_EQ(r.ed.Board().entries[36].rgb, (RGBTriple{36, 219, 129}));  // halfway from 34 to 38
  const PcxPicture out = Save(r, r.dir);
  EXPECT_EQ(out.pixels, r.ed.Pixels());
  EXPECT_EQ(out.palette, EntryColours(r.ed.Board()));
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board(), before);
}

}  // namespace
}  // namespace hw::test
