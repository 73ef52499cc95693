// ILBM pictures: netpbm's files read as netpbm made them and ours read by netpbm, at
// every depth; ByteRun1 at its edges; PBM, extra half-brite, the transparent
// colour; CRNG and CCRT ranges; and the damaged or hostile files refused.
#include "formats/pictures/ilbm.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../common/test_util.h"
#include "editor/editor.h"
#include "formats/picture_io.h"
#include "formats/pictures/ilbm_planes.h"
#include "formats/save_losses.h"

namespace hw::test {
namespace {

void Put16(Bytes& out, int v) { out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)}); }

Bytes Chunk(const char* id, const Bytes& data) {
  Bytes out(id, id + 4);
  PutBe32(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1) out.push_back(0);
  return out;
}

Bytes Form(const char* type, const std::vector<Bytes>& chunks) {
  Bytes inner(type, type + 4);
  for (const Bytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
  Bytes out = {'F', 'O', 'R', 'M'};
  PutBe32(out, uint32_t(inner.size()));
  out.insert(out.end(), inner.begin(), inner.end());
  return out;
}

Bytes Bmhd(int w, int h, int planes, int compression = 0, int masking = 0, int clear = 0) {
  Bytes b;
  Put16(b, w), Put16(b, h), PutBe32(b, 0);
  b.insert(b.end(), {uint8_t(planes), uint8_t(masking), uint8_t(compression), 0});
  Put16(b, clear), b.push_back(1), b.push_back(1), Put16(b, w), Put16(b, h);
  return Chunk("BMHD", b);
}

Bytes Crng(int rate, int flags, int low, int high) {
  Bytes b;
  Put16(b, 0), Put16(b, rate), Put16(b, flags), b.push_back(uint8_t(low)),
      b.push_back(uint8_t(high));
  return Chunk("CRNG", b);
}

Bytes Ccrt(int direction, int low, int high, uint32_t seconds, uint32_t micros) {
  Bytes b;
  Put16(b, direction), b.push_back(uint8_t(low)), b.push_back(uint8_t(high));
  PutBe32(b, seconds), PutBe32(b, micros), Put16(b, 0);
  return Chunk("CCRT", b);
}

// The data of every chunk named `id`, in order, from a well-formed FORM.
std::vector<Bytes> ChunksNamed(const Bytes& form, const char* id) {
  std::vector<Bytes> out;
  for (size_t pos = 12; pos + 8 <= form.size();) {
    const uint32_t n =
        uint32_t(form[pos + 4] << 24 | form[pos + 5] << 16 | form[pos + 6] << 8 | form[pos + 7]);
    if (std::memcmp(&form[pos], id, 4) == 0) {
      out.emplace_back(form.begin() + long(pos) + 8, form.begin() + long(pos + 8 + n));
    }
    pos += 8 + n + (n & 1);
  }
  return out;
}

// RGB of each pixel through the entries.
Bytes Rgb(const Bytes& pixels, const BoardEntries& entries) {
  Bytes out;
  for (uint8_t v : pixels)
    out.insert(out.end(), {entries[v].rgb.R, entries[v].rgb.G, entries[v].rgb.B});
  return out;
}

uint32_t Next(uint32_t& s) { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; }

// netpbm writes a picture of each depth from 1 to 8 planes (packed, and plain at odd
// depths) and we read the colours it wrote; it reads ours, 8 planes packed with runs
// of every length, at the colours we wrote.
TEST(Ilbm, NetpbmBothWaysAtEveryDepth) {
  const std::string to_ilbm = NeedTool("ppmtoilbm", "netpbm");
  const std::string from_ilbm = NeedTool("ilbmtoppm", "netpbm");
  if (to_ilbm.empty() || from_ilbm.empty()) return;
  TempDir dir;
  uint32_t s = 99;
  for (int planes = 1; planes <= 8; ++planes) {
    const int w = 1 + 2 * planes * planes + (planes == 8 ? 2100 : 0), h = 3 + planes;
    BoardEntries e{};
    for (auto& entry : e) entry.rgb = {uint8_t(Next(s)), uint8_t(Next(s)), uint8_t(Next(s))};
    Bytes px(size_t(w) * h);
    for (size_t i = 0; i < px.size(); ++i) {
      // At 8 planes a flat stretch (runs of 128 bytes and more in each plane), then
      // noise (literals of 128).
      const bool flat = planes == 8 && i % size_t(w) < 1030;
      px[i] = uint8_t((flat ? 37 : Next(s)) & ((1 << planes) - 1));
    }
    const Bytes rgb = Rgb(px, e);
    WriteBytes(dir.File("in.ppm"), Ppm(w, h, rgb));
    std::string out;
    const std::string flags =
        "-fixplanes " + std::to_string(planes) + (planes % 2 ? " -nocompress" : " -compress");
    ASSERT_EQ(
        RunShell(to_ilbm + " " + flags + " " + dir.File("in.ppm") + " > " + dir.File("theirs.lbm"),
                 &out),
        0)
        << out;
    auto theirs = OpenedPicture::Open(dir.File("theirs.lbm"));
    ASSERT_TRUE(theirs.ok()) << theirs.error().Text();
    EXPECT_EQ(theirs->bit_depth(), planes);
    auto whole = theirs->TakeWhole();
    EXPECT_EQ(Rgb(whole->pixels, whole->entries), rgb) << planes << " planes";

    ASSERT_TRUE(SavePictureFile(dir.File("ours.iff"), PictureFormat::Ilbm, w, h, px, e));
    ASSERT_EQ(RunShell(from_ilbm + " " + dir.File("ours.iff") + " > " + dir.File("back.ppm"), &out),
              0)
        << out;
    EXPECT_EQ(Tail(ReadBytes(dir.File("back.ppm")), rgb.size()), rgb) << planes << " planes";
  }
}

// The half-brite flag as the hardware has it: a 6-plane picture's values 32..63 show
// 0..31 at half brightness; an 8-plane picture with a full CMAP shows it as it is.
// netpbm reads the same files to the same colours (it also halves an 8-plane
// picture whose CMAP is short, so it is asked only about full ones).
TEST(Ilbm, HalfBriteOnlyAtSixPlanesAsNetpbmShowsIt) {
  const std::string from_ilbm = NeedTool("ilbmtoppm", "netpbm");
  TempDir dir;
  uint32_t s = 5;
  for (const int planes : {6, 8}) {
    const int w = 16, h = 1 << (planes - 4);  // every value once
    Bytes cmap;
    const int colours = planes == 6 ? 32 : 256;
    for (int k = 0; k < 3 * colours; ++k) cmap.push_back(uint8_t(Next(s)));
    Bytes body;
    for (int y = 0; y < h; ++y) {
      for (int p = 0; p < planes; ++p) {
        for (int half = 0; half < 2; ++half) {
          uint8_t b = 0;
          for (int x = 0; x < 8; ++x) b = uint8_t(b << 1 | (((y * 16 + half * 8 + x) >> p) & 1));
          body.push_back(b);
        }
      }
    }
    Bytes camg;
    PutBe32(camg, 0x80);
    const Bytes file = Form("ILBM", {Bmhd(w, h, planes), Chunk("CMAP", cmap), Chunk("CAMG", camg),
                                     Chunk("BODY", body)});
    auto ours = DecodeIlbm(file);
    ASSERT_TRUE(ours.ok()) << ours.error().Text();
    // The model: the CMAP's entries, and at 6 planes each of the first 32 halved.
    Bytes model;
    for (int v = 0; v < w * h; ++v) {
      const int k = planes == 6 ? v % 32 : v;
      const int shift = planes == 6 && v >= 32 ? 1 : 0;
      for (int c = 0; c < 3; ++c) model.push_back(uint8_t(cmap[size_t(3 * k + c)] >> shift));
    }
    EXPECT_EQ(Rgb(ours->pixels, ours->entries), model) << planes << " planes";
    EXPECT_EQ(ours->palette_count, planes == 6 ? 64 : 256);
    if (from_ilbm.empty()) continue;
    WriteBytes(dir.File("ehb.iff"), file);
    std::string out;
    ASSERT_EQ(RunShell(from_ilbm + " " + dir.File("ehb.iff") + " > " + dir.File("ehb.ppm"), &out),
              0)
        << out;
    EXPECT_EQ(Tail(ReadBytes(dir.File("ehb.ppm")), model.size()), model) << planes;
  }
}

// The fast plane-to-pixel path agrees with the plain one at every depth and width,
// and the writer's planes go back to the same pixels.
TEST(Ilbm, PlaneConversionMatchesThePlainPath) {
  uint32_t s = 7;
  for (int planes = 1; planes <= 8; ++planes) {
    for (int w : {1, 7, 8, 9, 15, 16, 17, 33, 40, 127, 128, 129, 136, 255, 256, 300, 1000}) {
      const size_t rb = size_t(w + 15) / 16 * 2;
      Bytes rows(rb * 8);
      for (auto& v : rows) v = uint8_t(Next(s));
      Bytes fast(size_t(w) + 8, 0xEE), plain(size_t(w) + 8, 0xEE);
      PlanesToPixels(rows.data(), planes, rb, w, fast.data());
      PlanesToPixelsPlain(rows.data(), planes, rb, w, plain.data());
      EXPECT_EQ(fast, plain) << planes << " planes, width " << w;
      Bytes again(static_cast<size_t>(w));
      PixelsToPlanes(fast.data(), w, rb, rows.data());
      PlanesToPixelsPlain(rows.data(), 8, rb, w, again.data());
      EXPECT_EQ(again, Bytes(fast.begin(), fast.begin() + w));
    }
  }
}

TEST(Ilbm, ByteRun1AtItsEdges) {
  // One plane of 2048 pixels: a run of 128, a no-op, a literal of 128.
  Bytes body = {0x81, 0xAA, 0x80, 0x7F};
  for (int i = 0; i < 128; ++i) body.push_back(uint8_t(i));
  auto pic = DecodeIlbm(Form("ILBM", {Bmhd(2048, 1, 1, 1), Chunk("BODY", body)}));
  ASSERT_TRUE(pic.ok()) << pic.error().Text();
  Bytes expected;
  for (int b = 0; b < 256; ++b) {
    const uint8_t v = b < 128 ? 0xAA : uint8_t(b - 128);
    for (int k = 7; k >= 0; --k) expected.push_back(uint8_t(v >> k & 1));
  }
  EXPECT_EQ(pic->pixels, expected);
  // Each row of each plane is packed alone: a run or a literal past a row's end (two
  // bytes here) is damage, even when the next row would take the rest.
  for (const Bytes& across : {Bytes{0xFD, 0xFF, 0, 0}, Bytes{0x03, 1, 2, 3, 4}}) {
    EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(16, 2, 1, 1), Chunk("BODY", across)}))),
               "crosses the end of a row");
  }
  // The writer packs 128 equal bytes as one run: a blank row of 1024 pixels is
  // [0x81 0] on each of its 8 planes.
  const Bytes blank = *EncodeIlbm(1024, 1, Bytes(1024, 0), BoardEntries{}, {});
  Bytes runs;
  for (int p = 0; p < 8; ++p) runs.insert(runs.end(), {0x81, 0});
  EXPECT_EQ(ChunksNamed(blank, "BODY"), std::vector<Bytes>{runs});
}

