// Runs the built huewright-cli on files made here and checks its output bytes, exit
// codes and error lines. Hashes are checked against sha256sum, pictures it writes
// against Pillow and ImageMagick as well as our own readers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

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
  Bytes pixels, palette, file = Bytes(128, 0);
  Sample() {
    for (int i = 0; i < 15; ++i)
      pixels.push_back(static_cast<uint8_t>((i % 5 * 61 + i / 5 * 97) % 256));
    for (int i = 0; i < 768; ++i) palette.push_back(static_cast<uint8_t>(i * 7 + i / 256));
    // clang-format off
    for (auto [at, v] : {std::pair{0, 10}, {1, 5}, {2, 1}, {3, 8}, {8, 4}, {10, 2}, {12, 72},
                         {14, 72}, {65, 1}, {66, 6}, {68, 1}}) {
      // clang-format on
      file[at] = static_cast<uint8_t>(v);  // Xmax 4, Ymax 2, BytesPerLine 6
    }
    std::fill(file.begin() + 16, file.begin() + 64, 0x5A);  // ColorMap, replaced on rewrite
    for (int i = 74; i < 128; ++i) file[i] = static_cast<uint8_t>(i);
    for (int k = 0; k < 18; ++k) {
      const uint8_t v = k % 6 < 5 ? pixels[k / 6 * 5 + k % 6] : 0xEE;
      if (v >= 0xC0) file.push_back(0xC1);
      file.push_back(v);
    }
    file.push_back(12);
    file.insert(file.end(), palette.begin(), palette.end());
  }
};

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
    FILE* pipe = ::popen(("sha256sum " + Quote(Put("hash-input.bin", bytes))).c_str(), "r");
    char buf[65] = {};
    const size_t n = pipe ? std::fread(buf, 1, 64, pipe) : 0;
    if (pipe) ::pclose(pipe);
    fs::remove(dir_.File("hash-input.bin"));
    return std::string(buf, n);
  }

  TempDir dir_;
  Sample s_;
};

TEST_F(Cli, InfoPrintsOneJsonObjectWithFieldsAndHashes) {
  const Outcome r = Cmd({"info", Put("odd.pcx", s_.file)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Text(r.out),
            "{\"format\":\"pcx\",\"width\":5,\"height\":3,\"bits_per_pixel\":8,\"planes\":1,"
            "\"bytes_per_line\":6,"
            "\"encoding\":1,"
            "\"pixels_sha256\":\"" +
                Sha256(s_.pixels) + "\",\"palette_sha256\":\"" + Sha256(s_.palette) + "\"}\n");
}

TEST_F(Cli, IndicesAndPaletteWriteTheRawBytes) {
  const std::string file = Put("odd.pcx", s_.file);
  const Outcome indices = Cmd({"indices", file}), palette = Cmd({"palette", file});
  ASSERT_EQ(indices.code, 0) << indices.err;
  EXPECT_EQ(indices.out, s_.pixels);  // row filler dropped
  ASSERT_EQ(palette.code, 0) << palette.err;
  EXPECT_EQ(palette.out, s_.palette);
}

TEST_F(Cli, RewriteKeepsPictureHeaderAndPalette) {
  const std::string in = Put("in.pcx", s_.file), out = dir_.File("out.pcx");
  const Outcome r = Cmd({"rewrite", in, out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.empty());
  const Bytes written = ReadBytes(out);
  ASSERT_GT(written.size(), 128u + 769u);
  for (size_t i = 0; i < 128; ++i) {
    // ColorMap (16..63) becomes palette entries 0..15; everything else as loaded.
    EXPECT_EQ(written[i], i >= 16 && i < 64 ? s_.palette[i - 16] : s_.file[i])
        << "header byte " << i;
  }
  EXPECT_EQ(Cmd({"indices", out}).out, s_.pixels);
  EXPECT_EQ(Cmd({"palette", out}).out, s_.palette);
  // A file our writer made comes back byte for byte, also when rewritten onto itself.
  ASSERT_EQ(Cmd({"rewrite", out, dir_.File("again.pcx")}).code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("again.pcx")), written);
  ASSERT_EQ(Cmd({"rewrite", in, in}).code, 0);
  EXPECT_EQ(ReadBytes(in), written);
}

TEST_F(Cli, FailedRewriteLeavesTheTargetAlone) {
  const Bytes precious = {'k', 'e', 'e', 'p', '\n'};
  const std::string bad = Put("truncated.pcx", Bytes(s_.file.begin(), s_.file.begin() + 800));
  const std::string good = Put("good.pcx", s_.file), out = Put("out.pcx", precious);
  const std::string folder = dir_.File("a-directory"), nowhere = dir_.File("missing/out.pcx");
  fs::create_directory(folder);
  Put("a-directory/inside", precious);
  // An unreadable input, a target that cannot be replaced, a target in a missing folder.
  for (const auto& [in, target, named] :
       {std::tuple{bad, out, bad}, {good, folder, folder}, {good, nowhere, nowhere}}) {
    const Outcome r = Cmd({"rewrite", in, target});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadBytes(out), precious);
  EXPECT_EQ(ReadBytes(folder + "/inside"), precious);
  // Nothing created, and no temporary files left behind.
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{"a-directory", "good.pcx", "out.pcx", "truncated.pcx"}));
}

