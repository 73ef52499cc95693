// Runs the built huewright-cli and checks each of its promises once: the bytes it
// prints (hashes against sha256sum, pictures against Pillow and ImageMagick), exit
// codes 0, 1 and 2, one-line messages, warnings, outputs kept on failure, memory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "../common/test_util.h"
#include "formats/palettes/palette_files.h"
#include "formats/picture_io.h"
#include "formats/pictures/png.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

// Whether this build (and so the CLI beside it) runs under AddressSanitizer.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }
using Outcome = CliOutcome;

// A PCX file of 5 x 3 pixels in rows of 6 bytes (filler 0xEE), indices both sides of
// the 0xC0 run-marker boundary, header bytes a rewrite must carry through; or, with
// `runs`, 16000 x 10000 pixels (160 MB) of runs in a 5 MB file.
struct Sample {
  Bytes pixels, palette, file;
  explicit Sample(bool runs = false) {
    for (int i = 0; i < 15; ++i) pixels.push_back(uint8_t((i % 5 * 61 + i / 5 * 97) % 256));
    for (int i = 0; i < 768; ++i) palette.push_back(uint8_t(i * 7 + i / 256));
    PcxHeader hd = runs ? MakeHeader(16000, 10000) : MakeHeader(5, 3, 6);
    hd.HDpi = hd.VDpi = 72;
    hd.ColorMap.fill({0x5A, 0x5A, 0x5A});  // replaced on rewrite
    for (size_t i = 0; i < hd.Filler.size(); ++i) hd.Filler[i] = uint8_t(74 + i);
    const auto head = HeaderBytes(hd);
    file.assign(head.begin(), head.end());
    Bytes row;
    for (int left = 16000; runs && left > 0; left -= 63)
      row.insert(row.end(), {uint8_t(0xC0 | std::min(left, 63)), uint8_t(left % 200)});
    for (int y = 0; runs && y < 10000; ++y) file.insert(file.end(), row.begin(), row.end());
    for (int k = 0; !runs && k < 18; ++k) {
      const uint8_t v = k % 6 < 5 ? pixels[k / 6 * 5 + k % 6] : 0xEE;
      if (v >= 0xC0) file.push_back(0xC1);
      file.push_back(v);
    }
    file.push_back(12);
    file.insert(file.end(), palette.begin(), palette.end());
  }
  BoardEntries Entries() const {
    BoardEntries e{};
    for (size_t i = 0; i < 256; ++i)
      e[i].rgb = {palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
    return e;
  }
};

class Cli : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const Bytes& bytes) const {
    WriteBytes(dir_.File(name), bytes);
    return dir_.File(name);
  }
  Outcome Cmd(const std::vector<std::string>& args, const std::string& prefix = "") const {
    return RunCli(dir_, args, prefix);
  }
  std::string Sha256(const Bytes& bytes) const {
    std::string out;
    RunShell("sha256sum " + ShellQuote(Put("hash-input.bin", bytes)), &out);
    return out.substr(0, 64);
  }
  // The end of info's line for the sample in any format.
  std::string Hashes() const {
    return ",\"pixels_sha256\":\"" + Sha256(s_.pixels) + "\",\"palette_sha256\":\"" +
           Sha256(s_.palette) + "\",\"frames\":1,\"cycles\":[]}\n";
  }
  // The pixel indices, then 768 palette bytes, as Pillow reads `file`.
  Bytes Pillow(const std::string& file) const {
    std::string out;
    EXPECT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]); im.load(); assert im.mode == \"P\"\n"
                       "p = (im.getpalette() + [0] * 768)[:768]\n"
                       "open(sys.argv[2], \"wb\").write(im.tobytes() + bytes(p))' " +
                           ShellQuote(file) + " " + ShellQuote(dir_.File("pillow.bin")),
                       &out),
              0)
        << "Pillow (python3-pil) must read " << file << ": " << out;
    return ReadBytes(dir_.File("pillow.bin"));
  }

  TempDir dir_;
  Sample s_;
};