TEST(Ilbm, ChunkyHalfBriteAndTransparentPictures) {
  // PBM rows are padded to an even length, packed or not.
  const Bytes px = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const Bytes plain = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
  const Bytes packed = {0x03, 1, 2, 3, 0, 0x02, 4, 5, 6, 0x00, 0, 0x01, 7, 8, 0x00, 9, 0x00, 0};
  for (const auto& [compression, body] : {std::pair{0, plain}, std::pair{1, packed}}) {
    auto pbm = DecodeIlbm(Form("PBM ", {Bmhd(3, 3, 8, compression), Chunk("BODY", body)}));
    ASSERT_TRUE(pbm.ok()) << pbm.error().Text();
    EXPECT_EQ(pbm->pixels, px);
  }
  // Extra half-brite: 32 CMAP entries and 32 at half their brightness; the CMAP's
  // bytes as they are, even where they look like 4-bit values.
  Bytes cmap;
  for (int k = 0; k < 32; ++k) cmap.insert(cmap.end(), {uint8_t(k), uint8_t(255 - k), 9});
  const auto camg = [](uint32_t mode) {
    Bytes b;
    PutBe32(b, mode);
    return Chunk("CAMG", b);
  };
  auto ehb = DecodeIlbm(Form(
      "ILBM", {Bmhd(16, 1, 6), Chunk("CMAP", cmap), camg(0x80), Chunk("BODY", Bytes(12, 0xFF))}));
  ASSERT_TRUE(ehb.ok()) << ehb.error().Text();
  EXPECT_EQ(std::tuple(ehb->palette_count, ehb->entries[3].rgb, ehb->entries[35].rgb,
                       ehb->entries[64].rgb, ehb->pixels[0]),
            std::tuple(64, RGBTriple{3, 252, 9}, RGBTriple{1, 126, 4}, RGBTriple{}, 63));
  EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(16, 1, 6), camg(0x880), Chunk("BODY", Bytes(12))}))),
             "HAM");
  EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(16, 1, 1, 0, 1), Chunk("BODY", Bytes(4))}))),
             "mask plane");
  // The lowest entry of alpha 0 is the transparent colour; other alpha is lost, as
  // the save warning says.
  BoardEntries e = Opaque(DistinctPalette());
  e[9].A = 0, e[40].A = 0, e[41].A = 128;
  auto back = DecodeIlbm(*EncodeIlbm(3, 3, px, e, {}));
  BoardEntries kept = e;
  kept[40].A = 255, kept[41].A = 255;
  EXPECT_EQ(back->entries, kept);
  EXPECT_HAS(PictureSaveLoses(PictureFormat::Ilbm, e, 3).value_or(""), "alpha of 2 entries");
  e[40].A = 255, e[41].A = 255;
  EXPECT_EQ(PictureSaveLoses(PictureFormat::Ilbm, e, 3), std::nullopt);
}

