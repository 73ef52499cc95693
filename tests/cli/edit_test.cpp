// `huewright-cli edit` and `stats` as a build script runs them: exit codes, the
// lines on stderr, which files are written, and what --map and stats report.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "../editor/editor_fakes.h"
#include "colour/target.h"
#include "formats/palettes/palette_console.h"
#include "formats/picture_io.h"
#include "formats/pictures/png.h"

namespace hw::test {
namespace {

using Outcome = CliOutcome;

class Edit : public ::testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = static_cast<uint8_t>(i * 7 % 200);
    for (size_t i = 0; i < 256; ++i) {
      palette_[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                     static_cast<uint8_t>(i * 3)};
    }
    WritePicture(in_, 16, 20, pixels_, palette_);
  }
  Outcome Cli(const std::vector<std::string>& args) const { return RunCli(dir_, args); }
  std::string Put(const std::string& name, const std::string& text) const {
    WriteBytes(dir_.File(name), Bytes(text.begin(), text.end()));
    return dir_.File(name);
  }
  std::string Read(const std::string& name) const { return Text(ReadBytes(dir_.File(name))); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir_.File(name)); }

  TempDir dir_;
  std::string in_ = dir_.File("in.pcx");
  std::string out_ = dir_.File("out.pcx");
  Bytes pixels_ = Bytes(16 * 20);
  Palette palette_{};
};

TEST_F(Edit, EveryMalformedStepIsAUsageErrorNamingIt) {
  // Every one malformed, one word each (and the empty step).
  std::vector<std::string> bad = {""};
  std::istringstream words(
      "jump:1:2 sort sort:hue sort:hsv:both:reverse sort:rgb:sideways "
      "sort:usage:reverse:index:x move move:1 move:256:0 move:0:-1 move:1:2:0 "
      "move:1:2:257 move:1:2:3:colours move:1:2:x move:1:2:3:index:4 reverse:5 "
      "reverse:9-3 reverse:0-256 reverse:0-9:all spread:lab:0-9 spread:rgb "
      "spread:hsv:0-9:both set:1:ff0000 set:1:#ff00 set:1:#gg0000 set:256:#000000 "
      "set:1:#0000000 palette: palette:x.gpl:replace palette:x.gpl:protect:3-1 "
      "palette:replace:0-9 palette:x.gpl:replace:0-300 remap: "
      "remap:x.gpl:transparent=256 remap:x.gpl:transparent= compact:x "
      "merge-duplicates:1 swap-banks:1 swap-banks:0:16 swap-banks:0:63:16 "
      "swap-banks:0:1:8 target target:nes target:0-3-3 target:3-3 snap:1 "
      "cycle:10-20 cycle:20-10:100 cycle:0-9:65536 cycle:0-9:-1 "
      "cycle:0-9:100:forward cycle:0-9:100:reverse:1 no-cycles:1");
  for (std::string w; words >> w;) bad.push_back(w);
  for (const std::string& step : bad) {
    SCOPED_TRACE(step);
    const Outcome r = Cli({"edit", in_, out_, "sort:hsv", step});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("edit: step 2 '" + step + "': ", 0), 0u) << r.err;
    EXPECT_FALSE(Exists("out.pcx"));
  }
  // Script steps count on after the argument steps; comments and blank lines are no steps.
  const std::string script = Put("s.txt", "# gather\n\n  move:1:2 \r\n\t# x\nmove:1:2:ten\n");
  const Outcome r = Cli({"edit", "--script", script, in_, out_, "sort:hsv"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "edit: step 3 'move:1:2:ten': unknown WHAT 'ten' (both, index or colour)\n");
}

TEST_F(Edit, BadCommandLinesAreUsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"edit", in_},
           {"edit", in_, "-"},
           {"edit", in_, dir_.File("o.gpl")},
           {"edit", in_, dir_.File("o.tga")},
           {"edit", in_, out_, "--palette-out", dir_.File("p.bmp")},
           {"edit", in_, out_, "--map"},
           {"edit", in_, out_, "--colour", "x"},
           {"edit", in_, out_, "--map", "a", "--map", "b"}}) {
    EXPECT_EQ(Cli(args).code, 2) << args.back();
  }
  EXPECT_FALSE(Exists("out.pcx"));
}

