// Runs the built huewright-cli on files made here and checks one case of each of its
// promises: the bytes it prints, exit codes 0, 1 and 2, one-line messages naming the
// file and the cause, warning lines, outputs left alone on failure, and bounded
// memory. Hashes are checked against sha256sum, pictures against Pillow and
// ImageMagick as well as our own readers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "../common/test_util.h"
#include "formats/palette_files.h"
#include "formats/picture_io.h"
#include "formats/png.h"

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

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }
std::string Text(const Bytes& b) { return {b.begin(), b.end()}; }

struct Outcome {
  int code = -1;
  Bytes out;
  std::string err;
};

// 5 x 3 pixels stored in rows of 6 bytes (odd width, filler 0xEE), indices on both
// sides of the 0xC0 run-marker boundary, a palette whose every byte differs from its
// neighbours, and header bytes that a rewrite must carry through.
struct Sample {
  Bytes pixels, palette, file;
  Sample() {
    for (int i = 0; i < 15; ++i) pixels.push_back(uint8_t((i % 5 * 61 + i / 5 * 97) % 256));
    for (int i = 0; i < 768; ++i) palette.push_back(uint8_t(i * 7 + i / 256));
    PcxHeader hd = MakeHeader(5, 3, 6);
    hd.HDpi = hd.VDpi = 72;
    hd.ColorMap.fill({0x5A, 0x5A, 0x5A});  // replaced on rewrite
    for (size_t i = 0; i < hd.Filler.size(); ++i) hd.Filler[i] = uint8_t(74 + i);
    const auto head = HeaderBytes(hd);
    file.assign(head.begin(), head.end());
    for (int k = 0; k < 18; ++k) {
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

// A 16000 x 10000 picture (160 MB) of runs, in a 5 MB file.
Bytes RunsPicture(const Sample& s) {
  Bytes file(s.file.begin(), s.file.begin() + 128);
  file[8] = 0x7F, file[9] = 0x3E;    // Xmax = 15999
  file[10] = 0x0F, file[11] = 0x27;  // Ymax = 9999
  file[66] = 0x80, file[67] = 0x3E;  // BytesPerLine = 16000
  Bytes row;
  for (int left = 16000; left > 0; left -= 63) {
    row.push_back(static_cast<uint8_t>(0xC0 | std::min(left, 63)));
    row.push_back(static_cast<uint8_t>(left % 200));
  }
  file.reserve(file.size() + row.size() * 10000 + 769);
  for (int y = 0; y < 10000; ++y) file.insert(file.end(), row.begin(), row.end());
  file.push_back(12);
  file.insert(file.end(), s.palette.begin(), s.palette.end());
  return file;
}

class Cli : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const Bytes& bytes) const {
    WriteBytes(dir_.File(name), bytes);
    return dir_.File(name);
  }
  // `prefix` is shell text run before the command, such as limits or variables.
  Outcome Cmd(const std::vector<std::string>& args, const std::string& prefix = "") const {
    std::string cmd = prefix + Quote(HW_BINARY_DIR "/huewright-cli");
    for (const auto& a : args) cmd += " " + Quote(a);
    const std::string out = dir_.File("stdout.bin"), err = dir_.File("stderr.txt");
    const int status =
        std::system((cmd + " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null").c_str());
    Outcome r{WIFEXITED(status) ? WEXITSTATUS(status) : 128, ReadBytes(out), Text(ReadBytes(err))};
    fs::remove(out);
    fs::remove(err);
    return r;
  }
  std::string Sha256(const Bytes& bytes) const {
    std::string out;
    RunShell("sha256sum " + Quote(Put("hash-input.bin", bytes)), &out);
    fs::remove(dir_.File("hash-input.bin"));
    return out.substr(0, 64);
  }
  // Runs Pillow on `file`: the pixel indices, then 768 palette bytes.
  Bytes Pillow(const std::string& file) const {
    const std::string dump = dir_.File("pillow.bin");
    std::string out;
    EXPECT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]); im.load(); assert im.mode == \"P\"\n"
                       "p = (im.getpalette() + [0] * 768)[:768]\n"
                       "open(sys.argv[2], \"wb\").write(im.tobytes() + bytes(p))' " +
                           Quote(file) + " " + Quote(dump),
                       &out),
              0)
        << "Pillow (python3-pil) must read " << file << ": " << out;
    Bytes bytes = ReadBytes(dump);
    fs::remove(dump);
    return bytes;
  }

  TempDir dir_;
  Sample s_;
};

