// The editor through its verbs and dialog layer, with fake dialogs (random use is the
// window tests' property test): steps, cut runs, dialogs, loads, saves, palettes, and
// running out of memory part way.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <random>

#include "base/faults.h"
#include "editor_fakes.h"
#include "formats/picture_io.h"
#include "formats/pictures/png.h"

namespace hw::test {
namespace {

// A 37 x 23 picture with every index present and uneven usage, so the usage sort
// has work and ties.
struct Loaded : Rig {
  Bytes pixels = Bytes(37 * 23);
  Palette palette = DistinctPalette(5);
  TempDir dir;
  std::string path = dir.File("in.pcx");
  Loaded() {
    std::mt19937 gen(5);
    for (size_t k = 0; k < pixels.size(); ++k)
      pixels[k] = static_cast<uint8_t>(k < 256 ? k : gen() % (1 + gen() % 256));
    WritePicture(path, 37, 23, pixels, palette);
    Load(path);
  }
  void LoadPalette(const std::string& file, PaletteMerge merge = PaletteMerge::All) {
    files.opens.push_back(file);
    commands.LoadPalette(merge);
  }
};

// Commands that change nothing are not steps; a colour edit (which keeps the marks)
// and a sort are one step each, undone exactly; a new step drops what could be redone.
TEST(History, OnlyCommandsThatChangeSomethingAreSteps) {
  Loaded r;
  for (int count : {0, -3, 99999}) r.Drop(20, 10, count);  // nothing, or refused
  r.Drop(20, 20, 3);                                       // on itself: a selection
  r.ed.Select(7);
  r.ed.Select(7);
  r.ed.Select(300);  // never a position: ignored
  r.ed.ReverseRange(r.what);
  r.ed.Spread(SpreadKind::Rgb);
  r.Boxes(false, false);
  r.Drop(20, 10, 4);  // only the marks move
  r.ed.Sort(SortKey::Usage, false, r.what);
  EXPECT_EQ(std::tuple(r.ed.Board().prev, r.ed.Board().cur, r.ed.CanUndo()),
            std::tuple(10, 20, false));
  r.Boxes(true, true);
  r.ed.Sort(SortKey::Usage, false, r.what);
  const BoardState sorted = r.ed.Board();
  r.ed.Sort(SortKey::Usage, false, r.what);  // sorted already
  r.ed.EditColour(4, {1, 2, 3});
  EXPECT_EQ(std::tuple(r.ed.Board().entries[4].rgb, r.ed.Board().prev, r.ed.Board().cur),
            std::tuple(RGBTriple{1, 2, 3}, int16_t{10}, int16_t{20}));
  EXPECT_EQ(std::tuple(r.ed.UndoName(), r.ed.RedoName()), std::tuple("Edit Colour", ""));
  r.ed.Undo();
  EXPECT_EQ(r.ed.Board(), sorted);
  EXPECT_EQ(std::tuple(r.ed.UndoName(), r.ed.RedoName()), std::tuple("Sort", "Edit Colour"));
  r.ed.Undo();
  EXPECT_EQ(std::tuple(r.ed.Board().map, r.ed.CanUndo(), r.ed.UndoName()),
            std::tuple(IdentityMap(), false, ""));
  r.ed.Redo();
  r.ed.Spread(SpreadKind::Rgb);
  EXPECT_EQ(std::tuple(r.ed.CanRedo(), r.ed.UndoName()), std::tuple(false, "Spread RGB"));
}

// The history stays within its bound of memory, keeping at least the last 1000
// steps: with a target whose name takes 80 KB a step, steps beyond a thousand go
// from the oldest end, and the status line says so once.
TEST(History, ABoardOfLongNamesKeepsTheLastThousandStepsAndSaysSoOnce) {
  Loaded r;
  ColourTarget target;
  target.name = std::string(40000, 'x');
  r.ed.SetTarget(target);
  int notices = 0;
  for (int k = 0; k < 1001; ++k) {
    r.ed.Sort(k % 2 ? SortKey::Usage : SortKey::Hue, false, r.what);
    notices += r.ed.StatusLine().find(kHistoryShortened) != std::string::npos;
  }
  EXPECT_EQ(notices, 1);
  int undone = 0;
  for (; r.ed.CanUndo(); ++undone) r.ed.Undo();
  EXPECT_EQ(undone, 1000);
  EXPECT_EQ(r.ed.Board().target.name, target.name);  // the target's step went first
}

TEST(Moves, TheFullCountIsTakenAndARunCutAtTheEndSaysSo) {
  Loaded r;
  const BoardEntries start = r.ed.Board().entries;
  r.Drop(12, 10, 2);
  EXPECT_EQ(r.ed.Message(), "");
  r.ed.Undo();
  r.Drop(252, 0, 8);  // pairs 256..259 leave the board
  EXPECT_EQ(r.ed.Message(), "Moved 4 of 8: the run reached the end of the board.");
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(std::tie(r.ed.Board().entries[252 + k % 4], r.ed.Board().entries[k]),
              std::tie(start[k % 4], start[k == 4 ? 4 : 252 + k]));
  }
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
  r.Boxes(true, false);
  r.Drop(2, 1);  // as-loaded 1 now shows position 2's entry
  const auto before = Snapshot(r.ed);
  r.commands.EditColour(2);  // cancelled
  EXPECT_TRUE(Snapshot(r.ed) == before);
  r.colours.answer = PackRGB({10, 20, 30}) | kPaletteRef;
  r.commands.EditColour(2);
  r.commands.EditColour(5);
  EXPECT_EQ(r.colours.initials,
            (std::vector<PackedColour>{PackRGB(r.palette[2]), PackRGB(r.palette[2]),
                                       PackRGB(r.palette[5])}));
  EXPECT_EQ(std::tuple(r.ed.SwatchShownColour(2), Realized(r.ed, Surface::PictureBox)[2]),
            std::tuple(RGBTriple{10, 20, 30}, RGBTriple{10, 20, 30}));
}

// Right after a load with no helper thread (so nothing prepared the remap
// buffer), each command, Undo and Redo meets every allocation it makes failing in
// turn: a failure leaves board, pixels, window and history exactly as they were.
TEST(OutOfMemory, EveryCommandUndoAndRedoChangesNothingUntilAllItNeedsIsThere) {
  using Step = std::function<void(Loaded&)>;
  const Step nothing = [](Loaded&) {};
  const Step drop = [](Loaded& r) { r.Drop(12, 10, 5); };
  const Step marks = [](Loaded& r) { r.ed.SetMarks(3, 40); };
  const Step undone = [](Loaded& r) { r.Drop(12, 10, 5), r.ed.Undo(); };
  const std::tuple<const char*, Step, Step> cases[] = {
      {"drop", nothing, drop},
      {"drop, colours only", [](Loaded& r) { r.Boxes(false, true); }, drop},
      {"reverse", marks, [](Loaded& r) { r.ed.ReverseRange(r.what); }},
      {"sort", nothing, [](Loaded& r) { r.ed.Sort(SortKey::Hue, false, r.what); }},
      {"spread", marks, [](Loaded& r) { r.ed.Spread(SpreadKind::Hsv); }},
      {"edit colour", nothing,
       [](Loaded& r) {
         r.ed.EditColour(4, {1, 2, 3});
       }},
      {"undo", drop, [](Loaded& r) { r.ed.Undo(); }},
      {"redo", undone, [](Loaded& r) { r.ed.Redo(); }},
      {"drop after an undo", undone, drop}};
  for (const auto& [name, before_step, command] : cases) {
    faults::FailThreadStartsAfter(0);
    Loaded r;
    faults::Reset();
    before_step(r);
    const auto before = Snapshot(r.ed);
    const auto history = std::tuple(r.ed.CanUndo(), r.ed.CanRedo(), r.ed.Modified());
    int failures = 0;
    for (long n = 0; n < 10; ++n, ++failures) {
      faults::FailAllocationsAfter(n);
      bool failed = false;
      try {
        command(r);
      } catch (const std::bad_alloc&) {
        failed = true;
      }
      faults::Reset();
      if (!failed) break;
      EXPECT_TRUE(Snapshot(r.ed) == before) << name << ", allocation " << n;
      EXPECT_EQ(std::tuple(r.ed.CanUndo(), r.ed.CanRedo(), r.ed.Modified()), history) << name;
    }
    // Whatever failed before, the command that got through is whole and undoable.
    EXPECT_LT(failures, 10) << name;
    EXPECT_EQ(r.ed.Pixels(), Mapped(r.ed)) << name;
    EXPECT_EQ(Realized(r.ed, Surface::PictureBox), EntryColours(r.ed.Board())) << name;
    if (failures > 0 && r.ed.CanUndo()) {
      r.ed.Undo();
      EXPECT_TRUE(Snapshot(r.ed) == before) << name;
    }
    EXPECT_TRUE(std::string(name) != "drop" || failures == 2);  // the remap buffer, the step
  }
}

// A load shows the picture from a fresh history; failed and cancelled loads, and
// running out of memory at any allocation of a load, change nothing and say why.
TEST(PictureLoad, ShowsThePictureOrChangesNothing) {
  Loaded r;
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.Pixels(), ShownBoard(r.ed), r.busy.depth),
            std::tuple(r.path, r.pixels, r.palette, 0));
  EXPECT_EQ(r.ed.Usage()[255], std::count(r.pixels.begin(), r.pixels.end(), 255));
  r.Drop(9, 3);
  r.Load(r.path);
  EXPECT_EQ(std::tuple(r.ed.Board().map, r.ed.CanUndo()), std::tuple(IdentityMap(), false));
  r.Drop(9, 3);
  const auto before = Snapshot(r.ed);
  const uint64_t generation = r.ed.display().Generation();
  r.Load(std::nullopt);  // cancelled: silent
  r.LoadPalette("");     // an empty answer is a cancel too
  const Bytes file = ReadBytes(r.path);
  const std::string bad = r.dir.File("bad.pcx"), tiny = r.dir.File("tiny.pcx"),
                    text = r.dir.File("notes.txt"), missing = r.dir.File("missing.pcx");
  WriteBytes(bad, Bytes(file.begin(), file.begin() + 200));  // pixel data ends early
  WriteBytes(tiny, Bytes(767, 1));                           // too short for a palette
  WriteBytes(text, Bytes(2000, 'x'));
  for (const std::string& name : {bad, missing, text}) r.Load(name);
  r.LoadPalette(tiny);
  EXPECT_TRUE(Snapshot(r.ed) == before);
  EXPECT_EQ(std::tuple(r.ed.display().Generation(), r.ed.CanUndo(), r.busy.depth),
            std::tuple(generation, true, 0));
  const std::string named[] = {bad + "'", missing + "'", text + "': not a picture Huewright reads",
                               tiny + "'"};
  ASSERT_EQ(r.errors.messages.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_HAS(r.errors.messages[i], named[i]);
  for (long n = 0; n < 8; ++n) {  // every large allocation of the load in turn fails
    faults::FailAllocationsAfter(n);
    const bool loaded = r.ed.LoadPicture(r.path);
    faults::Reset();
    if (loaded) break;
    EXPECT_TRUE(Snapshot(r.ed) == before) << n;
    EXPECT_HAS(r.errors.messages.back(), "'" + r.path + "': not enough memory");
  }
  EXPECT_EQ(std::tuple(r.errors.messages.size() > 4, r.ed.CanUndo(), r.busy.depth),
            std::tuple(true, false, 0));
}