// A failing last step (argument or script) writes nothing: OUT and the map keep
// their old bytes, the palette is not made.
TEST_F(Edit, AFailingStepLeavesEveryOutputAsItWas) {
  const std::string missing = dir_.File("no:such.gpl");
  const std::string script = Put("s.txt", "reverse:0-255\npalette:" + missing + "\n");
  for (const std::vector<std::string>& steps : std::vector<std::vector<std::string>>{
           {"sort:hsv", "move:0:5:3", "palette:" + missing}, {"sort:hsv", "--script", script}}) {
    Put("out.pcx", "old picture");
    Put("map.json", "old map");
    std::vector<std::string> args = {
        "edit", in_, out_, "--map", dir_.File("map.json"), "--palette-out", dir_.File("p.gpl")};
    args.insert(args.end(), steps.begin(), steps.end());
    const Outcome r = Cli(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("edit: step 3 'palette:" + missing + "': cannot load '" + missing, 0), 0u)
        << r.err;
    EXPECT_EQ(Read("out.pcx"), "old picture");
    EXPECT_EQ(Read("map.json"), "old map");
    EXPECT_FALSE(Exists("p.gpl"));
  }
  // Written in order: a map that cannot be written leaves the palette unmade.
  const Outcome r = Cli({"edit", in_, out_, "sort:rgb", "--palette-out", dir_.File("p.gpl"),
                         "--map", dir_.File("no/map.json")});
  EXPECT_EQ(r.code, 1);
  EXPECT_HAS(r.err, dir_.File("no/map.json")) << r.err;
  EXPECT_NE(Read("out.pcx"), "old picture");
  EXPECT_FALSE(Exists("p.gpl"));
}

// Picking the megadrive, snapping, spreading a ramp that stays on its colours and
// exporting md9 words, then reading them back by the format named.
TEST_F(Edit, MegadriveTargetSnapSpreadAndMd9Words) {
  const Outcome r = Cli({"edit", in_, out_, "target:megadrive", "snap", "spread:rgb:0-15"});
  ASSERT_EQ(r.code, 0) << r.err;
  const ColourTarget md = *TargetByName("megadrive");
  int changed = 0, largest = 0;
  for (const RGBTriple& c : palette_) {
    const RGBTriple s = SnapColour(md, c);
    changed += s != c;
    largest = std::max({largest, std::abs(c.R - s.R), std::abs(c.G - s.G), std::abs(c.B - s.B)});
  }
  EXPECT_HAS(r.err, "edit: step 2 'snap': Snap All: " + std::to_string(changed) +
                        " entries changed, the largest change of a channel " +
                        std::to_string(largest) + "\n");
  auto out = LoadAnyPaletteFile(out_);
  ASSERT_TRUE(out);
  for (const BoardEntry& e : out->entries) EXPECT_TRUE(OnTarget(md, e.rgb));

  const std::string words = dir_.File("pal.md9");
  Outcome c = Cli({"convert", "--format", "md9", out_, words});
  EXPECT_EQ(std::tuple(c.code, c.err), std::tuple(0, ""));
  const Bytes b = ReadBytes(words);
  ASSERT_EQ(b.size(), 512u);  // the words themselves: the console palette tests
  c = Cli({"convert", "--format", "md9", words, dir_.File("back.gpl")});
  ASSERT_EQ(c.code, 0) << c.err;
  EXPECT_EQ(LoadAnyPaletteFile(dir_.File("back.gpl"))->entries, out->entries);
  // From the unsnapped picture the write snaps and says how many it changed.
  c = Cli({"convert", in_, dir_.File("raw.md9"), "--format", "md9"});
  EXPECT_EQ(std::tuple(c.code, c.err),
            std::tuple(0, "warning: '" + dir_.File("raw.md9") + "': " + std::to_string(changed) +
                              " entries of 256 changed to the nearest colours of the md9 "
                              "format\n"));
  EXPECT_EQ(Cli({"convert", "--format", "nes", in_, words}).code, 2);
  EXPECT_EQ(Cli({"convert", "--format", "md9", "--palette-strip", in_, dir_.File("s.png")}).code,
            2);
  c = Cli({"convert", "--format", "vga6", in_, dir_.File("x.gpl")});  // IN is no vga6 file
  EXPECT_EQ(c.code, 1);
  EXPECT_HAS(c.err, "in.pcx");
}