// info, indices and palette of a PCX and of PNGs of 8 and 4 bits (one byte an index
// either way), and of ImageMagick's PNG8, whose indices and palette are Pillow's.
TEST_F(Cli, InfoIndicesAndPaletteOfPcxAndPng) {
  const std::string pcx = Put("odd.pcx", s_.file), png = dir_.File("odd.png");
  const std::string four = dir_.File("four.png"), magick = dir_.File("magick.png");
  const std::string hashes = Hashes();
  const Outcome info = Cmd({"info", pcx});
  EXPECT_EQ(std::tuple(info.code, info.err, Text(info.out)),
            std::tuple(0, "",
                       "{\"format\":\"pcx\",\"width\":5,\"height\":3,\"bits_per_pixel\":8,"
                       "\"planes\":1,\"bytes_per_line\":6,\"encoding\":1" +
                           hashes));
  EXPECT_EQ(std::tuple(Cmd({"indices", pcx}).out, Cmd({"palette", pcx}).out),
            std::tuple(s_.pixels, s_.palette));  // row filler dropped
  std::string out;
  ASSERT_EQ(
      RunShell(ShellQuote(HW_BINARY_DIR "/huewright-cli") + " convert " + ShellQuote(pcx) + " " +
                   ShellQuote(png) +
                   " && /usr/bin/python3 -c 'import sys; from PIL import Image\n"
                   "im = Image.new(\"P\", (7, 2)); im.putpalette(bytes(range(48)))\n"
                   "im.putdata([i % 16 for i in range(14)]); im.save(sys.argv[1], bits=4)' " +
                   ShellQuote(four) +
                   " && convert -size 31x9 gradient:red-blue -colors 40 PNG8:" + ShellQuote(magick),
               &out),
      0)
      << out;
  EXPECT_EQ(Text(Cmd({"info", png}).out),
            "{\"format\":\"png\",\"width\":5,\"height\":3,\"bits_per_pixel\":8" + hashes);
  const Bytes theirs = Pillow(four);
  EXPECT_EQ(
      Text(Cmd({"info", four}).out),
      "{\"format\":\"png\",\"width\":7,\"height\":2,\"bits_per_pixel\":4,\"pixels_sha256\":\"" +
          Sha256(Bytes(theirs.begin(), theirs.begin() + 14)) + "\",\"palette_sha256\":\"" +
          Sha256(Bytes(theirs.begin() + 14, theirs.end())) + "\",\"frames\":1,\"cycles\":[]}\n");
  Bytes ours = Cmd({"indices", magick}).out, palette = Cmd({"palette", magick}).out;
  ours.insert(ours.end(), palette.begin(), palette.end());
  EXPECT_EQ(ours, Pillow(magick));
}

// A rewrite keeps the header (ColorMap becomes entries 0..15), pixels and palette; a
// file our writer made comes back byte for byte, onto itself too; "-" is standard
// output, and a file really called "-" is reached through a path.
TEST_F(Cli, RewriteKeepsPictureHeaderAndPaletteAndWritesToStandardOutput) {
  const std::string in = Put("in.pcx", s_.file), out = dir_.File("out.pcx");
  EXPECT_EQ(Cmd({"rewrite", in, out}).code, 0);
  const Bytes written = ReadBytes(out);
  ASSERT_GT(written.size(), 128u + 769u);
  for (size_t i = 0; i < 128; ++i)
    EXPECT_EQ(written[i], i >= 16 && i < 64 ? s_.palette[i - 16] : s_.file[i]) << "byte " << i;
  EXPECT_EQ(std::tuple(Cmd({"indices", out}).out, Cmd({"palette", out}).out,
                       Cmd({"rewrite", out, "-"}).out),
            std::tuple(s_.pixels, s_.palette, written));
  ASSERT_EQ(Cmd({"rewrite", in, in}).code + Cmd({"rewrite", in, dir_.File("-")}).code, 0);
  EXPECT_EQ(std::tuple(ReadBytes(in), ReadBytes(dir_.File("-")), dir_.Entries()),
            std::tuple(written, written, std::vector<std::string>{"-", "in.pcx", "out.pcx"}));
}

TEST_F(Cli, UsageErrorsGiveOneLineAndExitCode2) {
  const std::string f = Put("p.pcx", s_.file);
  // Command lines parted by "|"; the first is the empty one.
  std::istringstream all(
      "|info|info F F|palette F x|rewrite F|convert F|convert F -|convert F F.tga|"
      "INFO F|tiles|tiles F --bank 8|tiles F --tile 8x0|tiles F --tile 65536x8|"
      "tiles F --tile 8x99999|tiles F --tile 8x+8|tiles F --tile 8x8x|tiles F F|"
      "info F --max-pixels|info --max-pixels 0 F|info F --max-pixels 4294967296|"
      "indices --max-pixels 1e6 F|info --max-pixels 5 F --max-pixels 5");
  for (std::string line; std::getline(all, line, '|');) {
    std::vector<std::string> args;
    std::istringstream words(line);
    for (std::string w; words >> w;) args.push_back(w == "F" ? f : w == "F.tga" ? f + ".tga" : w);
    const Outcome r = Cmd(args);
    EXPECT_EQ(std::tuple(r.code, Lines(r.err), Has(r.err, "usage:"), r.out),
              std::tuple(2, 1, true, Bytes{}))
        << line;
  }
  // The largest side the message names is taken.
  EXPECT_EQ(Cmd({"tiles", f, "--tile", "65535x1"}).code, 0);
}