TEST_F(Cli, RewriteToStandardOutput) {
  const std::string in = Put("in.pcx", s_.file);
  ASSERT_EQ(Cmd({"rewrite", in, dir_.File("file.pcx")}).code, 0);
  const Outcome r = Cmd({"rewrite", in, "-"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, ReadBytes(dir_.File("file.pcx")));
  // A file really called "-" is reached through a path.
  ASSERT_EQ(Cmd({"rewrite", in, dir_.File("-")}).code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("-")), r.out);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"-", "file.pcx", "in.pcx"}));
}

TEST_F(Cli, RewriteRefusesTargetsThatAreNotPlainFiles) {
  const std::string in = Put("in.pcx", s_.file), fifo = dir_.File("pipe"),
                    device = dir_.File("null"), to_device = dir_.File("to-null");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  std::vector<std::pair<std::string, std::string>> cases = {{fifo, "a named pipe"}};
  // A device with the numbers of /dev/null; root could otherwise replace it.
  if (::geteuid() == 0) {
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(::symlink("null", to_device.c_str()), 0);
    cases.push_back({device, "a character device"});
    cases.push_back({to_device, "a character device"});
  }
  const auto entries = dir_.Entries();
  for (const auto& [target, kind] : cases) {
    SCOPED_TRACE(target);
    const Outcome r = Cmd({"rewrite", in, target});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "huewright-cli: cannot save '" + target + "': not a regular file (" + kind + ")\n");
  }
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(dir_.Entries(), entries);
}

// Every command that reads a file refuses a named pipe at once instead of waiting for
// a writer (which `timeout` would end with 124).
TEST_F(Cli, NamedPipesAreRefusedAtOnce) {
  const std::string fifo = dir_.File("pipe"), out = dir_.File("out.gpl");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const std::vector<std::vector<std::string>> cases = {
      {"info", fifo}, {"indices", fifo}, {"palette", fifo}, {"convert", fifo, out}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0]);
    const Outcome r = Cmd(args, "timeout 10 ");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(fifo + "': not a regular file"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(out));
}

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