TEST_F(Cli, InfoIndicesAndPaletteOfPcxAndPng) {
  const std::string pcx = Put("odd.pcx", s_.file), png = dir_.File("odd.png");
  const std::string hashes = ",\"pixels_sha256\":\"" + Sha256(s_.pixels) +
                             "\",\"palette_sha256\":\"" + Sha256(s_.palette) + "\"}\n";
  const Outcome info = Cmd({"info", pcx});
  EXPECT_EQ(std::tuple(info.code, info.err), std::tuple(0, ""));
  EXPECT_EQ(Text(info.out),
            "{\"format\":\"pcx\",\"width\":5,\"height\":3,\"bits_per_pixel\":8,\"planes\":1,"
            "\"bytes_per_line\":6,\"encoding\":1" +
                hashes);
  EXPECT_EQ(Cmd({"indices", pcx}).out, s_.pixels);  // row filler dropped
  EXPECT_EQ(Cmd({"palette", pcx}).out, s_.palette);
  ASSERT_EQ(Cmd({"convert", pcx, png}).code, 0);
  EXPECT_EQ(Text(Cmd({"info", png}).out),
            "{\"format\":\"png\",\"width\":5,\"height\":3,\"bits_per_pixel\":8" + hashes);

  // A PNG of fewer bits per pixel says so, its indices still one byte each; an
  // ImageMagick PNG8 gives Pillow's indices and palette.
  const std::string four = dir_.File("four.png"), magick = dir_.File("magick.png");
  std::string out;
  ASSERT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                     "im = Image.new(\"P\", (7, 2)); im.putpalette(bytes(range(48)))\n"
                     "im.putdata([i % 16 for i in range(14)]); im.save(sys.argv[1], bits=4)' " +
                         Quote(four) + " && convert -size 31x9 gradient:red-blue -colors 40 PNG8:" +
                         Quote(magick),
                     &out),
            0)
      << out;
  const Bytes theirs = Pillow(four);
  ASSERT_EQ(theirs.size(), 14u + 768u);
  EXPECT_EQ(
      Text(Cmd({"info", four}).out),
      "{\"format\":\"png\",\"width\":7,\"height\":2,\"bits_per_pixel\":4,\"pixels_sha256\":\"" +
          Sha256(Bytes(theirs.begin(), theirs.begin() + 14)) + "\",\"palette_sha256\":\"" +
          Sha256(Bytes(theirs.begin() + 14, theirs.end())) + "\"}\n");
  const Bytes magicks = Pillow(magick);
  Bytes ours = Cmd({"indices", magick}).out, palette = Cmd({"palette", magick}).out;
  ours.insert(ours.end(), palette.begin(), palette.end());
  EXPECT_EQ(ours, magicks);
}

TEST_F(Cli, RewriteKeepsPictureHeaderAndPaletteAndWritesToStandardOutput) {
  const std::string in = Put("in.pcx", s_.file), out = dir_.File("out.pcx");
  const Outcome r = Cmd({"rewrite", in, out});
  EXPECT_EQ(std::tuple(r.code, r.err, r.out), std::tuple(0, "", Bytes{}));
  const Bytes written = ReadBytes(out);
  ASSERT_GT(written.size(), 128u + 769u);
  for (size_t i = 0; i < 128; ++i) {
    // ColorMap (16..63) becomes palette entries 0..15; everything else as loaded.
    EXPECT_EQ(written[i], i >= 16 && i < 64 ? s_.palette[i - 16] : s_.file[i]) << "byte " << i;
  }
  EXPECT_EQ(Cmd({"indices", out}).out, s_.pixels);
  EXPECT_EQ(Cmd({"palette", out}).out, s_.palette);
  // A file our writer made comes back byte for byte, also when rewritten onto itself;
  // "-" is standard output, and a file really called "-" is reached through a path.
  EXPECT_EQ(Cmd({"rewrite", out, "-"}).out, written);
  ASSERT_EQ(Cmd({"rewrite", in, in}).code, 0);
  EXPECT_EQ(ReadBytes(in), written);
  ASSERT_EQ(Cmd({"rewrite", in, dir_.File("-")}).code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("-")), written);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"-", "in.pcx", "out.pcx"}));
}