// --help lists each command, option and step on a line of its own on stdout, and
// each one it lists is one the program takes (none is "unknown"); the usage line
// of an error names every command; a help that cannot be written is a failure.
// (--version is checked on the installed programs.)
TEST_F(Cli, HelpNamesWhatTheProgramTakes) {
  const Outcome help = Cmd({"--help"});
  ASSERT_EQ(std::tuple(help.code, help.err), std::tuple(0, std::string()));
  std::map<std::string, std::vector<std::string>> sections;
  std::string section;
  std::istringstream lines(Text(help.out));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("  ")) {
      sections[section].push_back(line.substr(2, line.find("  ", 2) - 2));
    } else if (!line.empty()) {
      section = line.substr(0, line.find(' '));
    }
  }
  const auto& commands = sections["Commands:"];
  const auto& steps = sections["Steps"];
  EXPECT_EQ(commands.size(), 9u);
  EXPECT_EQ(steps.size(), 18u);
  EXPECT_EQ(sections["Options"].size(), 10u);  // of the commands
  EXPECT_EQ(sections["Options:"].size(), 3u);  // of the program
  const std::string f = Put("p.pcx", s_.file);
  const Outcome usage = Cmd({"nonsense"});
  for (const std::string& form : commands) {
    const std::string name = form.substr(0, form.find(' '));
    EXPECT_HAS(usage.err, form);
    const Outcome r = Cmd({name});
    EXPECT_FALSE(Has(r.err, "unknown command")) << name;
  }
  for (const std::string& form : steps) {
    const std::string name = form.substr(0, form.find(':'));
    const Outcome r = Cmd({"edit", f, dir_.File("o.pcx"), name + ":"});
    EXPECT_FALSE(Has(r.err, "unknown step")) << name << ": " << r.err;
  }
  for (const std::string& option : sections["Options"]) {
    const std::string command = option.substr(0, option.find(' '));
    const std::string flag = option.substr(
        command.size() + 1, option.find(' ', command.size() + 1) - command.size() - 1);
    const Outcome r = Cmd({command, flag, f});
    EXPECT_FALSE(Has(r.err, "unknown option") || Has(r.err, "has no option")) << option;
  }
  std::string ignored;
  EXPECT_NE(RunShell(ShellQuote(HW_BINARY_DIR "/huewright-cli") + " --help >/dev/full", &ignored),
            0);
}