// A picture of 32000 x 32000 pixels (1 GB) whose file is a 34 MB hole: the pixel
// buffer of `rewrite`, which holds the whole picture, is what runs out; `convert`
// streams it and finds the data too short. The ordinary build runs under an
// address-space limit; a sanitizer build, where such limits do not work, has the
// failure injected instead.
TEST_F(Cli, OutOfMemoryGivesOneLine) {
  const std::string prefix =
      kSanitized ? "HW_TEST_FAIL_ALLOCATIONS_AFTER=0 " : "ulimit -v 262144; ";
  Bytes head(s_.file.begin(), s_.file.begin() + 128);
  head[8] = head[10] = 0xFF, head[9] = head[11] = 0x7C;  // Xmax = Ymax = 31999
  head[66] = 0x00, head[67] = 0x7D;                      // BytesPerLine = 32000
  const std::string big = Put("big.pcx", head);
  ASSERT_EQ(::truncate(big.c_str(), 34'000'000), 0);
  for (const auto& [command, message] :
       {std::pair<std::string, std::string>{"rewrite", "not enough memory"},
        {"convert",
         "pixel data ends early (before the picture is complete, or runs into the "
         "palette)"}}) {
    const Outcome r = Cmd({command, big, dir_.File("out.png")}, prefix);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "huewright-cli: cannot load '" + big + "': " + message + "\n");
  }
  EXPECT_FALSE(fs::exists(dir_.File("out.png")));
}

// info, indices, palette and convert never hold the whole of a PCX picture: they
// read one five times the size of the memory they may use.
TEST_F(Cli, InspectingAndConvertingPcxNeedLittleMemory) {
  if (kSanitized) GTEST_SKIP() << "address-space limits do not work under the sanitizer";
  const std::string big = Put("big.pcx", RunsPicture(s_)), limit = "ulimit -v 32768; ";
  const Outcome info = Cmd({"info", big}, limit), palette = Cmd({"palette", big}, limit);
  ASSERT_EQ(info.code, 0) << info.err;
  ASSERT_EQ(palette.code, 0) << palette.err;
  EXPECT_EQ(palette.out, s_.palette);
  std::string hash;
  ASSERT_EQ(RunShell(limit + Quote(HW_BINARY_DIR "/huewright-cli") + " indices " + Quote(big) +
                         " | sha256sum",
                     &hash),
            0);
  EXPECT_NE(Text(info.out).find("\"pixels_sha256\":\"" + hash.substr(0, 64)), std::string::npos)
      << Text(info.out);
  // Converted within the limit, the copies hold the same picture.
  for (const char* name : {"copy.pcx", "copy.png"}) {
    const std::string copy = dir_.File(name);
    const Outcome converted = Cmd({"convert", big, copy}, limit);
    ASSERT_EQ(converted.code, 0) << converted.err;
    const Outcome copy_info = Cmd({"info", copy});
    EXPECT_NE(Text(copy_info.out).find("\"pixels_sha256\":\"" + hash.substr(0, 64)),
              std::string::npos)
        << name;
  }
  EXPECT_EQ(Cmd({"rewrite", big, dir_.File("rewritten.pcx")}).code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("copy.pcx")), ReadBytes(dir_.File("rewritten.pcx")));
}

// The 160 MB picture loads within the limit, but its encoded copy does not fit
// beside it: the failure comes from the encoder in the CLI itself and names the
// target, which is left as it was.
TEST_F(Cli, OutOfMemoryWhileRewritingNamesTheTarget) {
  const std::string prefix =
      kSanitized ? "HW_TEST_FAIL_ALLOCATIONS_AFTER=1 " : "ulimit -v 262144; ";
  const std::string big = Put("big.pcx", RunsPicture(s_)), out = Put("out.pcx", s_.file);
  const Outcome r = Cmd({"rewrite", big, out}, prefix);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "huewright-cli: " + out + ": not enough memory\n");
  EXPECT_EQ(ReadBytes(out), s_.file);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"big.pcx", "out.pcx"}));
  // Without the limit the same rewrite works.
  EXPECT_EQ(Cmd({"rewrite", big, out}).code, 0);
}