TEST_F(Cli, UsageErrorsGiveOneLineAndExitCode2) {
  const std::string f = Put("p.pcx", s_.file);
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"info"},
                                                                {"info", f, f},
                                                                {"palette", f, "extra"},
                                                                {"rewrite", f},
                                                                {"convert", f},
                                                                {"convert", f, "-"},
                                                                {"convert", f, f + ".tga"},
                                                                {"INFO", f}}) {
    const Outcome r = Cmd(args);
    EXPECT_EQ(std::tuple(r.code, Lines(r.err), r.out), std::tuple(2, 1, Bytes{}))
        << ::testing::PrintToString(args);
    EXPECT_HAS(r.err, "usage:");
  }
}

// Every command refuses a broken input in one line naming the file and the cause,
// writes nothing and leaves its output alone. Line breaks and backslashes in names
// are escaped; a file that is neither PCX (first byte 10) nor PNG is no picture,
// whatever its name; a damaged PCX still gives its palette, from its end alone.
TEST_F(Cli, BrokenInputsGiveOneLineNamingFileAndCauseAndWriteNothing) {
  Bytes four_bit = s_.file, huge = s_.file;
  four_bit[3] = 4;
  std::fill(huge.begin() + 8, huge.begin() + 12, 0x70);  // 28785 x 28785 on a 900-byte file
  Bytes png = *EncodeIndexedPng(5, 3, s_.pixels, s_.Entries());
  png.resize(png.size() - 20);
  const std::string picture = "not a picture Huewright reads";
  const std::tuple<std::string, Bytes, std::string, std::string> cases[] = {
      // name, bytes, cause for a picture command, cause for a palette convert
      {"gimp.pcx", {'G', 'I', 'M', 'P', '\n'}, picture, "not a palette file"},
      {"empty.pcx", {}, picture, "not a palette file"},
      {"short.pcx", Bytes(s_.file.begin(), s_.file.begin() + 300), "768-byte palette", ""},
      {"cut.pcx", Bytes(s_.file.begin(), s_.file.begin() + 800), "pixel data ends early",
       "the PCX file has no 256-colour palette"},
      {"four-bit.pcx", four_bit, "bits per pixel", ""},
      {"huge.pcx", huge, "too large", ""},
      {"cut.png", png, "cut.png", "cut short"},
      {"line\nbreak.pcx", four_bit, "line\\x0abreak.pcx", ""},
      {"back\\slash.pcx", four_bit, "back\\\\slash.pcx", ""},
      {"bad.gpl",
       {'G', 'I', 'M', 'P', ' ', 'P', 'a', 'l', 'e', 't', 't', 'e', '\n', 'x', '\n'},
       picture,
       "line 2"},
      {"no-such.pcx", {}, "No such file", "No such file"}};
  const std::string out = Put("out", {'k', 'e', 'e', 'p'});
  for (const auto& [name, bytes, cause, palette_cause] : cases) {
    if (name != "no-such.pcx") Put(name, bytes);
    const std::string in = dir_.File(name);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", in},
                                                 {"indices", in},
                                                 {"palette", in},
                                                 {"rewrite", in, out},
                                                 {"convert", in, out + ".png"},
                                                 {"convert", in, out + ".gpl"}}) {
      SCOPED_TRACE(name + ": " + args[0] + " " + args.back());
      const bool to_palette = args[0] == "convert" && args.back().ends_with(".gpl");
      if (to_palette && palette_cause.empty()) continue;  // its palette reads
      const Outcome r = Cmd(args);
      EXPECT_EQ(std::tuple(r.code, Lines(r.err), r.out), std::tuple(1, 1, Bytes{})) << r.err;
      EXPECT_HAS(r.err, to_palette ? palette_cause : cause);
      EXPECT_HAS(r.err, dir_.Path());  // names the file
    }
  }
  EXPECT_EQ(ReadBytes(out), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_FALSE(fs::exists(out + ".png") || fs::exists(out + ".gpl"));
  // An output that cannot be replaced, or in a missing folder: named, and nothing made.
  fs::create_directory(dir_.File("folder"));
  const std::string good = Put("good.pcx", s_.file);
  for (const std::string& target : {dir_.File("folder"), dir_.File("missing/out.pcx")}) {
    const Outcome r = Cmd({"rewrite", good, target});
    EXPECT_EQ(std::tuple(r.code, Lines(r.err)), std::tuple(1, 1)) << r.err;
    EXPECT_HAS(r.err, target);
  }
  EXPECT_TRUE(fs::is_empty(dir_.File("folder")));
}