// Every command refuses a broken input in one line naming the file (line breaks and
// backslashes escaped) and the cause, and writes nothing; neither PCX nor PNG is no
// picture, whatever the name; a PCX whose picture cannot load gives no palette
// either, refused with the picture load's cause.
TEST_F(Cli, BrokenInputsGiveOneLineNamingFileAndCauseAndWriteNothing) {
  Bytes odd_depth = s_.file, huge = s_.file;
  odd_depth[3] = 3;
  std::fill(huge.begin() + 8, huge.begin() + 12, 0x70);  // 28785 x 28785 on a 900-byte file
  Bytes png = *EncodeIndexedPng(5, 3, s_.pixels, s_.Entries());
  png.resize(png.size() - 20);
  const std::string picture = "not a picture Huewright reads";
  const std::tuple<std::string, Bytes, std::string, std::string> cases[] = {
      // name, bytes, cause for a picture command, cause for a palette convert
      {"gimp.pcx", {'G', 'I', 'M', 'P', '\n'}, picture, "not a palette file"},
      {"short.pcx", Bytes(s_.file.begin(), s_.file.begin() + 300), "768-byte palette", ""},
      // Its last 768 bytes are no palette the picture shows: the picture load's refusal.
      {"cut.pcx", Bytes(s_.file.begin(), s_.file.begin() + 800), "pixel data ends early",
       "pixel data ends early"},
      {"three-bit.pcx", odd_depth, "bits per pixel", ""},
      {"huge.pcx", huge, "too large", ""},
      {"cut.png", png, "cut.png", "cut short"},
      {"line\nbreak.pcx", odd_depth, "line\\x0abreak.pcx", ""},
      {"back\\slash.pcx", odd_depth, "back\\\\slash.pcx", ""},
      {"bad.gpl",
       {'G', 'I', 'M', 'P', ' ', 'P', 'a', 'l', 'e', 't', 't', 'e', '\n', 'x', '\n'},
       picture,
       "line 2"},
      {"no-such.pcx", {}, "No such file", "No such file"}};
  const std::string out = Put("out", {'k', 'e', 'e', 'p'});
  for (const auto& [name, bytes, cause, palette_cause] : cases) {
    if (name != "no-such.pcx") Put(name, bytes);
    const std::string in = dir_.File(name);
    using Args = std::vector<std::string>;
    for (const Args& args :
         {Args{"info", in}, Args{"indices", in}, Args{"palette", in}, Args{"rewrite", in, out},
          Args{"convert", in, out + ".png"}, Args{"convert", in, out + ".gpl"}}) {
      const bool to_palette = args.back().ends_with("out.gpl");
      if (to_palette && palette_cause.empty()) continue;  // its palette reads
      const Outcome r = Cmd(args);
      EXPECT_EQ(std::tuple(r.code, Lines(r.err), r.out, Has(r.err, dir_.Path())),
                std::tuple(1, 1, Bytes{}, true))
          << args[0] << " " << r.err;
      EXPECT_HAS(r.err, to_palette ? palette_cause : cause);
    }
  }
  // An output that cannot be replaced, or in a missing folder: named, and nothing made.
  fs::create_directory(dir_.File("folder"));
  for (const std::string& target : {dir_.File("folder"), dir_.File("missing/out.pcx")}) {
    const Outcome r = Cmd({"rewrite", Put("good.pcx", s_.file), target});
    EXPECT_EQ(std::tuple(r.code, Lines(r.err), Has(r.err, target)), std::tuple(1, 1, true))
        << r.err;
  }
  EXPECT_EQ(std::tuple(ReadBytes(out), fs::exists(out + ".png") || fs::exists(out + ".gpl"),
                       fs::is_empty(dir_.File("folder"))),
            std::tuple(Bytes{'k', 'e', 'e', 'p'}, false, true));
}

// info, indices, palette and convert never hold a whole PCX picture: a picture of
// runs five times their memory passes. Running out of memory (injected where the
// sanitizers make limits useless) is one line and leaves the output alone: the 1 GB
// pixels `rewrite` holds (`convert` streams them), or the encoded copy of the runs.
TEST_F(Cli, MemoryIsBoundedAndRunningOutGivesOneLine) {
  const std::string runs = Put("runs.pcx", Sample(true).file), limit = "ulimit -v 32768; ";
  if (!kSanitized) {
    const Outcome info = Cmd({"info", runs}, limit), palette = Cmd({"palette", runs}, limit);
    std::string hash;
    ASSERT_EQ(RunShell(limit + ShellQuote(HW_BINARY_DIR "/huewright-cli") + " indices " +
                           ShellQuote(runs) + " | sha256sum",
                       &hash),
              0);
    EXPECT_EQ(std::tuple(info.code, palette.out), std::tuple(0, s_.palette)) << info.err;
    for (const char* name : {"copy.pcx", "copy.png"}) {
      ASSERT_EQ(Cmd({"convert", runs, dir_.File(name)}, limit).code, 0);
      EXPECT_HAS(Text(Cmd({"info", dir_.File(name)}).out), hash.substr(0, 64));
    }
    EXPECT_HAS(Text(info.out), "\"pixels_sha256\":\"" + hash.substr(0, 64));
  }
  Bytes head(s_.file.begin(), s_.file.begin() + 128);
  head[8] = head[10] = 0xFF, head[9] = head[11] = 0x7C;  // Xmax = Ymax = 31999
  head[66] = 0x00, head[67] = 0x7D;                      // BytesPerLine = 32000
  const std::string big = Put("big.pcx", head), out = Put("out.pcx", s_.file);
  ASSERT_EQ(::truncate(big.c_str(), 34'000'000), 0);
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"rewrite", big, "cannot load '" + big + "': not enough memory"},
      {"convert", big,
       "cannot load '" + big +
           "': pixel data ends early (before the picture is complete, or "
           "runs into the palette)"},
      {"rewrite", runs, out + ": not enough memory"}};
  long injected = 0;
  for (const auto& [command, in, message] : cases) {
    const std::string fail = "HW_TEST_FAIL_ALLOCATIONS_AFTER=" + std::to_string(injected++ / 2);
    // The large picture is allowed here: it is its memory that runs out.
    std::vector<std::string> args{command, in, out};
    if (in == big) args.insert(args.end(), {"--max-pixels", "1024000000"});
    const Outcome r = Cmd(args, kSanitized ? fail + " " : "ulimit -v 262144; ");
    EXPECT_EQ(std::tuple(r.code, r.err, ReadBytes(out)),
              std::tuple(1, "huewright-cli: " + message + "\n", s_.file));
  }
}