// A file handed to the program opens as what it holds: a picture as a picture
// (whatever its name), a palette file as the whole palette over the picture shown
// (black past its entries),
// and what is neither, or is missing, with the picture load's own message.
TEST(PictureLoad, AFileGivenToTheProgramOpensAsWhatItHolds) {
  Loaded r;
  const std::string jasc = r.dir.File("ramp.pal"), gimp = r.dir.File("two.gpl"),
                    picture = r.dir.File("picture.pal"), text = r.dir.File("notes"),
                    missing = r.dir.File("missing.pcx");
  WriteBytes(jasc, Bytes{'J', 'A', 'S',  'C',  '-',  'P', 'A',  'L',  '\r', '\n', '0',
                         '1', '0', '0',  '\r', '\n', '2', '\r', '\n', '1',  ' ',  '2',
                         ' ', '3', '\r', '\n', '4',  ' ', '5',  ' ',  '6',  '\r', '\n'});
  const std::string gpl = "GIMP Palette\nName: two\n#\n250 0 0\tred\n 0 250 0\tgreen\n";
  WriteBytes(gimp, Bytes(gpl.begin(), gpl.end()));
  std::filesystem::copy_file(r.path, picture);
  WriteBytes(text, Bytes(100, 'x'));

  ASSERT_TRUE(r.ed.OpenFile(jasc));
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.Pixels()), std::tuple(r.path, r.pixels));
  Palette want{};  // the entries past the file's are black
  want[0] = {1, 2, 3};
  want[1] = {4, 5, 6};
  EXPECT_EQ(ShownBoard(r.ed), want);
  ASSERT_TRUE(r.ed.OpenFile(gimp));
  want[0] = {250, 0, 0};
  want[1] = {0, 250, 0};
  EXPECT_EQ(ShownBoard(r.ed), want);
  ASSERT_TRUE(r.ed.OpenFile(picture));
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), ShownBoard(r.ed)), std::tuple(picture, r.palette));
  EXPECT_FALSE(r.ed.OpenFile(text));
  EXPECT_FALSE(r.ed.OpenFile(missing));
  ASSERT_EQ(r.errors.messages.size(), 2u);
  EXPECT_HAS(r.errors.messages[0], text + "': not a picture Huewright reads");
  EXPECT_HAS(r.errors.messages[1], missing + "'");
  EXPECT_EQ(r.ed.PicturePath(), picture);
}