TEST_F(Cli, UsageErrorsGiveOneLineAndExitCode2) {
  const std::string f = Put("p.pcx", s_.file);
  const std::vector<std::vector<std::string>> cases = {
      // clang-format off
      {}, {"info"}, {"info", f, f}, {"indices"}, {"palette", f, "extra"}, {"rewrite", f},
      {"rewrite", f, f, f}, {"convert", f}, {"convert", f, "-"}, {"convert", f, f + ".tga"},
      {"INFO", f},
      // clang-format on
  };
  for (const auto& args : cases) {
    const Outcome r = Cmd(args);
    SCOPED_TRACE(args.empty() ? "(none)" : args[0] + " with " + std::to_string(args.size() - 1));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

// Every command that reads a picture refuses the same files with the same cause: a
// file that is neither PCX (first byte 10) nor PNG is no picture, whatever its name.
// Line breaks and backslashes in names are escaped.
TEST_F(Cli, BadFilesGiveOneLineNamingFileAndCause) {
  Bytes four_bit = s_.file, huge = s_.file, maker = s_.file;
  four_bit[3] = 4;
  std::fill(huge.begin() + 8, huge.begin() + 12, 0x70);  // Xmax = Ymax = 28784 on a 900-byte file
  maker[0] = 0x0B;
  const std::string gimp = "GIMP Palette\n1 2 3\n";
  const std::string not_a_picture = "not a picture Huewright reads";
  const std::tuple<std::string, Bytes, std::string> cases[] = {
      {"empty.pcx", {}, not_a_picture},
      {"maker.pcx", maker, not_a_picture},
      {"gimp.gpl", Bytes(gimp.begin(), gimp.end()), not_a_picture},
      {"short.pcx", Bytes(s_.file.begin(), s_.file.begin() + 300), "768-byte palette"},
      {"four-bit.pcx", four_bit, "bits per pixel"},
      {"huge.pcx", huge, "too large"},
      {"line\nbreak.pcx", four_bit, "line\\x0abreak.pcx"},
      {"back\\slash.pcx", four_bit, "back\\\\slash.pcx"},
      {"no-such.pcx", {}, "no-such.pcx"}};
  const std::string out = dir_.File("out");
  for (const auto& [name, bytes, cause] : cases) {
    SCOPED_TRACE(name);
    if (name != "no-such.pcx") Put(name, bytes);
    const std::string in = dir_.File(name);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", in},
                                                 {"indices", in},
                                                 {"palette", in},
                                                 {"rewrite", in, out + ".pcx"},
                                                 {"convert", in, out + ".pcx"},
                                                 {"convert", in, out + ".png"}}) {
      SCOPED_TRACE(args[0] + " " + args.back());
      const Outcome r = Cmd(args);
      EXPECT_EQ(r.code, 1);
      EXPECT_TRUE(r.out.empty());
      EXPECT_EQ(Lines(r.err), 1) << r.err;
      EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(dir_.Path()), std::string::npos) << r.err;  // names the file
      if (args.size() == 3) {
        EXPECT_FALSE(fs::exists(args.back())) << "wrote " << args.back();
      }
    }
  }
}

// The sample pictures load, and a rewrite keeps their pixels, palette and row length.
TEST_F(Cli, ExamplesLoadAndSurviveRewrite) {
  for (const char* name : {"landscape.pcx", "sprites.pcx", "lava_cave.pcx"}) {
    const std::string file = std::string(HW_SOURCE_DIR "/examples/") + name, copy = dir_.File(name);
    const Outcome info = Cmd({"info", file});
    ASSERT_EQ(info.code, 0) << name << ": " << info.err;
    EXPECT_NE(Text(info.out).find("\"pixels_sha256\":\"" + Sha256(Cmd({"indices", file}).out)),
              std::string::npos)
        << Text(info.out);
    ASSERT_EQ(Cmd({"rewrite", file, copy}).code, 0) << name;
    EXPECT_EQ(Cmd({"info", copy}).out, info.out) << name;
  }
}