// A GIF of 100 KB whose logical screen is 32767 x 32767 (1 GB of pixels) with one
// 1 x 1 frame, padded by a comment.
Bytes HugeScreenGif() {
  Bytes g = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0x7F, 0xFF, 0x7F, 0x80, 0, 0, 0, 0, 0, 9, 9, 9};
  g.insert(g.end(), {0x21, 0xFE});
  for (int i = 0; i < 400; ++i) {
    g.push_back(255);
    g.insert(g.end(), 255, 'x');
  }
  g.push_back(0);
  // The frame: codes clear, 0, end at 3 bits.
  g.insert(g.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
  return g;
}

// Pictures above the pixel limit are refused before their memory is taken, by every
// command and door that decodes one: a GIF's screen counts, and the refusal is one
// line (under 100 MB of address space, where decoding would fail). --max-pixels
// stands anywhere after the command and wins over HUEWRIGHT_MAX_PIXELS, whose bad
// value is one warning line.
TEST_F(Cli, PicturesAboveThePixelLimitAreRefusedBeforeAllocation) {
  const std::string gif = Put("huge.gif", HugeScreenGif()), pcx = Put("p.pcx", s_.file);
  const std::string limit = kSanitized ? "" : "ulimit -v 100000; ";
  const std::string refusal =
      "huewright-cli: cannot load '" + gif +
      "': the picture is 32767 x 32767 (1073676289 pixels), more than the limit of 268435456 "
      "pixels; allow it with --max-pixels or HUEWRIGHT_MAX_PIXELS\n";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"info", gif},
                                               {"indices", gif},
                                               {"tiles", gif},
                                               {"convert", gif, dir_.File("out.bmp")},
                                               {"palette", gif},
                                               {"stats", gif},
                                               {"edit", gif, dir_.File("out.pcx"), "sort:hsv"}}) {
    const Outcome r = Cmd(args, limit);
    EXPECT_EQ(std::tuple(r.code, r.err, r.out), std::tuple(1, refusal, Bytes{})) << args[0];
  }
  EXPECT_FALSE(fs::exists(dir_.File("out.bmp")));
  // A true-colour PNG given to remap: its header claims 20000 x 20000.
  Bytes png = {0x89, 'P',  'N',  'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
               0,    0x4E, 0x20, 0,   0,    0x4E, 0x20, 8,    2, 0, 0, 0,  0,   0,   0,   0};
  const std::string claims = Put("claims.png", png);
  const Outcome remap = Cmd({"edit", pcx, dir_.File("r.pcx"), "remap:" + claims});
  EXPECT_EQ(remap.code, 1);
  EXPECT_HAS(remap.err, "cannot load '" + claims +
                            "': the picture is 20000 x 20000 (400000000 "
                            "pixels), more than the limit of 268435456 pixels");
  if (!kSanitized) {
    // Allowed, the picture is decoded, and it is the memory that runs out.
    const Outcome r = Cmd({"info", "--max-pixels", "1073676289", gif}, limit);
    EXPECT_EQ(std::tuple(r.code, r.err),
              std::tuple(1, "huewright-cli: cannot load '" + gif + "': not enough memory\n"));
  }
  // 5 x 3 = 15 pixels against limits from the variable and the option.
  const Outcome low = Cmd({"info", pcx}, "HUEWRIGHT_MAX_PIXELS=14 ");
  EXPECT_EQ(std::tuple(low.code, low.err),
            std::tuple(1, "huewright-cli: cannot load '" + pcx +
                              "': the picture is 5 x 3 (15 pixels), more than the limit of 14 "
                              "pixels; allow it with --max-pixels or HUEWRIGHT_MAX_PIXELS\n"));
  const Outcome wins = Cmd({"info", pcx, "--max-pixels", "15"}, "HUEWRIGHT_MAX_PIXELS=14 ");
  EXPECT_EQ(std::tuple(wins.code, wins.err), std::tuple(0, std::string()));
  const Outcome edit = Cmd({"edit", pcx, "--max-pixels", "14", dir_.File("e.pcx")});
  EXPECT_EQ(edit.code, 1);
  for (const char* bad : {"0", "-5", "4294967296", "12abc", ""}) {
    const Outcome r = Cmd({"info", pcx}, std::string("HUEWRIGHT_MAX_PIXELS=") + bad + " ");
    EXPECT_EQ(std::tuple(r.code, Lines(r.err), r.err.rfind("warning: HUEWRIGHT_MAX_PIXELS='", 0)),
              std::tuple(0, 1, size_t{0}))
        << bad << r.err;
  }
}