// CRNG and CCRT become ranges in file order; CRNG's flags and CCRT's direction give
// forward or reverse alike (forward: colours move up one position), CCRT's step time
// the rate. Written back, each range is one CRNG with the same bytes.
TEST(Ilbm, CycleRangesReadAndWrittenBack) {
  const std::vector<Bytes> crngs = {Crng(8192, 1, 16, 31), Crng(300, 2, 40, 47),
                                    Crng(65535, 3, 9, 3)};
  const Bytes file =
      Form("ILBM", {Bmhd(2, 1, 8), crngs[0], Ccrt(-1, 64, 79, 0, 50000), crngs[1],
                    Ccrt(1, 80, 90, 2, 0), Ccrt(0, 1, 5, 0, 1000), Ccrt(1, 6, 7, 0, 0),
                    Ccrt(1, 8, 9, 0, 1), crngs[2], Chunk("BODY", Bytes(32))});
  auto pic = DecodeIlbm(file);
  ASSERT_TRUE(pic.ok()) << pic.error().Text();
  const std::vector<CycleRange> expected = {
      {16, 31, 8192, false, true}, {64, 79, 5461, true, true}, {40, 47, 300, true, false},
      {80, 90, 137, false, true},  {1, 5, 0, false, false},    {6, 7, 0, false, false},
      {8, 9, 65535, false, true},  {9, 3, 65535, true, true}};  // LOW above HIGH: as stored
  EXPECT_EQ(std::vector<CycleRange>(pic->cycles.begin(), pic->cycles.end()), expected);
  CycleRanges crng_only;
  for (size_t i : {0, 2, 7}) crng_only.push_back(pic->cycles[i]);
  const Bytes written = *EncodeIlbm(2, 1, Bytes(2), pic->entries, crng_only);
  std::vector<Bytes> crng_data;
  for (const Bytes& c : crngs) crng_data.emplace_back(c.begin() + 8, c.end());
  EXPECT_EQ(ChunksNamed(written, "CRNG"), crng_data);
}