// The sample's picture and palette in every format convert reads, made by our own
// encoders (each is checked against other programs in tests/formats).
class Convert : public Cli {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < 256; ++i) {
      entries_[i] =
          BoardEntry{{s_.palette[3 * i], s_.palette[3 * i + 1], s_.palette[3 * i + 2]}, 255};
    }
    inputs_ = {{"picture.pcx", s_.file},
               {"picture.png", *EncodeIndexedPng(5, 3, s_.pixels, entries_)}};
    for (auto [name, format] : {std::pair{"gimp.gpl", PaletteFormat::Gpl},
                                {"jasc.pal", PaletteFormat::Jasc},
                                {"table.act", PaletteFormat::Act},
                                {"list.hex", PaletteFormat::Hex},
                                {"riff.pal", PaletteFormat::Riff}}) {
      inputs_.push_back({name, EncodePaletteFile(entries_, format)});
    }
    for (const auto& [name, bytes] : inputs_) Put(name, bytes);
  }
  // Pixels then 768 palette bytes as Pillow reads the picture.
  Bytes Pillow(const std::string& file) const {
    const std::string dump = dir_.File("pillow.bin");
    std::string out;
    const int code = RunShell(
        "/usr/bin/python3 -c 'import sys; from PIL import Image\n"
        "im = Image.open(sys.argv[1]); im.load(); assert im.mode == \"P\"\n"
        "open(sys.argv[2], \"wb\").write(im.tobytes() + "
        "bytes(im.getpalette()[:768]).ljust(768, b\"\\0\"))' " +
            Quote(file) + " " + Quote(dump),
        &out);
    EXPECT_EQ(code, 0) << "Pillow (python3-pil) must read " << file << ": " << out;
    Bytes bytes = ReadBytes(dump);
    fs::remove(dump);
    return bytes;
  }
  // RGBA of every pixel as ImageMagick reads the picture.
  Bytes Magick(const std::string& file) const {
    const std::string dump = dir_.File("magick.rgba");
    std::string out;
    EXPECT_EQ(RunShell("/usr/bin/convert " + Quote(file) + " -depth 8 rgba:" + Quote(dump), &out),
              0)
        << "ImageMagick must read " << file << ": " << out;
    Bytes bytes = ReadBytes(dump);
    fs::remove(dump);
    return bytes;
  }

  BoardEntries entries_{};
  std::vector<std::pair<std::string, Bytes>> inputs_;
};

// Every input kind to every output kind: pictures only from pictures, palettes from
// anything; each result read back by our readers and pictures by Pillow and ImageMagick.
TEST_F(Convert, EveryInputKindToEveryOutputKind) {
  Bytes pillow_expected = s_.pixels, magick_expected;
  pillow_expected.insert(pillow_expected.end(), s_.palette.begin(), s_.palette.end());
  for (uint8_t v : s_.pixels) {
    magick_expected.insert(magick_expected.end(),
                           {s_.palette[3 * v], s_.palette[3 * v + 1], s_.palette[3 * v + 2], 255});
  }
  for (const auto& [in, bytes] : inputs_) {
    const bool picture_in = in.starts_with("picture");
    for (const char* ext : {".pcx", ".png", ".gpl", ".pal", ".act", ".hex"}) {
      const std::string out = dir_.File("out" + std::string(ext));
      SCOPED_TRACE(in + " -> " + out);
      const bool picture_out = ext == std::string(".pcx") || ext == std::string(".png");
      const Outcome r = Cmd({"convert", dir_.File(in), out});
      EXPECT_TRUE(r.out.empty());
      if (picture_out && !picture_in) {
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "huewright-cli: cannot load '" + dir_.File(in) +
                             "': not a picture Huewright reads\n");
        EXPECT_FALSE(fs::exists(out));
        continue;
      }
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.err, "");
      if (picture_out) {
        auto back = LoadPictureFile(out);
        ASSERT_TRUE(back) << back.error().message;
        EXPECT_EQ(back->format, PictureFormatForName(out));
        EXPECT_EQ(back->pixels, s_.pixels);
        EXPECT_EQ(back->entries, entries_);
        EXPECT_EQ(Pillow(out), pillow_expected);
        if (back->format == PictureFormat::Png) {
          EXPECT_EQ(Magick(out), magick_expected);
        }
      } else {
        auto back = LoadAnyPaletteFile(out);
        ASSERT_TRUE(back) << back.error().message;
        EXPECT_EQ(back->format, PaletteFormatForName(out));
        EXPECT_EQ(back->count, 256);
        EXPECT_EQ(back->entries, entries_);
      }
      fs::remove(out);
    }
  }
}