// Pictures convert to pictures (Pillow reads them as made), anything to palettes;
// a palette file is no picture. When the output cannot hold the input's alpha, one
// warning line naming it (control bytes escaped), and the file written all the same.
TEST_F(Cli, ConvertsEveryKindAndWarnsOfLostAlpha) {
  const BoardEntries entries = s_.Entries();
  const std::string pcx = Put("p.pcx", s_.file), gpl = dir_.File("p.gpl"), act = dir_.File("p.act");
  Bytes pillow = s_.pixels;
  pillow.insert(pillow.end(), s_.palette.begin(), s_.palette.end());
  for (const auto& [in, out] : {std::pair{pcx, dir_.File("a.png")},
                                {dir_.File("a.png"), dir_.File("b.pcx")},
                                {dir_.File("b.pcx"), gpl},
                                {gpl, act},
                                {act, dir_.File("p.hex")},
                                {dir_.File("p.hex"), dir_.File("p.pal")}}) {
    const Outcome r = Cmd({"convert", in, out});
    ASSERT_EQ(std::tuple(r.code, r.err), std::tuple(0, "")) << in << " -> " << out;
    EXPECT_EQ(std::tuple(LoadAnyPaletteFile(out)->count, LoadAnyPaletteFile(out)->entries),
              std::tuple(256, entries))
        << out;
    if (out.ends_with("png") || out.ends_with("pcx")) {
      EXPECT_EQ(Pillow(out), pillow) << out;
    }
  }
  EXPECT_EQ(Cmd({"convert", act, dir_.File("c.png")}).err,
            "huewright-cli: cannot load '" + act + "': " + kNotAPicture + "\n");
  EXPECT_FALSE(fs::exists(dir_.File("c.png")));
  BoardEntries clear = entries;
  clear[0].A = 0, clear[1].A = 100, clear[2].A = 200;
  const std::string in = Put("alpha.png", *EncodeIndexedPng(5, 3, s_.pixels, clear));
  const std::pair<std::string, std::string> lossy[] = {
      {"new\nline.pcx", "warning: '" + dir_.Path() +
                            "/new\\x0aline.pcx': the alpha of 3 entries: a PCX file has no "
                            "transparency\n"},
      {"out.pal", "warning: '" + dir_.File("out.pal") + "': the alpha of 3 entries"},
      {"out.png", ""}};
  for (const auto& [name, warning] : lossy) {
    const Outcome r = Cmd({"convert", in, dir_.File(name)});
    EXPECT_EQ(std::tuple(r.code, Lines(r.err), r.err.starts_with(warning)),
              std::tuple(0, warning.empty() ? 0 : 1, true))
        << r.err;
    auto back = LoadAnyPaletteFile(dir_.File(name));
    ASSERT_TRUE(back) << back.error().Text();
    for (size_t k = 0; k < 256; ++k) {
      ASSERT_EQ(back->entries[k],
                (BoardEntry{clear[k].rgb, name == "out.png" ? clear[k].A : uint8_t{255}}));
    }
  }
}