// The map sends IN's indices to OUT's; its entries are OUT's palette, and so is
// the palette file. OUT may be IN itself.
TEST_F(Edit, TheMapTakesInsIndicesToOuts) {
  const std::string gpl = Put("four.gpl", "GIMP Palette\n1 2 3\n4 5 6\n7 8 9\n10 11 12\n");
  const Outcome r = Cli({"edit", in_, in_, "sort:hsv", "move:3:200:40:index",
                         "reverse:10-90:colour", "--map", dir_.File("map.json"),
                         "sort:usage:reverse", "move:250:0:10", "palette:" + gpl + ":replace:20-30",
                         "set:5:#A0b0C0", "--palette-out", dir_.File("p.hex")});
  ASSERT_EQ(r.code, 0) << r.err;
  // The clipped run is said once, and done.
  EXPECT_EQ(r.err,
            "warning: edit: step 5 'move:250:0:10': Moved 6 of 10: the run reached the end of the "
            "board.\n");
  const std::string json = Read("map.json");
  const std::regex shape(
      R"(\{"map": \[(\d+(, )?){256}\], "entries": \[("#[0-9a-f]{8}"(, )?){256}\]\}\n)");
  ASSERT_TRUE(std::regex_match(json, shape)) << json;
  std::vector<int> map;
  std::vector<std::string> entries;
  const std::regex number(R"(\d+)"), entry(R"(#[0-9a-f]{8})");
  const size_t split = json.find("entries");
  const std::string map_part = json.substr(0, split), entry_part = json.substr(split);
  for (std::sregex_iterator i(map_part.begin(), map_part.end(), number), e; i != e; ++i)
    map.push_back(std::stoi(i->str()));
  for (std::sregex_iterator i(entry_part.begin(), entry_part.end(), entry), e; i != e; ++i)
    entries.push_back(i->str());
  Result<DecodedPicture> out = LoadPictureFile(in_);
  ASSERT_TRUE(out.ok());
  for (size_t k = 0; k < pixels_.size(); ++k) ASSERT_EQ(out->pixels[k], map[pixels_[k]]) << k;
  std::string hex;
  for (size_t i = 0; i < 256; ++i) {
    char want[10], line[8];
    const RGBTriple& c = out->entries[i].rgb;
    std::snprintf(want, sizeof want, "#%02x%02x%02xff", c.R, c.G, c.B);
    EXPECT_EQ(entries[i], want);
    std::snprintf(line, sizeof line, "%02x%02x%02x", c.R, c.G, c.B);
    hex += std::string(line) + "\n";
  }
  EXPECT_EQ(entries[5], "#a0b0c0ff");
  EXPECT_EQ(entries[20], "#010203ff");
  EXPECT_EQ(Read("p.hex"), hex);
}

// Usage, duplicates (equal colour and alpha) and the totals, on a PNG the edit
// made with a half transparent entry; the same edit into PCX warns of the alpha.
TEST_F(Edit, StatsCountsUsageAndFirstDuplicates) {
  const std::vector<std::string> steps = {"set:0:#000000", "set:9:#000000", "set:10:#000000",
                                          "set:11:#00000080"};
  std::vector<std::string> args = {"edit", in_, dir_.File("a.png")};
  args.insert(args.end(), steps.begin(), steps.end());
  ASSERT_EQ(Cli(args).code, 0);
  const Outcome run = Cli({"stats", dir_.File("a.png")});
  ASSERT_EQ(run.code, 0);
  const std::string stats = Text(run.out);
  UsageCounts usage{};
  for (uint8_t p : pixels_) ++usage[p];
  const auto entry = [&](int i, const char* colour, int alpha, const char* duplicate_of) {
    return "{\"index\": " + std::to_string(i) + ", \"colour\": \"" + colour +
           "\", \"alpha\": " + std::to_string(alpha) +
           ", \"usage\": " + std::to_string(usage[static_cast<size_t>(i)]) +
           ", \"duplicate_of\": " + duplicate_of + "}";
  };
  for (const std::string& want :
       {entry(0, "#000000", 255, "null"), entry(9, "#000000", 255, "0"),
        entry(10, "#000000", 255, "0"), entry(11, "#000000", 128, "null"),
        entry(199, "#c73855", 255, "null"), entry(255, "#ff00fd", 255, "null"),
        std::string("], \"used\": 200, \"unused\": 56, \"duplicates\": 2}\n")}) {
    EXPECT_HAS(stats, want) << want << "\n" << stats;
  }
  EXPECT_EQ(Cli({"stats", Put("p.gpl", "GIMP Palette\n1 2 3\n")}).code, 1);

  args[2] = out_;
  const Outcome r = Cli(args);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err.rfind("warning: '" + out_ + "': ", 0), 0u) << r.err;
}