// After "Save Pic As..." the new file is the picture's file for "Save Pic" and the
// unsaved-changes state, and the old file is left alone; a cancel is silent. With
// no picture nothing is written, and the board still moves.
TEST(PictureSave, SaveAsMovesThePicture) {
  Loaded r;
  const Bytes original = ReadBytes(r.path);
  const std::string copy = r.dir.File("copy.png");
  r.Drop(9, 3);
  r.files.saves = {std::nullopt, copy};
  EXPECT_FALSE(r.commands.SavePicture());
  ASSERT_TRUE(r.commands.SavePicture());
  EXPECT_EQ(std::tuple(r.ed.PicturePath(), r.ed.PictureFileFormat(), r.ed.Modified()),
            std::tuple(copy, PictureFormat::Png, false));
  r.Drop(20, 30);
  ASSERT_TRUE(r.commands.SavePictureToItsFile());
  EXPECT_EQ(std::tuple(r.ed.Modified(), DecodeIndexedPng(ReadBytes(copy))->pixels,
                       ReadBytes(r.path), r.errors.messages.size()),
            std::tuple(false, r.ed.Pixels(), original, 0u));
  Rig empty;
  empty.files.saves.push_back(r.dir.File("blank.pcx"));
  EXPECT_FALSE(empty.commands.SavePicture() || empty.ed.SavePicture(r.dir.File("blank.pcx")));
  EXPECT_TRUE(empty.files.kinds.empty() && !std::filesystem::exists(r.dir.File("blank.pcx")));
  empty.Drop(1, 0);
  EXPECT_EQ(std::tuple(empty.ed.Board().map[0], empty.ed.Pixels().size()), std::tuple(1, 0u));
}

