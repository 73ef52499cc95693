// Palette files: each format written and read back, what a file is taken for
// (pictures included), the files that must be refused with a message naming the
// file, line and cause, and files of any size loaded in bounded memory.
#include "formats/palettes/palette_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <numeric>
#include <string>

#include "../common/test_util.h"
#include "colour/target.h"
#include "formats/palettes/palette_console.h"
#include "formats/picture_io.h"
#include "formats/pictures/png.h"

namespace hw::test {
namespace {

using namespace std::string_view_literals;

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }
std::string S(const Bytes& b) { return std::string(b.begin(), b.end()); }

PaletteFile Decode(const Bytes& bytes, std::string_view name) {
  auto r = DecodePaletteFile(bytes, name);
  EXPECT_TRUE(r.ok()) << name << ": " << r.error().Text();
  return r.ok() ? *r : PaletteFile{};
}

// These opaque colours, then black.
BoardEntries StartingWith(std::vector<RGBTriple> colours) {
  BoardEntries want{};
  for (size_t k = 0; k < colours.size(); ++k) want[k].rgb = colours[k];
  return want;
}

// 768 bytes of colours, then (count >= 0) the count and transparent index.
Bytes Act(int count, int transparent) {
  Bytes act(768);
  for (size_t i = 0; i < act.size(); ++i) act[i] = static_cast<uint8_t>(i * 5 + 1);
  if (count >= 0) {
    act.insert(act.end(), {uint8_t(count >> 8), uint8_t(count), uint8_t(transparent >> 8),
                           uint8_t(transparent)});
  }
  return act;
}

TEST(PaletteFile, EveryFormatReadsBackWhatItWroteInItsLayout) {
  BoardEntries in = Opaque(DistinctPalette(3));
  in[9].A = 0;
  in[20].A = 0;  // the colour table's trailer names the first
  const struct {
    PaletteFormat format;
    const char* name;  // .pal for RIFF: its content decides, not the JASC extension
    std::string_view starts;
  } cases[] = {{PaletteFormat::Gpl, "p.gpl", "GIMP Palette\n"},
               {PaletteFormat::Jasc, "p.pal", "JASC-PAL\r\n0100\r\n256\r\n0 255 3\r\n1 254 10\r\n"},
               {PaletteFormat::Act, "p.act", "\0\xff\x03\x01\xfe\x0a"sv},
               {PaletteFormat::Hex, "p.hex", "00ff03\n01fe0a\n"},
               {PaletteFormat::Riff, "p.pal",
                "RIFF\x10\x04\0\0PAL data\x04\x04\0\0\0\x03\0\x01\0\xff\x03\0"sv},
               {PaletteFormat::Pcx, "p.pcx", "\x0a"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(PaletteFormatName(c.format));
    const Bytes file = EncodePaletteFile(in, c.format);
    EXPECT_EQ(S(file).substr(0, c.starts.size()), c.starts);
    // Read back whole (the alpha each keeps: the exchange tests' writers).
    const PaletteFile out = Decode(file, c.name);
    EXPECT_EQ(std::tuple(out.format, out.count), std::tuple(c.format, 256));
    for (size_t k = 0; k < 256; ++k) ASSERT_EQ(out.entries[k].rgb, in[k].rgb) << "entry " << k;
  }
  // The colour table's trailer: 256 entries, the first transparent one, or 0xFFFF.
  EXPECT_EQ(S(EncodePaletteFile(in, PaletteFormat::Act)).substr(768), "\x01\x00\x00\x09"sv);
  EXPECT_EQ(S(EncodePaletteFile(Opaque({}), PaletteFormat::Act)).substr(768), "\x01\x00\xff\xff"sv);
  // The PCX palette file is a 16 x 16 picture showing each index once, in order.
  auto pic = DecodePcx(EncodePaletteFile(in, PaletteFormat::Pcx));
  Bytes order(256);
  std::iota(order.begin(), order.end(), uint8_t{0});
  EXPECT_EQ(std::tuple(pic->width, pic->height, pic->pixels), std::tuple(16, 16, order));
}

// A bank of the board (16 or 4 entries) saved in each format written reads back as
// the same entries (a console format's snapped to its depth), and as that many
// where the format keeps a count.
TEST(PaletteFile, ABankReadsBackAsTheSameEntriesInEveryFormat) {
  const BoardEntries board = Opaque(DistinctPalette(5));
  TempDir dir;
  const struct {
    PaletteFormat format;
    const char* name;
  } cases[] = {{PaletteFormat::Gpl, "b.gpl"},      {PaletteFormat::Jasc, "b.pal"},
               {PaletteFormat::Act, "b.act"},      {PaletteFormat::Hex, "b.hex"},
               {PaletteFormat::Riff, "b.riff"},    {PaletteFormat::PaintNet, "b.txt"},
               {PaletteFormat::PngStrip, "b.png"}, {PaletteFormat::Pcx, "b.pcx"},
               {PaletteFormat::Vga6, "b.vga6"},    {PaletteFormat::Bgr15, "b.bgr15"},
               {PaletteFormat::Md9, "b.md9"},      {PaletteFormat::Amiga12, "b.amiga12"}};
  for (const auto& c : cases) {
    for (int size : {16, 4}) {
      SCOPED_TRACE(std::string(c.name) + " of " + std::to_string(size));
      const auto bank = std::span(board).subspan(size_t(3 * size), size_t(size));
      const std::string path = dir.File(c.name);
      ASSERT_TRUE(SavePaletteEntries(path, c.format, bank));
      const auto read =
          IsConsoleFormat(c.format) ? LoadPaletteFileAs(path, c.format) : LoadAnyPaletteFile(path);
      ASSERT_TRUE(read) << read.error().Text();
      // A palette picture holds 256 colours, the rest black.
      EXPECT_EQ(read->count, c.format == PaletteFormat::Pcx ? 256 : size);
      for (size_t k = 0; k < size_t(size); ++k) {
        const RGBTriple want = IsConsoleFormat(c.format)
                                   ? SnapColour(ConsoleFormatTarget(c.format), bank[k].rgb)
                                   : bank[k].rgb;
        ASSERT_EQ(read->entries[k], (BoardEntry{want, 255})) << k;
      }
    }
  }
}

TEST(PaletteFile, ShortTextPalettesInEverySpelling) {
  const struct {
    const char* name;
    const char* text;
    PaletteFormat format;
  } cases[] = {
      {"a.gpl",
       "GIMP Palette\nName: Mixed\nColumns: 4\n# a comment\n\n  10  20  30\tDark blue\n"
       "0 0 0\n255 255 255 White with spaces in the name\n  # indented comment\n1\t2\t3",
       PaletteFormat::Gpl},
      {"crlf.gpl", "\xEF\xBB\xBFGIMP Palette\r\n10 20 30 x\r\n0 0 0\r\n255 255 255\r\n1 2 3\r\n",
       PaletteFormat::Gpl},
      {"a.pal", "JASC-PAL\r\n0100\r\n4\r\n10 20 30\r\n0 0 0\r\n255 255 255\r\n1 2 3\r\n",
       PaletteFormat::Jasc},
      {"lf.pal", "JASC-PAL\n0100\n4\n10 20 30\n0 0 0\n255 255 255\n1 2 3", PaletteFormat::Jasc},
      {"a.hex", "0A141e\n\n#000000\n  #FFFFFF  \r\n010203\n\n", PaletteFormat::Hex}};
  for (const auto& c : cases) {
    const PaletteFile pal = Decode(B(c.text), c.name);
    EXPECT_EQ(std::tuple(pal.format, pal.count), std::tuple(c.format, 4)) << c.name;
    EXPECT_EQ(pal.entries, StartingWith({{10, 20, 30}, {0, 0, 0}, {255, 255, 255}, {1, 2, 3}}))
        << c.name;
  }
  // A RIFF palette skips other chunks (of odd size, padded to even) before its data.
  Bytes riff = B("RIFF\0\0\0\0PAL LIST\3\0\0\0abc\0data"sv);
  for (uint8_t b : {16, 0, 0, 0, 0, 3, 3, 0, 10, 20, 30, 0, 0, 0, 0, 9, 1, 2, 3, 0})
    riff.push_back(b);
  riff[4] = static_cast<uint8_t>(riff.size() - 8);
  const PaletteFile pal = Decode(riff, "r.pal");
  EXPECT_EQ(std::tuple(pal.format, pal.count), std::tuple(PaletteFormat::Riff, 3));
  EXPECT_EQ(pal.entries, StartingWith({{10, 20, 30}, {0, 0, 0}, {1, 2, 3}}));
}

TEST(PaletteFile, AdobeColourTablesWithAndWithoutTrailer) {
  const struct {
    int count, transparent;  // count -1: a 768-byte file without trailer
    int expect_count, expect_clear;
  } cases[] = {{-1, 0, 256, -1}, {256, 0xFFFF, 256, -1}, {16, 3, 16, 3},
               {16, 16, 16, -1}, {256, 255, 256, 255},   {1, 0, 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "count " << c.count << " transparent " << c.transparent);
    const Bytes file = Act(c.count, c.transparent);
    const PaletteFile pal = Decode(file, "t.act");
    ASSERT_EQ(std::tuple(pal.format, pal.count), std::tuple(PaletteFormat::Act, c.expect_count));
    for (size_t k = 0; k < 256; ++k) {
      const bool in = static_cast<int>(k) < pal.count;
      ASSERT_EQ(pal.entries[k], (in ? BoardEntry{{file[3 * k], file[3 * k + 1], file[3 * k + 2]},
                                                 uint8_t(int(k) == c.expect_clear ? 0 : 255)}
                                    : BoardEntry{}))
          << k;
    }
  }
}

// The content decides before the extension; a picture gives its own palette (a PNG
// its PLTE entries with their tRNS alpha, a PCX the 768 bytes after the byte 12 at
// its end, whatever its pixels); a file nothing recognises is raw colours.
TEST(PaletteFile, ContentDecidesBeforeTheExtension) {
  const BoardEntries entries = Opaque(DistinctPalette(3));
  std::vector<Chunk> chunks = Chunks(*EncodeIndexedPng(1, 1, Bytes{0}, entries));
  chunks[1].data.resize(15);
  chunks.insert(chunks.begin() + 2, Chunk{"tRNS", {0, 128, 7}});
  const Bytes png = Assemble(chunks);
  Bytes pcx = EncodePaletteFile(entries, PaletteFormat::Pcx);
  std::fill(pcx.begin() + 128, pcx.end() - 769, 0xC0);  // pixels that do not decode
  Bytes raw(768);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i + 1);
  const Bytes gpl = B("GIMP Palette\n1 2 3\n"), jasc = B("JASC-PAL\n0100\n1\n1 2 3\n");
  const Bytes riff = EncodePaletteFile(entries, PaletteFormat::Riff);
  const struct {
    Bytes bytes;
    const char* name;
    PaletteFormat format;
  } cases[] = {{gpl, "x.act", PaletteFormat::Gpl},
               {jasc, "x.gpl", PaletteFormat::Jasc},
               {riff, "x.hex", PaletteFormat::Riff},
               {Act(16, 1), "x.ACT", PaletteFormat::Act},
               {B("ff0000\n"), "d/x.Hex", PaletteFormat::Hex},
               {pcx, "x.hex", PaletteFormat::Pcx},
               {png, "x.act", PaletteFormat::Pcx},
               {raw, "x.pal", PaletteFormat::Pcx},
               {raw, "x.gpl", PaletteFormat::Pcx},
               {raw, "dir.act/x", PaletteFormat::Pcx}};
  for (const auto& c : cases) {
    const auto head = std::span(c.bytes).first(std::min(c.bytes.size(), kPaletteSniffBytes));
    EXPECT_EQ(SniffPaletteFormat(head, c.name), c.format) << c.name;
    EXPECT_EQ(Decode(c.bytes, c.name).format, c.format) << c.name;
  }
  BoardEntries want = StartingWith(
      {entries[0].rgb, entries[1].rgb, entries[2].rgb, entries[3].rgb, entries[4].rgb});
  want[0].A = 0, want[1].A = 128, want[2].A = 7;
  EXPECT_EQ(std::tuple(Decode(png, "p.png").count, Decode(png, "p.png").entries),
            std::tuple(5, want));
  EXPECT_EQ(Decode(pcx, "p.pcx").entries, entries);
  EXPECT_EQ(Decode(raw, "x.pal").entries[255].rgb, (RGBTriple{254, 255, 0}));

  const struct {
    const char* name;
    std::optional<PaletteFormat> format;
  } written[] = {{"a.PAL", PaletteFormat::Jasc},
                 {"/x/a.Hex", PaletteFormat::Hex},
                 {"a.pcx", PaletteFormat::Pcx},
                 {"a.png", PaletteFormat::PngStrip},
                 {"x.gpl/a", std::nullopt}};
  for (const auto& c : written) EXPECT_EQ(PaletteFormatForExtension(c.name), c.format) << c.name;
}

TEST(PaletteFile, RefusesBrokenFilesNamingLineAndCause) {
  const Bytes riff = EncodePaletteFile(Opaque(DistinctPalette()), PaletteFormat::Riff);
  auto riff_with = [&riff](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes f = riff;
    std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
    return f;
  };
  // A PNG's compressed data (the file without its signature), and a PCX file without
  // the byte 12 before its last 768 bytes.
  const Bytes png = *EncodeIndexedPng(1, 1, Bytes{0}, Opaque({}));
  Bytes no_marker = EncodePaletteFile(Opaque({}), PaletteFormat::Pcx);
  no_marker[no_marker.size() - 769] = 0;
  std::string many_hex, many_gpl = "GIMP Palette\n";
  for (int i = 0; i < 257; ++i) many_hex += "102030\n", many_gpl += "1 2 3\n";
  std::string huge = "GIMP Palette\n1 2 3\n";
  huge.resize(kMaxTextPaletteBytes + 1, '\n');
  const struct {
    const char* name;
    Bytes bytes;
    const char* fragment;
  } cases[] = {
      {"a.gpl", B("GIMP Palette\n1 2 3\n4 5\n"),
       "cannot load 'a.gpl': line 3: expected three numbers"},
      {"a.gpl", B("GIMP Palette\n1 -1 3\n"), "line 2: value -1 is outside 0..255"},
      // Numbers quoted as written, not as parsed; cut when long.
      {"a.gpl", B("GIMP Palette\n99999999999999999999 0 0\n"),
       "line 2: value 99999999999999999999 is outside 0..255"},
      {"a.gpl", B("GIMP Palette\n1 2 +0001234567890123456789012345\n"),
       "line 2: value +00012345678901234567890... is outside 0..255"},
      {"a.gpl", B("GIMP Palette\n# only comments\n"),
       "cannot load 'a.gpl': the palette holds no colours"},
      {"a.gpl", B(many_gpl), "line 258: more than 256 colours"},
      {"a.gpl", B(huge), "too large"},
      {"a.pal", B("JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n"),
       "cannot load 'a.pal': states 3 colours but holds 2"},
      {"a.pal", B("JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n"), "line 5: more colours than the 1 stated"},
      {"a.pal", B("JASC-PAL\n0100\n99999999999\n"),
       "line 3: a colour count of 99999999999 is outside 1..256"},
      {"a.pal", B("JASC-PAL\n0100"), "line 3: the colour count is missing"},
      {"a.hex", B("ff00zz\n"), "cannot load 'a.hex': line 1: bad hex digit 'z'"},
      {"a.hex", B(many_hex), "line 257: more than 256 colours"},
      {"a.act", Act(0, 0xFFFF), "cannot load 'a.act': a colour count of 0 is outside 1..256"},
      {"a.act", Bytes(770), "holds 768 or 772 bytes, this file 770"},
      {"a.pal", riff_with(22, {0x01, 0x01}),
       "cannot load 'a.pal': a colour count of 257 is outside 1..256"},
      {"a.pal", riff_with(22, {0xFF, 0x00}), "states 255 colours but its 'data' chunk holds 1024"},
      {"a.pal", riff_with(16, {0xFF, 0xFF, 0xFF, 0xFF}), "runs past the end"},
      // Nothing recognised: only exactly 768 bytes are taken, as raw colours.
      {"a.pal", Bytes(769), "cannot load 'a.pal': not a palette file Huewright reads"},
      {"a.bin", Bytes(png.begin() + 8, png.end()),
       "cannot load 'a.bin': not a palette file Huewright reads"},
      {"a.pcx", no_marker, "cannot load 'a.pcx': the PCX file has no 256-colour palette"}};
  for (const auto& c : cases) EXPECT_HAS(Why(DecodePaletteFile(c.bytes, c.name)), c.fragment);
  huge.resize(kMaxTextPaletteBytes);
  EXPECT_TRUE(DecodePaletteFile(B(huge), "big.gpl").ok()) << "1 MiB exactly is accepted";
}

// A file of `size` bytes, all of it a hole but `head` at the start and `tail` at the end.
void Sparse(const std::string& path, off_t size, const Bytes& head, const Bytes& tail) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
  ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), size - off_t(tail.size())),
            ssize_t(tail.size()));
  ::close(fd);
}

