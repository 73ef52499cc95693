// Palette files: each format read and written, what a file is taken for (pictures
// included), and the files that must be refused with a message naming the file,
// line and cause.
#include "formats/palette_files.h"

#include <gtest/gtest.h>

#include <string>

#include "../common/png_chunks.h"
#include "../common/test_util.h"
#include "formats/png.h"

namespace hw {
namespace {

using test::Bytes;
using namespace std::string_view_literals;

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }
std::string S(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Entry k: (k, 255 - k, 7k + 3), opaque; all 256 differ.
BoardEntries Distinct() {
  BoardEntries e{};
  const Palette p = test::DistinctPalette(3);
  for (size_t k = 0; k < e.size(); ++k) e[k].rgb = p[k];
  return e;
}

PaletteFile Decode(const Bytes& bytes, std::string_view name) {
  auto r = DecodePaletteFile(bytes, name);
  EXPECT_TRUE(r.ok()) << name << ": " << r.error().message;
  return r.ok() ? *r : PaletteFile{};
}

// Positions from `count` on are black and opaque.
void ExpectBlackFrom(const PaletteFile& pal, int count) {
  for (size_t k = static_cast<size_t>(count); k < 256; ++k) {
    ASSERT_EQ(pal.entries[k], BoardEntry{}) << "entry " << k;
  }
}

// The palette holds these opaque colours, then black.
void ExpectStartsWith(const PaletteFile& pal, std::vector<RGBTriple> colours) {
  BoardEntries want{};
  for (size_t k = 0; k < colours.size(); ++k) want[k].rgb = colours[k];
  EXPECT_EQ(pal.entries, want);
}

TEST(PaletteFileWrite, EveryFormatReadsBackWhatItWrote) {
  BoardEntries in = Distinct();
  in[9].A = 0;
  in[20].A = 0;   // only the first transparent entry survives in a colour table
  in[30].A = 77;  // partial opacity survives only in GIMP palettes
  const struct {
    PaletteFormat format;
    const char* name;  // .pal for RIFF: its content decides, not the JASC extension
  } cases[] = {{PaletteFormat::Gpl, "p.gpl"},  {PaletteFormat::Jasc, "p.pal"},
               {PaletteFormat::Act, "p.act"},  {PaletteFormat::Hex, "p.hex"},
               {PaletteFormat::Riff, "p.pal"}, {PaletteFormat::Pcx, "p.pcx"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(PaletteFormatName(c.format));
    const PaletteFile out = Decode(EncodePaletteFile(in, c.format), c.name);
    EXPECT_EQ(out.format, c.format);
    EXPECT_EQ(out.count, 256);
    for (size_t k = 0; k < 256; ++k) {
      ASSERT_EQ(out.entries[k].rgb, in[k].rgb) << "entry " << k;
      const uint8_t alpha = c.format == PaletteFormat::Gpl             ? in[k].A
                            : c.format == PaletteFormat::Act && k == 9 ? 0
                                                                       : 255;
      ASSERT_EQ(out.entries[k].A, alpha) << "entry " << k;
    }
  }
}

TEST(PaletteFileWrite, LayoutOfEachFormat) {
  BoardEntries in{};
  in[0].rgb = {255, 0, 16};
  in[1].rgb = {1, 2, 3};
  const std::string gpl = S(EncodePaletteFile(in, PaletteFormat::Gpl));
  EXPECT_TRUE(gpl.starts_with("GIMP Palette\n")) << gpl.substr(0, 60);
  EXPECT_NE(gpl.find("\n255 0 16\tIndex 0\n1 2 3\tIndex 1\n"), std::string::npos);
  const std::string jasc = S(EncodePaletteFile(in, PaletteFormat::Jasc));
  EXPECT_TRUE(jasc.starts_with("JASC-PAL\r\n0100\r\n256\r\n255 0 16\r\n1 2 3\r\n0 0 0\r\n"));
  EXPECT_EQ(jasc.size(), 21 + 10 + 7 + 254 * 7);
  const std::string hex = S(EncodePaletteFile(in, PaletteFormat::Hex));
  EXPECT_TRUE(hex.starts_with("ff0010\n010203\n000000\n"));
  EXPECT_EQ(hex.size(), 256u * 7);

  Bytes act = EncodePaletteFile(in, PaletteFormat::Act);
  ASSERT_EQ(act.size(), 772u);
  EXPECT_EQ(Bytes(act.begin(), act.begin() + 6), (Bytes{255, 0, 16, 1, 2, 3}));
  EXPECT_EQ(Bytes(act.end() - 4, act.end()), (Bytes{0x01, 0x00, 0xFF, 0xFF})) << "no transparency";
  in[255].A = 0;
  in[254].A = 0;  // the first transparent entry is the one written
  act = EncodePaletteFile(in, PaletteFormat::Act);
  EXPECT_EQ(Bytes(act.end() - 4, act.end()), (Bytes{0x01, 0x00, 0x00, 0xFE}));

  const Bytes riff = EncodePaletteFile(in, PaletteFormat::Riff);
  ASSERT_EQ(riff.size(), 24u + 1024);
  EXPECT_EQ(S(Bytes(riff.begin(), riff.begin() + 24)),
            S(B("RIFF\x10\x04\0\0PAL data\x04\x04\0\0\0\x03\0\x01"sv)));
  EXPECT_EQ(Bytes(riff.begin() + 24, riff.begin() + 28), (Bytes{255, 0, 16, 0}));

  // The PCX palette file is a 16 x 16 picture showing each index once, in order.
  const Bytes pcx = EncodePaletteFile(in, PaletteFormat::Pcx);
  auto pic = DecodePcx(pcx);
  ASSERT_TRUE(pic.ok()) << pic.error().message;
  EXPECT_EQ(std::tuple(pic->size.width, pic->size.height), std::tuple(16, 16));
  for (size_t k = 0; k < 256; ++k) ASSERT_EQ(pic->pixels[k], k);
  EXPECT_EQ(pic->palette[0], (RGBTriple{255, 0, 16}));
}

TEST(PaletteFileRead, TextFormatsWithFewerThan256Entries) {
  const struct {
    const char* name;
    const char* text;
    PaletteFormat format;
    int count;
  } cases[] = {
      {"a.gpl",
       "GIMP Palette\nName: Mixed\nColumns: 4\n# a comment\n\n  10  20  30\tDark blue\n"
       "0 0 0\n255 255 255 White with spaces in the name\n  # indented comment\n1\t2\t3",
       PaletteFormat::Gpl, 4},
      {"crlf.gpl", "GIMP Palette\r\n10 20 30 x\r\n0 0 0\r\n255 255 255\r\n1 2 3\r\n",
       PaletteFormat::Gpl, 4},
      {"bom.gpl", "\xEF\xBB\xBFGIMP Palette\n10 20 30\n0 0 0\n255 255 255\n1 2 3\n",
       PaletteFormat::Gpl, 4},
      {"a.pal", "JASC-PAL\r\n0100\r\n4\r\n10 20 30\r\n0 0 0\r\n255 255 255\r\n1 2 3\r\n",
       PaletteFormat::Jasc, 4},
      {"lf.pal", "JASC-PAL\n0100\n4\n10 20 30\n0 0 0\n255 255 255\n1 2 3", PaletteFormat::Jasc, 4},
      {"a.hex", "0A141e\n\n#000000\n  #FFFFFF  \r\n010203\n\n", PaletteFormat::Hex, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PaletteFile pal = Decode(B(c.text), c.name);
    EXPECT_EQ(pal.format, c.format);
    ASSERT_EQ(pal.count, c.count);
    ExpectStartsWith(pal, {{10, 20, 30}, {0, 0, 0}, {255, 255, 255}, {1, 2, 3}});
  }
}

Bytes Act(int count, int transparent) {
  Bytes act(768);
  for (size_t i = 0; i < act.size(); ++i) act[i] = static_cast<uint8_t>(i * 5 + 1);
  if (count >= 0) {
    act.insert(act.end(),
               {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
                static_cast<uint8_t>(transparent >> 8), static_cast<uint8_t>(transparent)});
  }
  return act;
}

TEST(PaletteFileRead, AdobeColourTablesWithAndWithoutTrailer) {
  const struct {
    int count, transparent;  // count -1: a 768-byte file without trailer
    int expect_count, expect_clear;
  } cases[] = {
      {-1, 0, 256, -1},     {256, 0xFFFF, 256, -1}, {16, 3, 16, 3},       {16, 16, 16, -1},
      {256, 255, 256, 255}, {1, 0, 1, 0},           {16, 0xFFFF, 16, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "count " << c.count << " transparent " << c.transparent);
    const Bytes file = Act(c.count, c.transparent);
    const PaletteFile pal = Decode(file, "t.act");
    EXPECT_EQ(pal.format, PaletteFormat::Act);
    ASSERT_EQ(pal.count, c.expect_count);
    // Entry k comes from bytes 3k..3k+2 of the file, never from 4 bytes further on.
    for (size_t k = 0; k < static_cast<size_t>(pal.count); ++k) {
      ASSERT_EQ(pal.entries[k].rgb, (RGBTriple{file[3 * k], file[3 * k + 1], file[3 * k + 2]}));
      ASSERT_EQ(pal.entries[k].A, static_cast<int>(k) == c.expect_clear ? 0 : 255) << k;
    }
    ExpectBlackFrom(pal, pal.count);
  }
}

TEST(PaletteFileRead, RiffSkipsOtherChunks) {
  // A LIST chunk of odd size (padded to even) before the data chunk.
  Bytes f = B("RIFF");
  f.insert(f.end(), {0, 0, 0, 0});
  for (auto part : {B("PAL LIST"), Bytes{3, 0, 0, 0, 'a', 'b', 'c', 0}, B("data"),
                    Bytes{16, 0, 0, 0, 0, 3, 3, 0, 10, 20, 30, 0, 0, 0, 0, 9, 1, 2, 3, 0}}) {
    f.insert(f.end(), part.begin(), part.end());
  }
  f[4] = static_cast<uint8_t>(f.size() - 8);
  const PaletteFile pal = Decode(f, "r.pal");
  EXPECT_EQ(pal.format, PaletteFormat::Riff);
  ASSERT_EQ(pal.count, 3);
  ExpectStartsWith(pal, {{10, 20, 30}, {0, 0, 0}, {1, 2, 3}});
}

TEST(PaletteFileRead, ContentDecidesBeforeTheExtension) {
  const Bytes gpl = B("GIMP Palette\n1 2 3\n"), jasc = B("JASC-PAL\n0100\n1\n1 2 3\n");
  const Bytes riff = EncodePaletteFile(Distinct(), PaletteFormat::Riff);
  const Bytes pcx = EncodePaletteFile(Distinct(), PaletteFormat::Pcx);
  const Bytes png = *EncodeIndexedPng(1, 1, Bytes{0}, Distinct());
  Bytes raw(768);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i + 1);
  const struct {
    Bytes bytes;
    const char* name;
    PaletteFormat format;
  } cases[] = {
      {gpl, "x.act", PaletteFormat::Gpl},
      {gpl, "x.hex", PaletteFormat::Gpl},
      {jasc, "x.gpl", PaletteFormat::Jasc},
      {jasc, "x.act", PaletteFormat::Jasc},
      {riff, "x.hex", PaletteFormat::Riff},
      {riff, "x", PaletteFormat::Riff},
      {Act(16, 1), "x.ACT", PaletteFormat::Act},
      {B("ff0000\n"), "dir/x.Hex", PaletteFormat::Hex},
      // Pictures by their content, whatever the name.
      {pcx, "x.hex", PaletteFormat::Pcx},
      {png, "x.act", PaletteFormat::Pcx},
      // Not recognised: a .pal or .gpl without its signature is raw colours.
      {raw, "x.pal", PaletteFormat::Pcx},
      {raw, "x.gpl", PaletteFormat::Pcx},
      {raw, "x.act.bak", PaletteFormat::Pcx},
      {raw, "dir.act/x", PaletteFormat::Pcx},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto head = std::span(c.bytes).first(std::min(c.bytes.size(), kPaletteSniffBytes));
    EXPECT_EQ(SniffPaletteFormat(head, c.name), c.format);
    EXPECT_EQ(Decode(c.bytes, c.name).format, c.format);
  }
  const PaletteFile from_raw = Decode(raw, "x.pal");
  EXPECT_EQ(from_raw.count, 256);
  EXPECT_EQ(from_raw.entries[0].rgb, (RGBTriple{1, 2, 3}));
  EXPECT_EQ(from_raw.entries[255].rgb, (RGBTriple{254, 255, 0}));
}

// A picture gives its own palette: a PNG its PLTE entries with their tRNS alpha, a
// PCX the 768 bytes after the byte 12 at its end, whatever its pixels.
TEST(PaletteFileRead, PicturesGiveTheirOwnPalette) {
  const BoardEntries entries = Distinct();
  std::vector<test::Chunk> chunks = test::Chunks(*EncodeIndexedPng(1, 1, Bytes{0}, entries));
  ASSERT_EQ(chunks[1].type, "PLTE");
  chunks[1].data.resize(15);
  chunks.insert(chunks.begin() + 2, test::Chunk{"tRNS", {0, 128, 7}});
  const PaletteFile png = Decode(test::Assemble(chunks), "p.png");
  EXPECT_EQ(png.count, 5);
  BoardEntries want{};
  for (size_t k = 0; k < 5; ++k) want[k].rgb = entries[k].rgb;
  want[0].A = 0, want[1].A = 128, want[2].A = 7;
  EXPECT_EQ(png.entries, want);

  Bytes pcx = EncodePaletteFile(entries, PaletteFormat::Pcx);
  std::fill(pcx.begin() + 128, pcx.end() - 769, 0xC0);  // pixels that do not decode
  const PaletteFile from_pcx = Decode(pcx, "p.pcx");
  EXPECT_EQ(from_pcx.count, 256);
  EXPECT_EQ(from_pcx.entries, entries);
}

// A colour table is raw colours, so its first entries may spell a signature.
TEST(PaletteFileRead, ColourTableSpellingASignatureStillReads) {
  for (std::string_view spelled :
       {"JASC-PAL\r\n0100\r\n"sv, "GIMP Palette\n1 2"sv, "RIFF\4\4\0\0PAL "sv}) {
    SCOPED_TRACE(spelled);
    BoardEntries in = Distinct();
    for (size_t i = 0; i < spelled.size(); ++i) {
      RGBTriple& c = in[i / 3].rgb;
      (i % 3 == 0 ? c.R : i % 3 == 1 ? c.G : c.B) = static_cast<uint8_t>(spelled[i]);
    }
    const PaletteFile out = Decode(EncodePaletteFile(in, PaletteFormat::Act), "x.act");
    EXPECT_EQ(out.format, PaletteFormat::Act);
    EXPECT_EQ(out.entries, in);
  }
}

TEST(PaletteFileRead, RefusesBrokenFiles) {
  Bytes riff = EncodePaletteFile(Distinct(), PaletteFormat::Riff);
  auto riff_with = [&riff](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes f = riff;
    std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
    return f;
  };
  // A PNG's compressed data (the file without its signature) and a PCX without the
  // byte 12 before its last 768 bytes.
  const Bytes png = *EncodeIndexedPng(1, 1, Bytes{0}, Distinct());
  const Bytes pcx = EncodePaletteFile(Distinct(), PaletteFormat::Pcx);
  Bytes no_marker = pcx;
  no_marker[no_marker.size() - 769] = 0;
  Bytes short_pcx(896, 0);  // the byte 12 in place, but no room for a header before it
  short_pcx[0] = 10, short_pcx[896 - 769] = 12;
  std::string many_hex, many_gpl = "GIMP Palette\n";
  for (int i = 0; i < 257; ++i) many_hex += "102030\n", many_gpl += "1 2 3\n";
  const struct {
    const char* name;
    Bytes bytes;
    const char* fragment;
  } cases[] = {
      // GIMP
      {"a.gpl", B("GIMP Palette\n1 2 3\n4 5\n"), "a.gpl, line 3: expected three numbers"},
      {"a.gpl", B("GIMP Palette\n1 2 3\n4 5 x6\n"), "line 3: 'x6' is not a number"},
      {"a.gpl", B("GIMP Palette\n1 256 3\n"), "line 2: value 256 is outside 0..255"},
      {"a.gpl", B("GIMP Palette\n1 -1 3\n"), "line 2: value -1 is outside 0..255"},
      // Numbers quoted as written, not as parsed; cut when long.
      {"a.gpl", B("GIMP Palette\n99999999999999999999 0 0\n"),
       "line 2: value 99999999999999999999 is outside 0..255"},
      {"a.gpl", B("GIMP Palette\n1 2 +0001234567890123456789012345\n"),
       "line 2: value +00012345678901234567890... is outside 0..255"},
      {"a.gpl", B("GIMP Palette\r\n\r\n1,2,3\r\n"), "line 3: '1,2,3' is not a number"},
      {"a.gpl", B("GIMP Palette\n# only comments\n"), "a.gpl: the palette holds no colours"},
      {"a.gpl", B(many_gpl), "line 258: more than 256 colours"},
      {"a.gpl", B("GIMP Palette v2\n1 2 3\n"), "line 1: a GIMP palette starts with"},
      // JASC
      {"a.pal", B("JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n"), "a.pal: states 3 colours but holds 2"},
      {"a.pal", B("JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n"), "line 5: more colours than the 1 stated"},
      {"a.pal", B("JASC-PAL\n0100\n2\n1 2 3\n4 5 6 7\n"), "line 5: '7' follows the three numbers"},
      {"a.pal", B("JASC-PAL\n0100\n2\n1 2 3\n4 5\n"), "line 5: expected three numbers"},
      {"a.pal", B("JASC-PAL\n0100\n257\n"), "line 3: a colour count of 257 is outside 1..256"},
      {"a.pal", B("JASC-PAL\n0100\n0\n"), "line 3: a colour count of 0"},
      {"a.pal", B("JASC-PAL\n0100\n99999999999\n"),
       "line 3: a colour count of 99999999999 is outside 1..256"},
      {"a.pal", B("JASC-PAL\n0100\nabc\n"), "line 3: 'abc' is not a colour count"},
      {"a.pal", B("JASC-PAL\n0200\n1\n1 2 3\n"), "line 2: expected the JASC palette version"},
      {"a.pal", B("JASC-PAL\n0100"), "line 3: the colour count is missing"},
      {"a.pal", B("JASC-PAL\r\n0100\r\n1\r\n1 2 300\r\n"), "line 4: value 300 is outside"},
      // hex
      {"a.hex", B("ff00zz\n"), "a.hex, line 1: bad hex digit 'z'"},
      {"a.hex", B("ffffff\n\nff00f\n"), "line 3: expected six hex digits (rrggbb), found 5"},
      {"a.hex", B("ff00ff00\n"), "line 1: expected six hex digits (rrggbb), found 8"},
      {"a.hex", B("#\n"), "found 0"},
      {"a.hex", B("ff 00 ff\n"), "bad hex digit ' '"},
      {"a.hex", B("\x01\x02\n"), "bad hex digit '?'"},
      {"a.hex", B("\n\n"), "a.hex: the palette holds no colours"},
      {"a.hex", B(many_hex), "line 257: more than 256 colours"},
      // Adobe colour tables
      {"a.act", Act(0, 0xFFFF), "a.act: a colour count of 0 is outside 1..256"},
      {"a.act", Act(257, 0xFFFF), "a colour count of 257"},
      {"a.act", Bytes(767), "holds 768 or 772 bytes, this file 767"},
      {"a.act", Bytes(770), "this file 770"},
      {"a.act", Bytes(1000), "this file 1000"},
      // RIFF
      {"a.pal", riff_with(22, {0x01, 0x01}), "a.pal: a colour count of 257 is outside 1..256"},
      {"a.pal", riff_with(22, {0xFF, 0x00}), "states 255 colours but its 'data' chunk holds 1024"},
      {"a.pal", riff_with(22, {0x00, 0x00}), "a colour count of 0"},
      {"a.pal", riff_with(20, {0x00, 0x01}), "unknown RIFF palette version 1.0"},
      {"a.pal", riff_with(4, {0x1D, 0x04}), "the RIFF header states 1053 bytes"},
      {"a.pal", riff_with(4, {0xFF, 0xFF, 0xFF, 0xFF}), "the RIFF header states 4294967295"},
      {"a.pal", riff_with(16, {0x05, 0x04}), "chunk 'data' of 1029 bytes runs past the end"},
      {"a.pal", riff_with(16, {0xFF, 0xFF, 0xFF, 0xFF}), "runs past the end"},
      {"a.pal", riff_with(12, {'d', 'a', 't', 'b'}), "has no 'data' chunk"},
      {"a.pal", riff_with(16, {0x02, 0x00, 0x00, 0x00}), "too short for its header"},
      {"a.pal", B("RIFF\x04\0\0\0PAL "sv), "has no 'data' chunk"},
      // nothing recognised: only exactly 768 bytes are taken, as raw colours
      {"a.pal", Bytes(767), "a.pal: not a palette file Huewright reads"},
      {"a.pal", Bytes(769), "a.pal: not a palette file Huewright reads"},
      {"a.bin", Bytes(2000, 7), "a.bin: not a palette file Huewright reads"},
      {"a.bin", Bytes(png.begin() + 8, png.end()), "a.bin: not a palette file Huewright reads"},
      {"a.gpl", B("GIMP"), "a.gpl: not a palette file Huewright reads"},
      {"noext", Bytes{}, "noext: not a palette file Huewright reads"},
      // pictures without a palette to give
      {"a.pcx", no_marker, "a.pcx: the PCX file has no 256-colour palette"},
      {"a.pcx", short_pcx, "the PCX file has no 256-colour palette"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " expecting: " + c.fragment);
    auto r = DecodePaletteFile(c.bytes, c.name);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().message.find(c.fragment), std::string::npos) << r.error().message;
  }
}

TEST(PaletteFileRead, SizeLimits) {
  std::string text = "GIMP Palette\n1 2 3\n";
  text.resize(kMaxTextPaletteBytes + 1, '\n');
  auto r = DecodePaletteFile(B(text), "big.gpl");
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.error().message.find("too large"), std::string::npos) << r.error().message;
  text.resize(kMaxTextPaletteBytes);
  EXPECT_TRUE(DecodePaletteFile(B(text), "big.gpl").ok()) << "1 MiB exactly is accepted";
}

TEST(PaletteFileFormats, ExtensionsForWriting) {
  const struct {
    const char* name;
    std::optional<PaletteFormat> format;
  } cases[] = {
      {"a.gpl", PaletteFormat::Gpl}, {"a.PAL", PaletteFormat::Jasc},
      {"a.act", PaletteFormat::Act}, {"/x/a.Hex", PaletteFormat::Hex},
      {"a.pcx", PaletteFormat::Pcx}, {"a.png", PaletteFormat::PngStrip},
      {"gpl", std::nullopt},         {"x.gpl/a", std::nullopt},
      {"a.", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(PaletteFormatForExtension(c.name), c.format) << c.name;
}

}  // namespace
}  // namespace hw