// Running out of memory is one line too, and leaves the output alone. A picture of
// 32000 x 32000 pixels (1 GB) whose file is a 34 MB hole: the pixel buffer of
// `rewrite`, which holds the whole picture, is what runs out; `convert` streams it
// and finds the data too short. The 160 MB picture of runs loads, but its encoded
// copy does not fit beside it: that failure names the target. The ordinary build
// runs under an address-space limit; a sanitizer build, where such limits do not
// work, has the failure injected instead.
TEST_F(Cli, OutOfMemoryGivesOneLineAndLeavesTheOutputAlone) {
  const std::string limit = "ulimit -v 262144; ";
  Bytes head(s_.file.begin(), s_.file.begin() + 128);
  head[8] = head[10] = 0xFF, head[9] = head[11] = 0x7C;  // Xmax = Ymax = 31999
  head[66] = 0x00, head[67] = 0x7D;                      // BytesPerLine = 32000
  const std::string big = Put("big.pcx", head), runs = Put("runs.pcx", RunsPicture(s_));
  ASSERT_EQ(::truncate(big.c_str(), 34'000'000), 0);
  const std::string out = Put("out.pcx", s_.file);
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"rewrite", big, "cannot load '" + big + "': not enough memory"},
      {"convert", big,
       "cannot load '" + big +
           "': pixel data ends early (before the picture is "
           "complete, or runs into the palette)"},
      {"rewrite", runs, out + ": not enough memory"}};
  long injected = 0;
  for (const auto& [command, in, message] : cases) {
    const Outcome r =
        Cmd({command, in, out},
            kSanitized ? "HW_TEST_FAIL_ALLOCATIONS_AFTER=" + std::to_string(injected++ / 2) + " "
                       : limit);
    EXPECT_EQ(std::tuple(r.code, r.err), std::tuple(1, "huewright-cli: " + message + "\n"));
    EXPECT_EQ(ReadBytes(out), s_.file);
  }
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"big.pcx", "out.pcx", "runs.pcx"}));
}

// info, indices, palette and convert never hold the whole of a PCX picture: they
// read one five times the size of the memory they may use.
TEST_F(Cli, InspectingAndConvertingPcxNeedLittleMemory) {
  if (kSanitized) GTEST_SKIP() << "address-space limits do not work under the sanitizer";
  const std::string big = Put("big.pcx", RunsPicture(s_)), limit = "ulimit -v 32768; ";
  const Outcome info = Cmd({"info", big}, limit), palette = Cmd({"palette", big}, limit);
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(palette.out, s_.palette);
  std::string hash;
  ASSERT_EQ(RunShell(limit + Quote(HW_BINARY_DIR "/huewright-cli") + " indices " + Quote(big) +
                         " | sha256sum",
                     &hash),
            0);
  const std::string pixels = "\"pixels_sha256\":\"" + hash.substr(0, 64);
  EXPECT_HAS(Text(info.out), pixels);
  for (const char* name : {"copy.pcx", "copy.png"}) {
    const Outcome converted = Cmd({"convert", big, dir_.File(name)}, limit);
    ASSERT_EQ(converted.code, 0) << converted.err;
    EXPECT_HAS(Text(Cmd({"info", dir_.File(name)}).out), pixels);
  }
  ASSERT_EQ(Cmd({"rewrite", big, dir_.File("rewritten.pcx")}).code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("copy.pcx")), ReadBytes(dir_.File("rewritten.pcx")));
}