// An indexed PNG with transparency, rearranged, saves as PNG with its look and alpha
// without a question; a save that would lose alpha asks, naming the loss, and a
// cancel writes nothing. "Save Pic" writes the file's own format, whatever its name.
TEST(PictureSave, PngKeepsLookAndTransparencyAndLossesAskFirst) {
  Rig r;
  TempDir dir;
  FakeLossQuestion question;
  r.commands.SetQuestions(&question);
  BoardEntries entries = Opaque(DistinctPalette(9));
  entries[7].A = 0, entries[9].A = 0, entries[30].A = 110;
  Bytes pixels(13 * 7);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k * 37 % 256);
  pixels[0] = 7, pixels[1] = 9, pixels[2] = 30;
  WriteBytes(dir.File("in.pcx"), EncodeIndexedPng(13, 7, pixels, entries).value());
  r.Load(dir.File("in.pcx"));
  r.Drop(200, 3, 17);
  r.ed.Sort(SortKey::Hue, false, r.what);
  r.files.saves = {dir.File("a.png"), dir.File("b.pcx"), dir.File("c.pcx"), dir.File("p.act"),
                   dir.File("p.pal")};
  question.answers = {false, true};
  EXPECT_TRUE(r.commands.SavePicture());   // PNG keeps alpha: no question
  EXPECT_FALSE(r.commands.SavePicture());  // cancelled
  EXPECT_TRUE(r.commands.SavePicture());
  EXPECT_FALSE(r.commands.SavePalette());  // .act keeps entry 7 only
  EXPECT_FALSE(r.commands.SavePalette());
  EXPECT_EQ(
      question.asked,
      (std::vector<std::string>{
          dir.File("b.pcx") + ": the alpha of 3 entries: a PCX file has no transparency",
          dir.File("c.pcx") + ": the alpha of 3 entries: a PCX file has no transparency",
          dir.File("p.act") + ": the alpha of 2 entries: an Adobe colour table holds one "
                              "fully transparent entry and no other alpha",
          dir.File("p.pal") + ": the alpha of 3 entries: a JASC palette has no transparency"}));
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.png", "c.pcx", "in.pcx"}));
  auto png = DecodeIndexedPng(ReadBytes(dir.File("a.png")));
  auto pcx = DecodePcx(ReadBytes(dir.File("c.pcx")));
  ASSERT_TRUE(png && pcx);
  for (size_t k = 0; k < pixels.size(); ++k) {
    ASSERT_EQ(png->entries[png->pixels[k]], entries[pixels[k]]) << k;
    ASSERT_EQ(pcx->entries[pcx->pixels[k]].rgb, entries[pixels[k]].rgb) << k;
  }
  r.Load(dir.File("in.pcx"));
  r.Drop(1, 2);
  ASSERT_TRUE(r.commands.SavePictureToItsFile());  // a PNG, whatever its name: no question
  EXPECT_EQ(std::tuple(HasPngSignature(ReadBytes(dir.File("in.pcx"))), r.ed.Modified(),
                       question.asked.size(), r.errors.messages.size()),
            std::tuple(true, false, 4u, 0u));
}