TEST_F(Convert, PaletteSurvivesARoundOfEveryTextAndTableFormat) {
  const std::vector<std::string> chain = {"picture.pcx", "a.gpl", "b.act",
                                          "c.pal",       "d.hex", "e.gpl"};
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    const Outcome r = Cmd({"convert", dir_.File(chain[i]), dir_.File(chain[i + 1])});
    ASSERT_EQ(r.code, 0) << chain[i] << ": " << r.err;
  }
  EXPECT_EQ(ReadBytes(dir_.File("e.gpl")), ReadBytes(dir_.File("a.gpl")));
  EXPECT_EQ(ReadBytes(dir_.File("a.gpl")), EncodePaletteFile(entries_, PaletteFormat::Gpl));
}

// A damaged input of each kind, and a file that is no palette, gives one line naming
// it and the cause, and nothing is written. A PCX gives a palette from its end alone:
// the one cut short has none.
TEST_F(Convert, BrokenInputsGiveOneLineAndWriteNothing) {
  Bytes png = ReadBytes(dir_.File("picture.png"));
  png.resize(png.size() - 20);
  const std::tuple<std::string, Bytes, std::string> cases[] = {
      {"cut.pcx", Bytes(s_.file.begin(), s_.file.begin() + 800), "pixel data ends early"},
      {"cut.png", png, "cut short"},
      {"bad.gpl",
       {'G', 'I', 'M', 'P', ' ', 'P', 'a', 'l', 'e', 't', 't', 'e', '\n', 'x', '\n'},
       "line 2"},
      {"short.act", Bytes(500, 7), "768 or 772 bytes"},
      {"some.bin", Bytes(2000, 7), "not a palette file Huewright reads"},
      {"missing.pcx", {}, "No such file"}};
  for (auto [name, bytes, cause] : cases) {
    if (name != "missing.pcx") Put(name, bytes);
    for (const char* out : {"out.png", "out.pcx", "out.gpl"}) {
      SCOPED_TRACE(name + " -> " + out);
      const Outcome r = Cmd({"convert", dir_.File(name), dir_.File(out)});
      EXPECT_EQ(r.code, 1);
      EXPECT_EQ(Lines(r.err), 1) << r.err;
      EXPECT_NE(r.err.find(dir_.File(name)), std::string::npos) << r.err;
      // A palette file is no picture, whatever its damage.
      const bool palette_to_picture =
          !name.ends_with(".pcx") && !name.ends_with(".png") && !std::string(out).ends_with(".gpl");
      if (name == "cut.pcx" && std::string(out).ends_with(".gpl")) {
        cause = "the PCX file has no 256-colour palette";
      }
      if (!palette_to_picture) {
        EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
      }
      EXPECT_FALSE(fs::exists(dir_.File(out)));
    }
  }
}

