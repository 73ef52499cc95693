// Console palette files: each format against words computed by hand for a
// 16-colour palette, read back and written again, the lengths they take, and the
// files they refuse.
#include "formats/palettes/palette_console.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "../common/test_util.h"
#include "formats/palettes/palette_files.h"
#include "formats/picture_io.h"
#include "formats/save_losses.h"

namespace hw::test {
namespace {

constexpr RGBTriple kSixteen[16] = {
    {0, 0, 0},     {255, 255, 255}, {255, 0, 0},     {0, 255, 0},  {0, 0, 255},     {128, 128, 128},
    {36, 73, 109}, {18, 19, 200},   {100, 150, 200}, {8, 9, 10},   {127, 128, 129}, {250, 5, 130},
    {64, 32, 16},  {17, 34, 51},    {204, 102, 51},  {90, 180, 45}};

BoardEntries Sixteen() {
  BoardEntries e{};
  for (size_t k = 0; k < 16; ++k) e[k].rgb = kSixteen[k];
  return e;
}

// 16-bit words in the byte order of the format.
Bytes Words(const std::vector<int>& words, bool little_endian) {
  Bytes out;
  for (int w : words) {
    const uint8_t hi = static_cast<uint8_t>(w >> 8), lo = static_cast<uint8_t>(w & 0xFF);
    out.insert(out.end(), little_endian ? std::initializer_list<uint8_t>{lo, hi}
                                        : std::initializer_list<uint8_t>{hi, lo});
  }
  return out;
}

TEST(ConsolePalette, EachFormatWritesTheHandComputedWordsAndReadsThemBack) {
  const struct {
    PaletteFormat format;
    Bytes bytes;
  } cases[] = {
      {PaletteFormat::Vga6, {0,  0,  0, 63, 63, 63, 63, 0,  0,  0,  63, 0,  0,  0,  63, 32,
                             32, 32, 9, 18, 27, 4,  5,  49, 25, 37, 49, 2,  2,  2,  31, 32,
                             32, 62, 1, 32, 16, 8,  4,  4,  8,  12, 50, 25, 12, 22, 44, 11}},
      {PaletteFormat::Bgr15, Words({0x0000, 0x7FFF, 0x001F, 0x03E0, 0x7C00, 0x4210, 0x3524, 0x6042,
                                    0x624C, 0x0421, 0x420F, 0x403E, 0x0888, 0x1882, 0x1999, 0x16CB},
                                   true)},
      {PaletteFormat::Md9, Words({0x0000, 0x0EEE, 0x000E, 0x00E0, 0x0E00, 0x0888, 0x0642, 0x0A20,
                                  0x0A86, 0x0000, 0x0886, 0x080E, 0x0024, 0x0220, 0x026C, 0x02A4},
                                 false)},
      {PaletteFormat::Amiga12,
       Words({0x0000, 0x0FFF, 0x0F00, 0x00F0, 0x000F, 0x0888, 0x0246, 0x011C, 0x069C, 0x0011,
              0x0788, 0x0F08, 0x0421, 0x0123, 0x0C63, 0x05B3},
             false)},
  };
  // Read back: md9 (128,128,128) is k = 4 of 3 bits, 146; amiga12 (8, 9, 10) is
  // 0, 1, 1 of 4 bits, 0 17 17.
  const RGBTriple md9_back[16] = {{0, 0, 0},       {255, 255, 255}, {255, 0, 0},     {0, 255, 0},
                                  {0, 0, 255},     {146, 146, 146}, {36, 73, 109},   {0, 36, 182},
                                  {109, 146, 182}, {0, 0, 0},       {109, 146, 146}, {255, 0, 146},
                                  {73, 36, 0},     {0, 36, 36},     {219, 109, 36},  {73, 182, 36}};
  std::mt19937 gen(3);
  for (const auto& c : cases) {
    const std::string key(ConsoleFormatKey(c.format));
    EXPECT_EQ(ConsoleFormatByName(key), c.format);
    EXPECT_EQ(EncodePaletteFile(Sixteen(), c.format, nullptr, 16), c.bytes) << key;
    auto back = DecodePaletteFileAs(c.format, c.bytes, "x");
    ASSERT_TRUE(back) << key << ": " << back.error().Text();
    EXPECT_EQ(back->count, 16);
    const ColourTarget depth = ConsoleFormatTarget(c.format);
    for (size_t k = 0; k < 256; ++k) {
      EXPECT_EQ(back->entries[k],
                (BoardEntry{k < 16 ? SnapColour(depth, kSixteen[k]) : RGBTriple{}, 255}))
          << key << " " << k;
      if (c.format == PaletteFormat::Md9 && k < 16) {
        EXPECT_EQ(back->entries[k].rgb, md9_back[k]);
      }
    }
    const int changes = c.format == PaletteFormat::Amiga12 ? 9
                        : c.format == PaletteFormat::Bgr15 ? 11
                                                           : 10;
    EXPECT_HAS(*PaletteSaveLoses(c.format, Sixteen(), nullptr, 16),
               std::to_string(changes) + " entries of 16 changed");
    // Any 256 colours: written snapped, read back as written, and written again
    // byte for byte; 32 entries stay 32, other counts write 256.
    BoardEntries random{};
    for (BoardEntry& e : random) e.rgb = {uint8_t(gen()), uint8_t(gen()), uint8_t(gen())};
    for (int count : {32, 256, 100}) {
      const Bytes written = EncodePaletteFile(random, c.format, nullptr, count);
      const int n = count == 100 ? 256 : count;
      ASSERT_EQ(written.size(), size_t(n) * (c.format == PaletteFormat::Vga6 ? 3 : 2));
      auto read = DecodePaletteFileAs(c.format, written, "x");
      ASSERT_TRUE(read) << read.error().Text();
      EXPECT_EQ(read->count, n);
      for (size_t k = 0; k < size_t(n); ++k)
        EXPECT_EQ(read->entries[k].rgb, SnapColour(depth, random[k].rgb));
      EXPECT_EQ(EncodePaletteFile(read->entries, c.format, nullptr, n), written);
    }
  }
}

TEST(ConsolePalette, LengthsValuesAndTheRawDefault) {
  for (PaletteFormat f :
       {PaletteFormat::Vga6, PaletteFormat::Bgr15, PaletteFormat::Md9, PaletteFormat::Amiga12}) {
    const size_t per = f == PaletteFormat::Vga6 ? 3 : 2;
    for (size_t n : {0, 1, 15, 17, 64, 255, 257}) {
      auto r = DecodePaletteFileAs(f, Bytes(n * per), "odd.bin");
      EXPECT_FALSE(r) << n;
      if (!r) {
        EXPECT_HAS(r.error().Text(), "cannot load 'odd.bin': a ");
      }
    }
    EXPECT_FALSE(DecodePaletteFileAs(f, Bytes(16 * per + 1), "odd.bin"));
  }
  Bytes vga(768, 63);
  vga[700] = 64;
  auto refused = DecodePaletteFileAs(PaletteFormat::Vga6, vga, "title.vga");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().Text(),
            "cannot load 'title.vga': byte 700: value 64 is above 63: not a vga6 palette");
  // Without a named format the same 768 bytes are 8-bit colours.
  auto raw = DecodePaletteFile(vga, "title.vga");
  ASSERT_TRUE(raw) << raw.error().Text();
  EXPECT_EQ(std::tuple(raw->count, raw->entries[233].rgb), std::tuple(256, RGBTriple{63, 64, 63}));
  // Bits a word does not use are ignored.
  auto md =
      DecodePaletteFileAs(PaletteFormat::Md9, Words(std::vector<int>(16, 0xF111), false), "m");
  ASSERT_TRUE(md);
  EXPECT_EQ(md->entries[0].rgb, (RGBTriple{0, 0, 0}));
  auto bgr =
      DecodePaletteFileAs(PaletteFormat::Bgr15, Words(std::vector<int>(16, 0x8000), true), "b");
  ASSERT_TRUE(bgr);
  EXPECT_EQ(bgr->entries[0].rgb, (RGBTriple{0, 0, 0}));

  // From files: only by the format named, a file too long refused before it is read.
  TempDir dir;
  WriteBytes(dir.File("big.bin"), Bytes(4096));
  auto big = LoadPaletteFileAs(dir.File("big.bin"), PaletteFormat::Md9);
  ASSERT_FALSE(big);
  EXPECT_HAS(big.error().Text(), "big.bin");
  EXPECT_HAS(big.error().Text(), "4, 16, 32 or 256 entries, this file 4096 bytes");
  WriteBytes(dir.File("p.bin"), EncodePaletteFile(Sixteen(), PaletteFormat::Amiga12, nullptr, 32));
  auto loaded = LoadPaletteFileAs(dir.File("p.bin"), PaletteFormat::Amiga12);
  ASSERT_TRUE(loaded) << loaded.error().Text();
  EXPECT_EQ(std::tuple(loaded->count, loaded->entries[13].rgb), std::tuple(32, kSixteen[13]));
  EXPECT_EQ(PaletteSaveLoses(PaletteFormat::Amiga12, Sixteen(), nullptr, 16),
            "9 entries of 16 changed to the nearest colours of the amiga12 format");
}

}  // namespace
}  // namespace hw::test