// Every palette format saves the board, as its extension says, and loads back, never
// touching the map; a short palette fills the range from its low end, or positions
// from 0 outside it, and says how many entries went where. A load is one step.
TEST(PaletteFiles, EveryKindSavesAndLoadsBackWholeAndMerged) {
  Loaded r;
  r.Drop(15, 14);
  const BoardState board = r.ed.Board();
  const auto recolour = [&r] {
    for (int i = 0; i < 256; ++i) r.ed.EditColour(i, RGBTriple{1, 2, 3});
  };
  // Saved as its extension says (every format: the settings tests) and loaded back whole.
  r.files.saves.push_back(r.dir.File("p.act"));
  ASSERT_TRUE(r.commands.SavePalette());
  recolour();
  r.LoadPalette(r.dir.File("p.act"), PaletteMerge::All);
  EXPECT_EQ(std::tuple(r.ed.Board().entries, r.ed.Board().map, r.ed.Message()),
            std::tuple(board.entries, board.map, ""));
  const std::string hex = r.dir.File("short.hex");
  const std::string three = "ff0000\n00ff00\n0000ff\n";
  WriteBytes(hex, Bytes(three.begin(), three.end()));
  r.LoadPalette(hex);
  EXPECT_EQ(std::tuple(r.ed.Board().entries[1].rgb, r.ed.Board().entries[3].rgb, r.ed.Message()),
            std::tuple(RGBTriple{0, 255, 0}, RGBTriple{0, 0, 0},
                       "The palette had 3 entries; positions 3 to 255 took black."));
  recolour();
  r.ed.SetMarks(47, 32);
  r.LoadPalette(hex, PaletteMerge::ReplaceRange);
  EXPECT_EQ(r.ed.Message(), "Merged 3 entries into positions 32 to 47");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[31].rgb, r.ed.Board().entries[34].rgb,
                       r.ed.Board().entries[35].rgb),
            std::tuple(RGBTriple{1, 2, 3}, RGBTriple{0, 0, 255}, RGBTriple{1, 2, 3}));
  r.ed.SetMarks(1, 40);
  r.LoadPalette(hex, PaletteMerge::ProtectRange);
  EXPECT_EQ(r.ed.Message(), "Merged 1 entry outside positions 1 to 40");
  EXPECT_EQ(std::tuple(r.ed.Board().entries[0].rgb, r.ed.Board().entries[1].rgb),
            std::tuple(RGBTriple{255, 0, 0}, RGBTriple{1, 2, 3}));
  r.ed.Undo();  // one step
  EXPECT_EQ(r.ed.Board().entries[0].rgb, (RGBTriple{1, 2, 3}));
  EXPECT_EQ(std::tuple(r.ed.Board().map, r.ed.Pixels()), std::tuple(board.map, Mapped(r.ed)));
  EXPECT_TRUE(r.errors.messages.empty());
}