// info, indices and palette read PNG too and agree with the PCX the PNG came from;
// a PNG of fewer bits per pixel says so, its indices still one byte each.
TEST_F(Convert, InspectingPngMatchesThePcx) {
  const std::string pcx = dir_.File("picture.pcx"), png = dir_.File("round.png");
  ASSERT_EQ(Cmd({"convert", pcx, png}).code, 0);
  const std::string pcx_info = Text(Cmd({"info", pcx}).out);
  const std::string hashes = pcx_info.substr(pcx_info.find(",\"pixels_sha256\""));
  EXPECT_EQ(Text(Cmd({"info", png}).out),
            "{\"format\":\"png\",\"width\":5,\"height\":3,\"bits_per_pixel\":8" + hashes);
  EXPECT_EQ(Cmd({"indices", png}).out, s_.pixels);
  EXPECT_EQ(Cmd({"palette", png}).out, s_.palette);

  const std::string four = dir_.File("four.png");
  std::string out;
  ASSERT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                     "im = Image.new(\"P\", (7, 2)); im.putpalette(bytes(range(48)))\n"
                     "im.putdata([i % 16 for i in range(14)]); im.save(sys.argv[1], bits=4)' " +
                         Quote(four),
                     &out),
            0)
      << out;
  Bytes pixels, palette(768, 0);
  for (int i = 0; i < 14; ++i) pixels.push_back(static_cast<uint8_t>(i % 16));
  for (int i = 0; i < 48; ++i) palette[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  EXPECT_EQ(
      Text(Cmd({"info", four}).out),
      "{\"format\":\"png\",\"width\":7,\"height\":2,\"bits_per_pixel\":4,\"pixels_sha256\":\"" +
          Sha256(pixels) + "\",\"palette_sha256\":\"" + Sha256(palette) + "\"}\n");
  EXPECT_EQ(Cmd({"indices", four}).out, pixels);

  // ImageMagick's PNG8: our indices and palette are Pillow's.
  const std::string magick = dir_.File("magick.png");
  out.clear();
  ASSERT_EQ(RunShell("convert -size 31x9 gradient:red-blue -colors 40 PNG8:" + Quote(magick), &out),
            0)
      << out;
  const std::string pillow = dir_.File("pillow.bin");
  out.clear();
  ASSERT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                     "im = Image.open(sys.argv[1]); assert im.mode == \"P\"\n"
                     "p = (im.getpalette() + [0] * 768)[:768]\n"
                     "open(sys.argv[2], \"wb\").write(im.tobytes() + bytes(p))' " +
                         Quote(magick) + " " + Quote(pillow),
                     &out),
            0)
      << out;
  const Bytes theirs = ReadBytes(pillow);
  ASSERT_EQ(theirs.size(), 31u * 9u + 768u);
  EXPECT_EQ(Cmd({"indices", magick}).out, Bytes(theirs.begin(), theirs.end() - 768));
  EXPECT_EQ(Cmd({"palette", magick}).out, Bytes(theirs.end() - 768, theirs.end()));
}

// When the output cannot hold the input's alpha, one warning line (control bytes in
// the name escaped) and the file written all the same; PNG keeps it all.
TEST_F(Convert, LosingAlphaWarnsAndWritesTheFile) {
  BoardEntries clear = entries_;
  clear[0].A = 0, clear[1].A = 100, clear[2].A = 200;
  const std::string in = Put("alpha.png", *EncodeIndexedPng(5, 3, s_.pixels, clear));
  const std::string dir = dir_.Path() + "/";
  const std::pair<std::string, std::string> cases[] = {
      {"new\nline.pcx", "warning: '" + dir +
                            "new\\x0aline.pcx': the alpha of 3 entries: a PCX file has no "
                            "transparency\n"},
      {"out.pal", "warning: '" + dir + "out.pal': the alpha of 3 entries"},
      {"out.png", ""}};
  for (const auto& [name, warning] : cases) {
    SCOPED_TRACE(name);
    const std::string out = dir_.File(name);
    const Outcome r = Cmd({"convert", in, out});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.starts_with(warning)) << r.err;
    EXPECT_EQ(Lines(r.err), warning.empty() ? 0 : 1) << r.err;
    if (name.ends_with(".pal")) {
      auto back = LoadAnyPaletteFile(out);
      ASSERT_TRUE(back) << back.error().message;
      for (size_t k = 0; k < 256; ++k) ASSERT_EQ(back->entries[k].rgb, clear[k].rgb);
      continue;
    }
    auto back = LoadPictureFile(out);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(back->pixels, s_.pixels);
    for (size_t k = 0; k < 256; ++k) {
      ASSERT_EQ(back->entries[k].rgb, clear[k].rgb);
      ASSERT_EQ(back->entries[k].A, name.ends_with(".png") ? clear[k].A : 255);
    }
  }
}

}  // namespace
}  // namespace hw::test