// Every input kind to every output kind: pictures only from pictures, palettes from
// anything; each result read back by our readers, pictures by Pillow too. When the output cannot
// hold the input's alpha, one warning line naming it (control bytes escaped), and the file written
// all the same.
TEST_F(Cli, ConvertsEveryKindToEveryKindAndWarnsOfLostAlpha) {
  const BoardEntries entries = s_.Entries();
  BoardEntries clear = entries;
  clear[0].A = 0, clear[1].A = 100, clear[2].A = 200;
  std::vector<std::pair<std::string, Bytes>> inputs = {
      {"picture.pcx", s_.file}, {"picture.png", *EncodeIndexedPng(5, 3, s_.pixels, entries)}};
  for (auto [name, format] : {std::pair{"gimp.gpl", PaletteFormat::Gpl},
                              {"jasc.pal", PaletteFormat::Jasc},
                              {"table.act", PaletteFormat::Act},
                              {"list.hex", PaletteFormat::Hex},
                              {"riff.pal", PaletteFormat::Riff}}) {
    inputs.push_back({name, EncodePaletteFile(entries, format)});
  }
  Bytes pillow = s_.pixels;
  pillow.insert(pillow.end(), s_.palette.begin(), s_.palette.end());
  for (const auto& [in, bytes] : inputs) {
    Put(in, bytes);
    for (const char* ext : {".pcx", ".png", ".gpl", ".pal", ".act", ".hex"}) {
      const std::string out = dir_.File("out" + std::string(ext));
      SCOPED_TRACE(in + " -> " + out);
      const Outcome r = Cmd({"convert", dir_.File(in), out});
      const bool picture_out = ext == std::string(".pcx") || ext == std::string(".png");
      if (picture_out && !in.starts_with("picture")) {
        EXPECT_EQ(std::tuple(r.code, r.err),
                  std::tuple(1, "huewright-cli: cannot load '" + dir_.File(in) +
                                    "': not a picture Huewright reads\n"));
        EXPECT_FALSE(fs::exists(out));
        continue;
      }
      ASSERT_EQ(std::tuple(r.code, r.err), std::tuple(0, "")) << r.err;
      if (picture_out) {
        auto back = LoadPictureFile(out);
        ASSERT_TRUE(back) << back.error().message;
        EXPECT_EQ(std::tuple(back->format, back->pixels, back->entries),
                  std::tuple(PictureFormatForName(out), s_.pixels, entries));
        EXPECT_EQ(Pillow(out), pillow);
      } else {
        auto back = LoadAnyPaletteFile(out);
        ASSERT_TRUE(back) << back.error().message;
        EXPECT_EQ(std::tuple(back->format, back->count, back->entries),
                  std::tuple(PaletteFormatForName(out), 256, entries));
      }
      fs::remove(out);
    }
  }

  const std::string in = Put("alpha.png", *EncodeIndexedPng(5, 3, s_.pixels, clear));
  const std::pair<std::string, std::string> lossy[] = {
      {"new\nline.pcx", "warning: '" + dir_.Path() +
                            "/new\\x0aline.pcx': the alpha of 3 entries: a PCX file has no "
                            "transparency\n"},
      {"out.gpl", "warning: '" + dir_.File("out.gpl") + "': the alpha of 3 entries"},
      {"out.png", ""}};
  for (const auto& [name, warning] : lossy) {
    const Outcome r = Cmd({"convert", in, dir_.File(name)});
    EXPECT_EQ(std::tuple(r.code, Lines(r.err)), std::tuple(0, warning.empty() ? 0 : 1)) << r.err;
    EXPECT_TRUE(r.err.starts_with(warning)) << r.err;
    auto back = LoadAnyPaletteFile(dir_.File(name));
    ASSERT_TRUE(back) << back.error().message;
    for (size_t k = 0; k < 256; ++k) {
      ASSERT_EQ(back->entries[k],
                (BoardEntry{clear[k].rgb, name == "out.png" ? clear[k].A : uint8_t{255}}));
    }
  }
}

}  // namespace
}  // namespace hw::test