TEST(Ilbm, DamagedAndHostileFilesAreRefused) {
  BoardEntries e = Opaque(DistinctPalette());
  Bytes px(9 * 4);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 29);
  CycleRanges ranges;
  ranges.push_back({2, 9, 4000, false, true});
  const Bytes good = *EncodeIlbm(9, 4, px, e, ranges);
  ASSERT_TRUE(DecodeIlbm(good).ok());
  // Cut anywhere, the file is refused whole (but for a last pad byte).
  const size_t end = good.size() - (ChunksNamed(good, "BODY").at(0).size() & 1);
  for (size_t n = 0; n < end; ++n) {
    EXPECT_FALSE(DecodeIlbm(Bytes(good.begin(), good.begin() + long(n))).ok()) << n;
  }
  // Huge pictures claimed by tiny bodies are refused before anything is allocated.
  EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(32767, 32767, 8, 1), Chunk("BODY", {0x81, 0})}))),
             "too large");
  EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(30000, 30000, 1), Chunk("BODY", Bytes(64))}))),
             "where 112500000 are needed");
  EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(32768, 2, 1), Chunk("BODY", {})}))),
             "32768 x 2 pixels cannot be read");
  EXPECT_HAS(Why(DecodeIlbm(Form("ILBM", {Bmhd(2, 2, 1, 2), Chunk("BODY", Bytes(8))}))),
             "compression 2");
  // Errors name the file and the cause on one line.
  TempDir dir;
  WriteBytes(dir.File("cut.lbm"), Bytes(good.begin(), good.end() - 9));
  EXPECT_EQ(
      Why(LoadPictureFile(dir.File("cut.lbm"))),
      "cannot load '" + dir.File("cut.lbm") + "': the BODY chunk runs past the end of the file");
}

}  // namespace
}  // namespace hw::test