// The banks of every tile, against a plain pass over what `indices` prints: pictures
// drawn in banks with stray pixels and zeros, tiles that do and do not divide the
// picture (one larger than it), banks of 16 and 4, shared zeros on and off.
TEST_F(Cli, TilesListTheBanksABruteForcePassFinds) {
  std::mt19937 gen(11);
  struct Case {
    int w, h, tw, th, bank;
    bool shared;
  };
  for (const Case c :
       {Case{37, 23, 8, 8, 16, false}, Case{37, 23, 8, 8, 16, true}, Case{64, 40, 5, 3, 4, true},
        Case{20, 9, 1, 1, 4, false}, Case{30, 17, 40, 40, 16, true},
        // More tiles than are checked at a time.
        Case{600, 250, 1, 1, 4, false}, Case{700, 401, 2, 1, 16, true}}) {
    Bytes pixels(size_t(c.w) * size_t(c.h));
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        const int bank = (x / 16 + y / 8) % (256 / c.bank);
        const int roll = int(gen() % 20);
        pixels[size_t(y * c.w + x)] =
            uint8_t(roll == 0 ? gen() % 256 : bank * c.bank + (roll < 5 ? 0 : roll % c.bank));
      }
    }
    const std::string file = dir_.File("t.pcx");
    PcxHeader header = MakeHeader(c.w, c.h, c.w + c.w % 2);
    WriteBytes(file, *WritePcx(header, pixels, DistinctPalette()));
    const Bytes indices = Cmd({"indices", file}).out;
    ASSERT_EQ(indices, pixels);
    const int cols = (c.w + c.tw - 1) / c.tw, rows = (c.h + c.th - 1) / c.th;
    std::string tiles;
    int mixed = 0;
    for (int ty = 0; ty < rows; ++ty) {
      for (int tx = 0; tx < cols; ++tx) {
        std::set<int> banks;
        for (int y = ty * c.th; y < std::min(c.h, (ty + 1) * c.th); ++y) {
          for (int x = tx * c.tw; x < std::min(c.w, (tx + 1) * c.tw); ++x) {
            const int v = indices[size_t(y * c.w + x)];
            if (!(c.shared && v % c.bank == 0)) banks.insert(v / c.bank);
          }
        }
        mixed += banks.size() > 1;
        std::string list;
        for (int b : banks) list += (list.empty() ? "" : ", ") + std::to_string(b);
        tiles += (tiles.empty() ? "\n  " : ",\n  ") + std::string("{\"x\": ") + std::to_string(tx) +
                 ", \"y\": " + std::to_string(ty) + ", \"banks\": [" + list + "]}";
      }
    }
    const std::string expected = "{\"tile\": [" + std::to_string(c.tw) + ", " +
                                 std::to_string(c.th) + "], \"bank\": " + std::to_string(c.bank) +
                                 ", \"mixed\": " + std::to_string(mixed) + ", \"tiles\": [" +
                                 tiles + "\n]}\n";
    std::vector<std::string> args = {"tiles", file, "--tile",
                                     std::to_string(c.tw) + "x" + std::to_string(c.th)};
    if (c.bank != 16 || c.shared) args.insert(args.begin() + 1, {"--bank", std::to_string(c.bank)});
    if (c.shared) args.push_back("--shared-zero");
    const Outcome r = Cmd(args);
    EXPECT_EQ(std::tuple(r.code, Text(r.out), r.err), std::tuple(0, expected, "")) << c.w;
    if (c.tw * c.th > 1) {
      EXPECT_GT(mixed, 0);  // a single pixel is one bank
    }
  }
  // A million tiles of one pixel in 32 MB of address space: the list is written as
  // it goes, not held (its text alone is 40 MB).
  if (kSanitized) return;
  const std::string file = dir_.File("m.pcx");
  PcxHeader header = MakeHeader(1024, 1024);
  WriteBytes(file, *WritePcx(header, Bytes(1024 * 1024, 17), DistinctPalette()));
  const Outcome r = Cmd({"tiles", file, "--tile", "1x1"}, "ulimit -v 32768; ");
  EXPECT_EQ(std::tuple(r.code, r.err, Lines(Text(r.out))), std::tuple(0, "", 1024 * 1024 + 2));
}

