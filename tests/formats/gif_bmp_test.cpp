// GIF and BMP pictures: files Pillow and ImageMagick write read exactly as Pillow
// reads them, ours read exactly in Pillow, a round trip of any picture, and the
// damaged or hostile files that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "../common/test_util.h"
#include "formats/picture_io.h"
#include "formats/picture_opener.h"
#include "formats/pictures/bmp.h"
#include "formats/pictures/gif.h"
#include "formats/pictures/gif_lzw.h"
#include "formats/pictures/palette_extent.h"
#include "formats/pictures/pixel_limit.h"

namespace hw::test {
namespace {

// Dumps what Pillow reads of each named file: NAME.idx (one byte a pixel), NAME.pal
// (768 bytes) and NAME.trn (the transparent index, or -1).
constexpr const char* kPillowDump =
    "import sys\n"
    "from PIL import Image\n"
    "for f in sys.argv[1:]:\n"
    "    im = Image.open(f); im.load()\n"
    "    if im.mode == '1':\n"
    "        idx = bytes(1 if v else 0 for v in im.getdata()); pal = [0, 0, 0, 255, 255, 255]\n"
    "    else:\n"
    "        assert im.mode == 'P', im.mode\n"
    "        idx = im.tobytes(); pal = im.getpalette() or []\n"
    "    open(f + '.idx', 'wb').write(idx)\n"
    "    open(f + '.pal', 'wb').write(bytes(pal[:768]).ljust(768, b'\\0'))\n"
    "    open(f + '.trn', 'w').write(str(im.info.get('transparency', -1)))\n";

// Pillow writes these; ImageMagick writes a 4-bit BMP and an RLE8 one from the PNG.
constexpr const char* kPillowWrite =
    "import sys, random\n"
    "from PIL import Image\n"
    "d = sys.argv[1]; random.seed(7)\n"
    "def pic(w, h, n):\n"
    "    im = Image.new('P', (w, h))\n"
    "    im.putdata([(x * 7 + y * 3 + (x * y) % 5) % n for y in range(h) for x in range(w)])\n"
    "    im.putpalette([random.randrange(256) for _ in range(3 * n)])\n"
    "    return im\n"
    "a = pic(37, 23, 200)\n"
    "a.save(d + '/plain.gif'); a.save(d + '/inter.gif', interlace=True)\n"
    "pic(30, 20, 16).save(d + '/trans.gif', transparency=5)\n"
    "pic(33, 17, 256).save(d + '/p8.bmp'); pic(33, 17, 256).save(d + '/m.png')\n"
    "pic(35, 9, 2).convert('1').save(d + '/p1.bmp')\n";

class GifBmpInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    py_ = NeedTool("python3", "python3-pil");
    WriteBytes(At("dump.py"), Bytes(kPillowDump, kPillowDump + std::strlen(kPillowDump)));
  }
  void Run(const std::string& cmd) {
    std::string out;
    ASSERT_EQ(RunShell(cmd, &out), 0) << cmd << ": " << out;
  }
  std::string At(const std::string& name) const { return dir_.File(name); }
  // What Pillow reads of the file against what we read.
  void ExpectSameAsPillow(const std::string& name) {
    auto pic = LoadPictureFile(At(name));
    ASSERT_TRUE(pic.ok()) << pic.error().Text();
    Bytes pal;
    int clear = -1;
    for (size_t k = 0; k < 256; ++k) {
      const BoardEntry& e = pic->entries[k];
      pal.insert(pal.end(), {e.rgb.R, e.rgb.G, e.rgb.B});
      if (e.A == 0 && clear < 0) clear = static_cast<int>(k);
    }
    const Bytes trn = ReadBytes(At(name + ".trn"));
    const Bytes theirs = ReadBytes(At(name + ".pal"));
    const size_t n = static_cast<size_t>(pic->palette_count) * 3;
    EXPECT_EQ(std::tuple(pic->pixels, Bytes(pal.begin(), pal.begin() + n), clear),
              std::tuple(ReadBytes(At(name + ".idx")), Bytes(theirs.begin(), theirs.begin() + n),
                         std::stoi(std::string(trn.begin(), trn.end()))))
        << name;
  }
  std::string py_;
  TempDir dir_;
};