// Names from a palette file go with their entries through moves, sorts, Compact and
// Undo, are written back to a GIMP palette, and a save that drops them asks first;
// a picture load forgets them.
TEST(PaletteFiles, EntryNamesTravelWithTheirEntries) {
  Loaded r;
  const std::string gpl = r.dir.File("named.gpl");
  std::string text = "GIMP Palette\nName: t\n#\n";
  for (int k = 0; k < 256; ++k) {
    text += std::to_string(k) + " " + std::to_string(255 - k) + " " + std::to_string(k % 7) +
            (k % 5 == 0 ? "\tname " + std::to_string(k) : std::string()) + "\n";
  }
  WriteBytes(gpl, Bytes(text.begin(), text.end()));
  r.LoadPalette(gpl);
  // Every named position holds the entry that was given that name.
  const auto names_follow_entries = [&r] {
    const BoardState& b = r.ed.Board();
    int named = 0;
    for (size_t p = 0; p < 256; ++p) {
      const std::string& n = b.names.At(p);
      if (n.empty()) continue;
      ++named;
      const int k = std::stoi(n.substr(5));
      if (b.entries[p].rgb != RGBTriple{uint8_t(k), uint8_t(255 - k), uint8_t(k % 7)}) return -1;
    }
    return named;
  };
  ASSERT_EQ(names_follow_entries(), 52);
  r.Drop(3, 10, 4);  // a run with both boxes
  r.Boxes(false, true);
  r.Drop(200, 20, 8);  // colours only
  r.ed.SetMarks(0, 255);
  r.ed.Sort(SortKey::Usage, false, {true, true});
  r.ed.Compact();
  EXPECT_EQ(names_follow_entries(), 52);
  EXPECT_EQ(r.ed.Board().names.At(0).empty(),
            r.ed.Board().entries[0].rgb != (RGBTriple{0, 255, 0}));

  const BoardNames before = r.ed.Board().names;
  r.ed.EditColour(7, RGBTriple{9, 9, 9});
  r.ed.Undo();
  r.ed.Undo();
  r.ed.Redo();
  EXPECT_EQ(r.ed.Board().names, before);

  FakeLossQuestion question;
  question.answers = {false};
  r.commands.SetQuestions(&question);
  r.files.saves = {r.dir.File("out.gpl"), r.dir.File("out.act")};
  ASSERT_TRUE(r.commands.SavePalette());
  EXPECT_FALSE(r.commands.SavePalette());  // the names would go: asked, and declined
  EXPECT_EQ(question.asked, std::vector<std::string>{
                                r.dir.File("out.act") +
                                ": the names of 52 entries: an Adobe colour table has no names"});
  const auto back = LoadAnyPaletteFile(r.dir.File("out.gpl"));
  ASSERT_TRUE(back && back->names);
  EXPECT_EQ(BoardNames(&*back->names), r.ed.Board().names);

  r.Load(r.path);
  EXPECT_TRUE(r.ed.Board().names.None());
}