// A picture converted through every kind and back keeps its indices and palette, as
// info's hashes say; `edit` writes each kind; the kinds and depths show in info.
TEST_F(Cli, EveryPictureKindConvertsWithTheSameHashes) {
  std::string from = Put("odd.pcx", s_.file);
  const std::string hashes = Hashes();
  for (const std::string ext : {"gif", "lbm", "bmp", "png", "pcx", "iff", "bmp", "gif"}) {
    const std::string kind = ext == "lbm" || ext == "iff" ? "ilbm" : ext;
    const std::string to = dir_.File("next-" + kind + "." + ext);
    const Outcome converted = Cmd({"convert", from, to});
    ASSERT_EQ(std::tuple(converted.code, converted.err), std::tuple(0, std::string())) << kind;
    const Outcome info = Cmd({"info", to});
    EXPECT_HAS(Text(info.out), "{\"format\":\"" + kind + "\",\"width\":5");
    EXPECT_HAS(Text(info.out), hashes);
    EXPECT_EQ(Cmd({"indices", to}).out, s_.pixels) << kind;
    from = to;
  }
  // The board reversed, pixels moving with their entries: index k becomes 255 - k.
  const Outcome edited = Cmd({"edit", from, dir_.File("edited.bmp"), "reverse:0-255"});
  EXPECT_EQ(edited.code, 0) << edited.err;
  Bytes reversed = s_.pixels;
  for (auto& v : reversed) v = uint8_t(255 - v);
  EXPECT_EQ(Cmd({"indices", dir_.File("edited.bmp")}).out, reversed);
}

// convert between the exchanged palette formats: a PNG strip with --palette-strip,
// names carried into a GIMP palette and warned about elsewhere.
bool HasChunk(const Bytes& png, std::string_view type) {
  return std::search(png.begin(), png.end(), type.begin(), type.end()) != png.end();
}

TEST(ConvertPalettes, PaletteStripIsAnIndexedPngOfEveryEntry) {
  TempDir dir;
  for (const bool translucent : {false, true}) {
    std::string gpl = "GIMP Palette\n";
    if (translucent) gpl += "Channels: RGBA\n";
    for (int k = 0; k < 200; ++k) {
      gpl += std::to_string(k) + " " + std::to_string(255 - k) + " 7" +
             (translucent ? " " + std::to_string(k == 3 ? 0 : 255) : "") + "\n";
    }
    WriteBytes(dir.File("in.gpl"), Bytes(gpl.begin(), gpl.end()));
    const CliOutcome r =
        RunCli(dir, {"convert", "--palette-strip", dir.File("in.gpl"), dir.File("s.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Bytes png = ReadBytes(dir.File("s.png"));
    auto pic = DecodeIndexedPng(png);
    ASSERT_TRUE(pic) << pic.error().Text();
    EXPECT_EQ(pic->width, 256);
    EXPECT_EQ(pic->height, 1);
    EXPECT_EQ(pic->palette_count, 256);
    for (int k = 0; k < 256; ++k) {
      const auto at = static_cast<size_t>(k);
      ASSERT_EQ(pic->pixels[at], k);
      const uint8_t alpha = translucent && k == 3 ? 0 : 255;
      const BoardEntry want =
          k < 200 ? BoardEntry{{uint8_t(k), uint8_t(255 - k), 7}, alpha} : BoardEntry{};
      ASSERT_EQ(pic->entries[at], want) << k;
    }
    EXPECT_EQ(HasChunk(png, "tRNS"), translucent);
  }
  EXPECT_EQ(RunCli(dir, {"convert", "--palette-strip", dir.File("in.gpl"), dir.File("s.pcx")}).code,
            2);
}

TEST(ConvertPalettes, NamesGoIntoGimpPalettesAndAreWarnedAboutElsewhere) {
  TempDir dir;
  // Two version 2 swatches, the second named "Moss".
  const Bytes aco = {0, 2, 0, 2, 0, 0,   0xFF, 0xFF, 0, 0,    0,    0,   0, 0, 0,
                     0, 0, 1, 0, 0, 0,   0,    0,    0, 0xFF, 0xFF, 0,   0, 0, 0,
                     0, 0, 0, 5, 0, 'M', 0,    'o',  0, 's',  0,    's', 0, 0};
  WriteBytes(dir.File("in.aco"), aco);
  CliOutcome r = RunCli(dir, {"convert", dir.File("in.aco"), dir.File("out.gpl")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Bytes gpl = ReadBytes(dir.File("out.gpl"));
  EXPECT_HAS(Text(gpl), "255 0 0\tIndex 0\n0 255 0\tMoss\n");
  r = RunCli(dir, {"convert", dir.File("in.aco"), dir.File("out.txt")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_HAS(r.err, "warning:");
  EXPECT_HAS(r.err, "the names of 1 entry: a Paint.NET palette has no names") << r.err;
  auto back = DecodePaletteFile(ReadBytes(dir.File("out.txt")), "out.txt");
  ASSERT_TRUE(back) << back.error().Text();
  EXPECT_EQ(back->entries[1], (BoardEntry{{0, 255, 0}, 255}));
}

}  // namespace
}  // namespace hw::test