// Palettes loaded from files as the window and `convert` load them: a PCX is read
// from its end alone, and files that are no palette (a named pipe too, at once) are
// refused before they are read whole, however large.
TEST(PaletteLoad, TakesWhatTheRuleSaysAndNoMore) {
  TempDir dir;
  const Bytes colours = PaletteBytes(DistinctPalette(9));
  Bytes tail = {12};
  tail.insert(tail.end(), colours.begin(), colours.end());
  const auto header = HeaderBytes(MakeHeader(16, 16));
  Sparse(dir.File("huge.pcx"), off_t{3} << 30, Bytes(header.begin(), header.end()), tail);
  Sparse(dir.File("3GiB.bin"), off_t{3} << 30, {1}, colours);
  WriteBytes(dir.File("2000.bin"), Bytes(2000, 1));
  ASSERT_EQ(::mkfifo(dir.File("pipe.gpl").c_str(), 0644), 0);
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  auto pcx = LoadAnyPaletteFile(dir.File("huge.pcx"));
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes of peak memory";
  ASSERT_TRUE(pcx.ok()) << pcx.error().Text();
  EXPECT_EQ(std::tuple(pcx->count, pcx->entries), std::tuple(256, Opaque(DistinctPalette(9))));
  for (const char* name : {"2000.bin", "3GiB.bin"}) {
    EXPECT_HAS(Why(LoadAnyPaletteFile(dir.File(name))),
               "cannot load '" + dir.File(name) + "': not a palette file Huewright reads");
  }
  EXPECT_HAS(Why(LoadAnyPaletteFile(dir.File("pipe.gpl"))), "not a regular file");
}

}  // namespace
}  // namespace hw::test