TEST_F(GifBmpInterop, ReadsPillowAndImageMagickFilesAsPillowDoes) {
  const std::string convert = NeedTool("convert", "imagemagick");
  if (py_.empty() || convert.empty()) return;
  WriteBytes(At("write.py"), Bytes(kPillowWrite, kPillowWrite + std::strlen(kPillowWrite)));
  Run(py_ + " " + At("write.py") + " " + dir_.Path());
  Run(convert + " " + At("m.png") + " -colors 16 BMP3:" + At("m4.bmp"));
  Run(convert + " " + At("m.png") + " -compress RLE BMP3:" + At("rle8.bmp"));
  const std::vector<std::string> names = {"plain.gif", "inter.gif", "trans.gif", "p8.bmp",
                                          "p1.bmp",    "m4.bmp",    "rle8.bmp"};
  std::string all;
  for (const auto& name : names) all += " " + At(name);
  Run(py_ + " " + At("dump.py") + all);
  for (const auto& name : names) ExpectSameAsPillow(name);
  EXPECT_EQ(LoadPictureFile(At("m4.bmp"))->palette_count, 16);
  EXPECT_EQ(ReadBytes(At("plain.gif.idx")), ReadBytes(At("inter.gif.idx")));
}

TEST_F(GifBmpInterop, PillowReadsOurFilesExactly) {
  if (py_.empty()) return;
  BoardEntries entries = Opaque(DistinctPalette(9));
  for (size_t k = 40; k < 256; ++k) entries[k] = BoardEntry{};
  entries[7].A = 0;
  Bytes px(41 * 19);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t((i * 13 + i / 41) % 40);
  std::string all;
  for (const char* name : {"ours.gif", "ours.bmp", "ours.png"}) {
    ASSERT_TRUE(SavePictureFile(At(name), PictureFormatForName(name), 41, 19, px, entries).ok());
    all += std::string(" ") + At(name);
  }
  Run(py_ + " " + At("dump.py") + all);
  for (const char* name : {"ours.gif", "ours.bmp", "ours.png"}) ExpectSameAsPillow(name);
}

// Any picture survives a GIF and a BMP round trip: the GIF keeps entries 0..L-1 and
// the lowest transparent one, the BMP all 256 colours.
TEST(GifBmp, EveryPictureRoundTrips) {
  uint32_t s = 2463534242u;
  auto next = [&] { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; };
  for (int round = 0; round < 40; ++round) {
    // The first is large enough to fill the GIF's code table and clear it many times.
    const int w = round ? 1 + int(next() % 70) : 300, h = round ? 1 + int(next() % 40) : 200;
    const int top = int(next() % 256);
    Bytes px(size_t(w) * h);
    for (auto& v : px) v = uint8_t(next() % (top + 1));
    BoardEntries e{};
    for (int k = 0; k <= top; ++k) e[size_t(k)].rgb = {uint8_t(next()), uint8_t(next()), 9};
    if (round % 3 == 0) e[next() % 256].A = 0;
    auto gif = DecodeGif(*EncodeGif(w, h, px, e));
    ASSERT_TRUE(gif.ok()) << gif.error().Text();
    EXPECT_EQ(std::tuple(gif->width, gif->height, gif->pixels, gif->entries),
              std::tuple(w, h, px, e))
        << "round " << round;
    EXPECT_GE(gif->palette_count, UsedPaletteLength(px, e));
    auto bmp = DecodeBmp(*EncodeBmp(w, h, px, e));
    ASSERT_TRUE(bmp.ok()) << bmp.error().Text();
    BoardEntries opaque = e;
    for (auto& entry : opaque) entry.A = 255;
    EXPECT_EQ(std::tuple(bmp->width, bmp->height, bmp->pixels, bmp->entries),
              std::tuple(w, h, px, opaque));
  }
}