// A target is a step of its own; colour edits keep to it; Snap All is one step that
// Undo takes back whole; a console format chosen in the dialog is written snapped
// and read back by that choice.
TEST(Target, EditsKeepToItAndSnapAllIsOneStep) {
  Loaded r;
  const BoardState loaded = r.ed.Board();
  r.ed.SetTarget(*TargetByName("megadrive"));
  EXPECT_TRUE(r.ed.Message().starts_with("Target hardware: Mega Drive (3-3-3); "))
      << r.ed.Message();
  r.ed.EditColour(3, {20, 100, 200});
  EXPECT_EQ(r.ed.Board().entries[3].rgb, (RGBTriple{36, 109, 182}));

  r.files.format = PaletteFormat::Md9;
  r.files.saves.push_back(r.dir.File("board.bin"));
  ASSERT_TRUE(r.commands.SavePalette());
  int off = 0;
  for (const BoardEntry& e : r.ed.Board().entries) off += !OnTarget(r.ed.Board().target, e.rgb);
  EXPECT_EQ(r.ed.Message(), "Saved 'board.bin' (md9, 256 entries); " + std::to_string(off) +
                                " entries changed to its colours");
  EXPECT_EQ(ReadBytes(r.dir.File("board.bin")).size(), 512u);

  const BoardState before = r.ed.Board();
  r.ed.SnapAll();
  const BoardState snapped = r.ed.Board();
  // What it changed, and its report, against the model: the board's and the CLI's tests.
  for (const BoardEntry& e : snapped.entries) EXPECT_TRUE(OnTarget(snapped.target, e.rgb));
  EXPECT_TRUE(r.ed.Message().starts_with("Snap All: ")) << r.ed.Message();
  r.ed.EditColour(3, {0, 0, 0});
  r.LoadPalette(r.dir.File("board.bin"));  // read as md9 words: the snapped board
  EXPECT_EQ(r.ed.Board().entries, snapped.entries);
  r.ed.Undo();
  r.ed.Undo();
  r.ed.Undo();  // Snap All, whole
  EXPECT_EQ(r.ed.Board(), before);
  r.ed.Undo();
  r.ed.Undo();  // the edit, then the target
  EXPECT_EQ(r.ed.Board(), loaded);
  EXPECT_TRUE(r.errors.messages.empty()) << r.errors.messages.front();
}

}  // namespace
}  // namespace hw::test