// A bank exchange keeps every pixel's colour and moves the indices of the two banks
// by the distance between them, the rest staying; banks of 16 and of 4. A bank
// saved after it (a file name holding colons, a console format by its extension)
// holds the exchanged entries.
TEST_F(Edit, SwapBanksKeepsTheLookAndMovesIndicesByTheBankDistance) {
  const std::string bank = dir_.File("a:b.md9");
  for (const auto& [step, a, b, size] :
       {std::tuple("swap-banks:1:11", 1, 11, 16), std::tuple("swap-banks:40:2:4", 40, 2, 4)}) {
    SCOPED_TRACE(step);
    const std::string save =
        "save-bank:" + std::to_string(b) + ":" + bank + ":" + std::to_string(size);
    ASSERT_EQ(Cli({"edit", in_, out_, step, save}).code, 0);
    Result<DecodedPicture> out = LoadPictureFile(out_);
    ASSERT_TRUE(out.ok());
    for (size_t k = 0; k < pixels_.size(); ++k) {
      const int was = pixels_[k], bank = was / size;
      const int moved = bank == a ? was + (b - a) * size : bank == b ? was - (b - a) * size : was;
      ASSERT_EQ(out->pixels[k], moved) << k;
      ASSERT_EQ(out->entries[out->pixels[k]].rgb, palette_[size_t(was)]) << k;
    }
    auto saved = LoadPaletteFileAs(bank, PaletteFormat::Md9);
    ASSERT_TRUE(saved) << saved.error().Text();
    ASSERT_EQ(saved->count, size);
    for (int k = 0; k < size; ++k) {
      EXPECT_EQ(saved->entries[size_t(k)].rgb, SnapColour(ConsoleFormatTarget(PaletteFormat::Md9),
                                                          palette_[size_t(a * size + k)]));
    }
  }
}

// Nothing is written unless every step succeeded. Each bank file holds the bank
// as its step saw it; the files go out in the order OUT, --map, --palette-out,
// banks, and a write that fails leaves it and every later file as it was.
TEST_F(Edit, OutputsAreWrittenOnlyOnceEveryStepSucceeded) {
  const std::string a = dir_.File("a.gpl"), b = dir_.File("b.gpl"), map = dir_.File("map.json");
  const std::string older = "GIMP Palette\n1 2 3\n", old = Put("old.gpl", older);
  Outcome r = Cli({"edit", in_, out_, "save-bank:0:" + a, "save-bank:1:" + old, "--map", map,
                   "palette:" + dir_.File("missing.gpl")});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(std::tuple(Exists("out.pcx"), Exists("a.gpl"), Exists("map.json"), Read("old.gpl")),
            std::tuple(false, false, false, older));

  r = Cli({"edit", in_, out_, "save-bank:0:" + a, "set:0:#fffefd", "save-bank:0:" + b});
  ASSERT_EQ(r.code, 0) << r.err;
  auto at_first = LoadPaletteFileAs(a, PaletteFormat::Gpl);
  auto at_last = LoadPaletteFileAs(b, PaletteFormat::Gpl);
  ASSERT_TRUE(at_first && at_last);
  ASSERT_EQ(std::tuple(at_first->count, at_last->count), std::tuple(16, 16));
  EXPECT_EQ(at_first->entries[0].rgb, palette_[0]);
  EXPECT_EQ(at_last->entries[0].rgb, (RGBTriple{0xff, 0xfe, 0xfd}));
  for (size_t k = 1; k < 16; ++k) {
    EXPECT_EQ(at_first->entries[k].rgb, palette_[k]) << k;
    EXPECT_EQ(at_last->entries[k].rgb, palette_[k]) << k;
  }

  // --map cannot be written (a folder stands there): OUT is, the rest are not.
  const std::string out2 = dir_.File("out2.png"), folder = dir_.File("map-folder");
  std::filesystem::create_directory(folder);
  r = Cli({"edit", in_, out2, "save-bank:2:" + old, "--map", folder, "--palette-out",
           dir_.File("all.gpl")});
  EXPECT_EQ(r.code, 1);
  EXPECT_HAS(r.err, "'" + folder + "'") << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(std::tuple(Exists("out2.png"), Exists("all.gpl"), Read("old.gpl")),
            std::tuple(true, false, older));
}