// LZW codes packed lowest bit first, each of the width given with it, in data
// sub-blocks of `block` bytes and the zero-length one that ends them.
Bytes PackCodes(const std::vector<std::pair<uint32_t, int>>& codes, size_t block = 7) {
  Bytes packed;
  uint64_t bits = 0;
  int n = 0;
  for (auto [code, width] : codes) {
    bits |= uint64_t{code} << n;
    for (n += width; n >= 8; n -= 8, bits >>= 8) packed.push_back(uint8_t(bits));
  }
  if (n > 0) packed.push_back(uint8_t(bits));
  Bytes out;
  for (size_t at = 0; at < packed.size(); at += block) {
    const size_t k = std::min(block, packed.size() - at);
    out.push_back(uint8_t(k));
    out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + k));
  }
  out.push_back(0);
  return out;
}

TEST(GifLzw, DecodesTheTableAsItGrowsAndRefusesWhatItLacks) {
  // Code size 2: clear 4, end 5, codes from 6 at 3 bits, 4 bits from code 8. 6 is
  // used as it is defined (1 1), 7 likewise (1 1 1), then 9 (1 1 1 2).
  const auto stream = PackCodes({{4, 3}, {1, 3}, {6, 3}, {6, 3}, {7, 4}, {2, 4}, {9, 4}, {5, 4}});
  Bytes px(13);
  ASSERT_TRUE(DecodeGifLzw(stream, 2, px).ok());
  EXPECT_EQ(px, (Bytes{1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 2}));
  Bytes more(14);
  EXPECT_HAS(Why(DecodeGifLzw(stream, 2, more)), "ends early");  // the end code
  EXPECT_HAS(Why(DecodeGifLzw(Bytes(stream.begin(), stream.end() - 2), 2, px)), "ends early");
  EXPECT_HAS(Why(DecodeGifLzw(Bytes(stream.begin(), stream.end() - 1), 2, px)), "ends early");
  EXPECT_HAS(Why(DecodeGifLzw(PackCodes({{4, 3}, {1, 3}, {7, 3}}), 2, px)), "not in the table");
  EXPECT_HAS(Why(DecodeGifLzw(PackCodes({{4, 3}, {6, 3}}), 2, px)), "not in the table");
  EXPECT_FALSE(DecodeGifLzw(stream, 9, px).ok());

  // Code size 1: clear 2, end 3; only the first code after a clear is 2 bits wide,
  // then 3 bits up to code 7 and 4 bits from 8, as giflib reads such a stream.
  const auto narrow =
      PackCodes({{2, 2}, {1, 2}, {0, 3}, {4, 3}, {5, 3}, {7, 3}, {2, 4}, {1, 2}, {4, 3}, {3, 3}});
  Bytes bits(12);
  ASSERT_TRUE(DecodeGifLzw(narrow, 1, bits).ok());
  EXPECT_EQ(bits, (Bytes{1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 1, 1}));

  // A full table is kept without a clear: codes stay 12 bits wide and mean what
  // they meant. Literals 1 2 1 2 ... define 1 2, 2 1, ...: code 4095 is 2 1.
  std::vector<std::pair<uint32_t, int>> full = {{4, 3}};
  Bytes expected;
  for (uint32_t k = 0, next = 6; k < 4092; ++k) {
    const uint32_t v = 1 + k % 2;
    int width = 3;
    while (width < 12 && (1u << width) <= next) ++width;
    full.push_back({v, width});
    expected.push_back(uint8_t(v));
    next += k > 0;
  }
  for (int k = 0; k < 3; ++k) full.push_back({4095, 12}), expected.insert(expected.end(), {2, 1});
  px.assign(expected.size(), 0);
  ASSERT_TRUE(DecodeGifLzw(PackCodes(full, 255), 2, px).ok());
  EXPECT_EQ(px, expected);
}

