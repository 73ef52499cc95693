// huewright-cli convert between the exchanged palette formats: a PNG strip with
// --palette-strip, names carried into a GIMP palette and warned about elsewhere.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "../common/test_util.h"
#include "formats/palettes/palette_files.h"
#include "formats/pictures/png.h"

namespace hw::test {
namespace {

struct CliRun {
  int code = -1;
  std::string err;
};

CliRun Cli(const TempDir& dir, const std::vector<std::string>& args) {
  std::string cmd = HW_BINARY_DIR "/huewright-cli";
  for (const auto& a : args) cmd += " '" + a + "'";
  const std::string err = dir.File("stderr.txt");
  const int status = std::system((cmd + " >/dev/null 2>'" + err + "' </dev/null").c_str());
  const Bytes text = ReadBytes(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128, std::string(text.begin(), text.end())};
}

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
    const CliRun r =
        Cli(dir, {"convert", "--palette-strip", dir.File("in.gpl"), dir.File("s.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Bytes png = ReadBytes(dir.File("s.png"));
    auto pic = DecodeIndexedPng(png);
    ASSERT_TRUE(pic) << pic.error().message;
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
  EXPECT_EQ(Cli(dir, {"convert", "--palette-strip", dir.File("in.gpl"), dir.File("s.pcx")}).code,
            2);
}

TEST(ConvertPalettes, NamesGoIntoGimpPalettesAndAreWarnedAboutElsewhere) {
  TempDir dir;
  // Two version 2 swatches, the second named "Moss".
  const Bytes aco = {0, 2, 0, 2, 0, 0,   0xFF, 0xFF, 0, 0,    0,    0,   0, 0, 0,
                     0, 0, 1, 0, 0, 0,   0,    0,    0, 0xFF, 0xFF, 0,   0, 0, 0,
                     0, 0, 0, 5, 0, 'M', 0,    'o',  0, 's',  0,    's', 0, 0};
  WriteBytes(dir.File("in.aco"), aco);
  CliRun r = Cli(dir, {"convert", dir.File("in.aco"), dir.File("out.gpl")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Bytes gpl = ReadBytes(dir.File("out.gpl"));
  EXPECT_NE(std::string(gpl.begin(), gpl.end()).find("255 0 0\tIndex 0\n0 255 0\tMoss\n"),
            std::string::npos);
  r = Cli(dir, {"convert", dir.File("in.aco"), dir.File("out.txt")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("warning:"), std::string::npos);
  EXPECT_NE(r.err.find("the names of 1 entry: a Paint.NET palette has no names"), std::string::npos)
      << r.err;
  auto back = DecodePaletteFile(ReadBytes(dir.File("out.txt")), "out.txt");
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(back->entries[1], (BoardEntry{{0, 255, 0}, 255}));
}

}  // namespace
}  // namespace hw::test