// Cycle ranges from the steps into a PNG, listed by info in stored order, kept by
// a PNG to PNG convert and by later edits; PCX cannot hold them and says so.
TEST_F(Edit, CycleStepsAreWrittenListedConvertedAndCleared) {
  // b is an ILBM: its CRNG chunks keep the ranges as a PNG's crNg does.
  const std::string a = dir_.File("a.png"), b = dir_.File("b.lbm"), c = dir_.File("c.pcx");
  ASSERT_EQ(Cli({"edit", in_, a, "cycle:196-203:16384:reverse", "cycle:10-20:0"}).code, 0);
  const std::string listed =
      "\"cycles\":[{\"low\":196,\"high\":203,\"rate\":16384,\"reverse\":true,"
      "\"active\":true},{\"low\":10,\"high\":20,\"rate\":0,\"reverse\":false,"
      "\"active\":true}]}\n";
  EXPECT_HAS(Text(Cli({"info", a}).out), listed);
  ASSERT_EQ(Cli({"convert", a, b}).code, 0);
  EXPECT_HAS(Text(Cli({"info", b}).out), listed);
  // A move carrying the first range, then one more range: stored order kept.
  ASSERT_EQ(Cli({"edit", b, b, "move:100:196:8", "cycle:0-3:1"}).code, 0);
  const std::string moved = Text(Cli({"info", b}).out);
  EXPECT_HAS(moved, "[{\"low\":100,\"high\":107,");
  EXPECT_HAS(moved, "{\"low\":0,\"high\":3,\"rate\":1,");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", a, c}, {"edit", a, c, "sort:rgb"}}) {
    const Outcome r = Cli(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "warning: '" + c + "': 2 cycle ranges: a PCX file has no colour cycling\n");
  }
  ASSERT_EQ(Cli({"edit", a, b, "no-cycles"}).code, 0);
  EXPECT_HAS(Text(Cli({"info", b}).out), "\"cycles\":[]}");
  EXPECT_EQ(Cli({"edit", b, c, "no-cycles"}).err, "");
}

// Ranges the picture cannot take are reported by info, convert and edit on stderr,
// naming the file, the output written all the same: an ILBM with more than a
// picture holds keeps the first 16; a crNg chunk that cannot be used is left aside
// (and the window's status line says the same).
TEST_F(Edit, RangesLeftAsideAreReported) {
  CycleRanges one;
  one.push_back({2, 9, 16384, false, true});
  Bytes entries_px(12, 1);
  BoardEntries e{};
  e[1].rgb = {9, 9, 9};
  const Bytes good = *EncodeIndexedPng(4, 3, entries_px, e, nullptr, one);
  const auto at = std::search(good.begin(), good.end(), std::begin("crNg"), std::end("crNg") - 1);
  ASSERT_NE(at, good.end());
  Bytes bad = good;
  bad[size_t(at - good.begin()) + 4 + 6] ^= 1;  // the first byte of its CRC
  const std::string in = dir_.File("bad-crc.png"), out = dir_.File("out.png");
  WriteBytes(in, bad);
  const std::string many = HW_SOURCE_DIR "/fuzz/corpus_ilbm/valid-twenty-ranges.lbm";
  for (const auto& [file, to, warning] :
       {std::tuple(many, dir_.File("out.lbm"),
                   "20 cycle ranges in the file: the first 16 are kept"),
        std::tuple(in, out, "crNg chunk left aside: bad CRC")}) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", file},
                                                 {"convert", file, to},
                                                 {"edit", file, to, "set:7:#102030"}}) {
      const Outcome r = Cli(args);
      EXPECT_EQ(std::tuple(r.code, r.err),
                std::tuple(0, "warning: '" + file + "': " + warning + "\n"))
          << args[0];
    }
  }
  EXPECT_EQ(Cli({"info", out}).err, "");  // written without ranges, and nothing broken
  Editor ed(EditorServices{});
  ed.Start();
  ASSERT_TRUE(ed.LoadPicture(in));
  EXPECT_EQ(std::tuple(ed.Message(), ed.Cycles().size()),
            std::tuple(std::string("'bad-crc.png': crNg chunk left aside: bad CRC"), size_t{0}));
}

}  // namespace
}  // namespace hw::test