// A BMP header of 40 bytes and a 16-entry table, for 4-bit pictures.
Bytes Bmp4(int w, int h, uint32_t compression, const Bytes& data) {
  Bytes b = {'B', 'M'};
  auto le = [&b](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(i < 4 ? uint8_t(v >> (8 * i)) : uint8_t{0});
  };
  le(0, 4), le(0, 4), le(14 + 40 + 64, 4), le(40, 4), le(uint32_t(w), 4), le(uint32_t(h), 4);
  le(1, 2), le(4, 2), le(compression, 4), le(uint32_t(data.size()), 4), le(0, 16);
  for (int k = 0; k < 16; ++k) b.insert(b.end(), {uint8_t(k), uint8_t(k * 2), uint8_t(k * 3), 0});
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// Uncompressed rows are read from the file a slice at a time: bottom-up and
// top-down, padded, packed 4 bits a pixel, they come out as DecodeBmp reads them.
TEST(GifBmp, OpenerReadsUncompressedRowsInSlicesAsDecodeBmpDoes) {
  TempDir dir;
  const int w = 701, h = 900;  // several slices, rows padded to 704 bytes
  Bytes px(size_t(w) * h);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 7 + i / w);
  const Bytes up = *EncodeBmp(w, h, px, Opaque(DistinctPalette()));
  Bytes down = up;
  for (int i = 0; i < 4; ++i) down[22 + i] = uint8_t(uint32_t(-h) >> (8 * i));
  const size_t offset = 14 + 40 + 1024, stride = 704;
  for (size_t r = 0; r < size_t(h); ++r) {
    std::memcpy(&down[offset + r * stride], &up[offset + (h - 1 - r) * stride], stride);
  }
  Bytes nibbles(20);
  for (size_t i = 0; i < nibbles.size(); ++i) nibbles[i] = uint8_t(i * 37);
  const std::pair<const char*, Bytes> files[] = {
      {"up.bmp", up}, {"down.bmp", down}, {"four.bmp", Bmp4(7, 5, 0, nibbles)}};
  for (const auto& [name, bytes] : files) {
    WriteBytes(dir.File(name), bytes);
    const Bytes expected = DecodeBmp(bytes)->pixels;
    auto opened = OpenedPicture::Open(dir.File(name));
    ASSERT_TRUE(opened) << opened.error().Text();
    for (int pass = 0; pass < 2; ++pass) {
      Bytes got;
      ASSERT_TRUE(opened->ForEachSlice([&](std::span<const uint8_t> slice) -> Status {
        got.insert(got.end(), slice.begin(), slice.end());
        return Ok{};
      }));
      EXPECT_EQ(got, expected) << name << " pass " << pass;
      ASSERT_TRUE(opened->Rewind());
    }
    EXPECT_EQ(opened->TakeWhole()->pixels, expected) << name;
  }
  EXPECT_EQ(DecodeBmp(down)->pixels, px);
  // A file cut short once opened fails on the rows it lacks, naming the file.
  auto opened = OpenedPicture::Open(dir.File("up.bmp"));
  ASSERT_TRUE(opened);
  std::filesystem::resize_file(dir.File("up.bmp"), up.size() / 2);
  EXPECT_HAS(Why(opened->TakeWhole()),
             "'" + dir.File("up.bmp") + "': the BMP's pixel rows end early");
}

TEST(GifBmp, RunLengthBmpAndHostileFiles) {
  // RLE4, bottom-up: a run, a literal of three, end of row; a move, a run; the end.
  const Bytes rle4 = Bmp4(6, 3, 2, {4, 0x12, 0, 3, 0xAB, 0xC0, 0, 0, 0, 2, 1, 1, 2, 0x3F, 0, 1});
  auto pic = DecodeBmp(rle4);
  ASSERT_TRUE(pic.ok()) << pic.error().Text();
  EXPECT_EQ(pic->pixels, (Bytes{0, 3, 15, 0, 0, 0,      // moved one right and one row up
                                0, 0, 0, 0, 0, 0,       // skipped: index 0
                                1, 2, 1, 2, 10, 11}));  // the first row is the bottom one
  // A run and a literal past the row's end are cut there; a move past it draws nothing more.
  pic = DecodeBmp(Bmp4(3, 2, 2, {5, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 2, 200, 0, 2, 0x77, 0, 1}));
  ASSERT_TRUE(pic.ok()) << pic.error().Text();
  EXPECT_EQ(pic->pixels, (Bytes{3, 4, 5, 1, 2, 1}));
  // Cut anywhere before its end, a file is refused whole.
  const Bytes gif = *EncodeGif(9, 4, Bytes(36, 3), Opaque(DistinctPalette()));
  for (size_t n = 0; n + 1 < gif.size(); ++n) {
    EXPECT_FALSE(DecodeGif(Bytes(gif.begin(), gif.begin() + long(n))).ok()) << n;
  }
  const Bytes bmp = *EncodeBmp(9, 4, Bytes(36, 3), Opaque(DistinctPalette()));
  for (size_t n = 0; n < bmp.size() - 3; ++n) {  // the last row's padding is not needed
    EXPECT_FALSE(DecodeBmp(Bytes(bmp.begin(), bmp.begin() + long(n))).ok()) << n;
  }
  for (size_t n = 0; n + 2 < rle4.size(); ++n) {
    EXPECT_FALSE(DecodeBmp(Bytes(rle4.begin(), rle4.begin() + long(n))).ok()) << n;
  }
  // Huge pictures claimed by tiny files are refused before anything is allocated.
  Bytes huge_screen = gif;
  huge_screen[6] = huge_screen[8] = 0xFF, huge_screen[7] = huge_screen[9] = 0x7F;
  EXPECT_HAS(Why(DecodeGif(huge_screen)), "too large");
  EXPECT_HAS(Why(DecodeBmp(Bmp4(30000, 30000, 2, {0, 1}))), "too large");
  Bytes true_colour = bmp;
  true_colour[28] = 24;
  EXPECT_HAS(Why(DecodeBmp(true_colour)), "true-colour");
  EXPECT_HAS(Why(DecodeBmp(Bmp4(4, 1, 1, {0, 1}))), "compression");
}

// Every kind of picture is held to the pixel limit, one pixel over it refused with
// its size, at it read; a PCX read a slice at a time as well as whole.
TEST(PixelLimit, EveryReaderRefusesAPictureAboveIt) {
  TempDir dir;
  BoardEntries entries{};
  for (size_t i = 0; i < 256; ++i) entries[i].rgb = {uint8_t(i), uint8_t(i / 2), 7};
  const std::vector<uint8_t> pixels = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  for (const auto& [format, name] :
       {std::pair(PictureFormat::Pcx, "p.pcx"), std::pair(PictureFormat::Png, "p.png"),
        std::pair(PictureFormat::Gif, "p.gif"), std::pair(PictureFormat::Bmp, "p.bmp"),
        std::pair(PictureFormat::Ilbm, "p.lbm")}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    ASSERT_TRUE(SavePictureFile(path, format, 4, 3, pixels, entries).ok());
    SetPixelLimit(11);
    const auto refused = LoadPictureFile(path);
    const auto opened = OpenedPicture::Open(path);
    SetPixelLimit(12);
    const auto read = LoadPictureFile(path);
    SetPixelLimit(kDefaultPixelLimit);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().Text(),
              "cannot load '" + path +
                  "': the picture is 4 x 3 (12 pixels), more than the limit of 11 pixels; allow "
                  "it with --max-pixels or HUEWRIGHT_MAX_PIXELS");
    EXPECT_FALSE(opened.ok());
    ASSERT_TRUE(read.ok()) << read.error().Text();
    EXPECT_EQ(read->pixels, pixels);
  }
  EXPECT_EQ(std::tuple(ParsePixelLimit("1"), ParsePixelLimit("4294967295"), ParsePixelLimit("0"),
                       ParsePixelLimit("4294967296"), ParsePixelLimit("+5"), ParsePixelLimit(""),
                       ParsePixelLimit("99999999999")),
            std::tuple(std::optional<uint64_t>(1), std::optional<uint64_t>(4294967295u),
                       std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt));
}

}  // namespace
}  // namespace hw::test
