// The word- and block-wise codec against a plain byte-at-a-time model of the same
// rules, on pictures and streams that reach every fast path and on damaged files,
// which must be refused or decoded without reading outside the input; the slice
// decoder against the whole-picture one, whatever its buffers and pieces; then raw
// rows, what the reader refuses, and the opener every reader of pictures uses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "../common/test_util.h"
#include "formats/picture_io.h"
#include "formats/picture_opener.h"
#include "formats/pictures/pcx_internal.h"
#include "formats/pictures/png.h"

namespace hw {
namespace pcx_internal {
// Names the test cases after the instruction set they allow.
void PrintTo(SimdLevel level, std::ostream* os) {
  *os << (level == SimdLevel::kAvx512  ? "Avx512Allowed"
          : level == SimdLevel::kSsse3 ? "Ssse3Allowed"
                                       : "Portable");
}
}  // namespace pcx_internal

namespace {

using test::Bytes;
using test::MakeHeader;
using test::ReadBytes;

// Model encoder: one decision per pixel.
Bytes ModelEncode(const Bytes& px, int w, int h, int bpl) {
  const int row = std::max(w, bpl);
  Bytes out;
  for (int y = 0; y < h; ++y) {
    Bytes r(px.begin() + y * w, px.begin() + (y + 1) * w);
    r.resize(static_cast<size_t>(row), 0);
    for (int x = 0; x < row;) {
      int n = 1;
      while (x + n < row && n < 63 && r[x + n] == r[x]) ++n;
      if (n > 1 || r[x] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 + n));
      out.push_back(r[x]);
      x += n;
    }
  }
  return out;
}

// Model decoder: returns false when the data ends before the last pixel.
bool ModelDecode(const Bytes& data, int w, int h, int bpl, Bytes& px) {
  const int64_t row = std::max(w, bpl);
  const int64_t total = row * (h - 1) + w;
  px.assign(static_cast<size_t>(w) * h, 0);
  size_t s = 0;
  for (int64_t i = 0; i < total;) {
    if (s >= data.size()) return false;
    uint8_t b = data[s++];
    int n = 1;
    if (b >= 0xC0) {
      if (s >= data.size()) return false;
      n = b - 0xC0;
      b = data[s++];
    }
    for (; n > 0 && i < total; --n, ++i) {
      if (i % row < w) px[static_cast<size_t>(i / row * w + i % row)] = b;
    }
  }
  return true;
}

Bytes WithFrame(const PcxHeader& hd, Bytes data) {
  const auto head = HeaderBytes(hd);
  data.insert(data.begin(), head.begin(), head.end());
  data.push_back(12);
  data.insert(data.end(), 768, 0x5A);
  return data;
}

struct Decoded {
  bool ok = false;
  Bytes pixels;
  std::string error;
};

// Decodes in slices of `slice_rows` rows; the source gives at most `piece` bytes a
// call and stops after `have` bytes of pixel data (less than the file has: a file
// that shrank while it was read).
Decoded Sliced(const Bytes& file, size_t input_bytes, int slice_rows, size_t piece,
               size_t have = SIZE_MAX) {
  size_t at = std::min<size_t>(file.size(), kPcxHeaderSize);
  const size_t stop = have == SIZE_MAX ? file.size() : at + have;
  auto decoder = PcxRowDecoder::Open(
      std::span(file).first(at), file.size(),
      [&](std::span<uint8_t> into) -> Result<size_t> {
        const size_t n = std::min({into.size(), piece, stop - at});
        std::copy_n(file.begin() + static_cast<ptrdiff_t>(at), n, into.begin());
        at += n;
        return n;
      },
      input_bytes);
  if (!decoder) return {false, {}, decoder.error().Text()};
  const size_t w = static_cast<size_t>(decoder->size().width);
  Bytes pixels, slice(w * static_cast<size_t>(slice_rows));
  while (!decoder->done()) {
    auto rows = decoder->ReadRows(slice);
    if (!rows) return {false, {}, rows.error().Text()};
    EXPECT_GT(*rows, 0);
    pixels.insert(pixels.end(), slice.begin(), slice.begin() + static_cast<ptrdiff_t>(*rows * w));
  }
  EXPECT_EQ(decoder->ReadRows(slice).value(), 0);
  return {true, pixels, ""};
}

// Decodes `file` in slices with settings picked by `k`, expecting what the whole
// picture's decoder makes of it.
void ExpectSlicesAgree(const Bytes& file, uint32_t k) {
  auto whole = DecodePcx(file);
  const size_t piece = k % 3 == 0 ? 1 + k % 97 : SIZE_MAX;
  const Decoded sliced = Sliced(file, 256 + 64 * (k % 70), 1 + static_cast<int>(k % 7), piece);
  ASSERT_EQ(sliced.error, whole ? "" : whole.error().Text()) << k;
  ASSERT_TRUE(!whole || sliced.pixels == whole->pixels) << k;
}

// Pictures of different character: noise, flat areas, high values only,
// alternating high/low, long equal stretches across rows.
Bytes Picture(std::mt19937& rng, int w, int h, int style) {
  Bytes px(static_cast<size_t>(w) * h);
  uint8_t v = 0;
  for (size_t i = 0; i < px.size(); ++i) {
    const uint32_t r = rng();
    const uint8_t fresh = static_cast<uint8_t>(r >> 8);
    px[i] = style == 0   ? static_cast<uint8_t>(r)
            : style == 1 ? (r % 40 == 0 ? (v = fresh) : v)
            : style == 2 ? static_cast<uint8_t>(192 + r % 64)
            : style == 3 ? static_cast<uint8_t>((i & 1 ? 190 : 193) + r % 3)
            : style == 4 ? (r % 300 == 0 ? (v = fresh) : v)
                         : (r % 6 == 0 ? (v = static_cast<uint8_t>(180 + fresh % 30)) : v);
  }
  return px;
}

// Every test runs with and without the processor-specific paths.
using pcx_internal::SimdLevel;

class PcxAgainstModel : public ::testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override { previous_ = pcx_internal::AllowSimd(GetParam()); }
  void TearDown() override { pcx_internal::AllowSimd(previous_); }

 private:
  SimdLevel previous_ = SimdLevel::kAvx512;
};

INSTANTIATE_TEST_SUITE_P(Paths, PcxAgainstModel,
                         ::testing::Values(SimdLevel::kAvx512, SimdLevel::kSsse3,
                                           SimdLevel::kPortable),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

TEST_P(PcxAgainstModel, EncodeAndDecodeMatchByteByByte) {
  std::mt19937 rng(777);
  for (int iter = 0; iter < 240; ++iter) {
    const int w = 1 + static_cast<int>(rng() % 700);
    const int h = 1 + static_cast<int>(rng() % 12);
    const int bpl = rng() % 3 == 0 ? w + static_cast<int>(rng() % 40) : (rng() % 2 ? w : 0);
    const Bytes px = Picture(rng, w, h, iter % 6);
    PcxHeader hd = MakeHeader(w, h, bpl);
    auto file = WritePcx(hd, px, Palette{});
    ASSERT_TRUE(file.ok());
    const Bytes data(file->begin() + 128, file->end() - 769);
    ASSERT_EQ(data, ModelEncode(px, w, h, bpl))
        << w << "x" << h << " bpl " << bpl << " style " << iter % 6;
    auto back = ReadPcxPixels(*file);
    ASSERT_TRUE(back.ok()) << back.error().Text();
    ASSERT_EQ(*back, px) << w << "x" << h << " bpl " << bpl << " style " << iter % 6;
    ExpectSlicesAgree(*file, static_cast<uint32_t>(iter));
  }
}

// Streams no writer of ours produces: runs over row ends and into the filler,
// markers C0, runs cut by the picture's end, and truncated or corrupted data.
TEST_P(PcxAgainstModel, ForeignAndDamagedStreams) {
  std::mt19937 rng(4242);
  for (int iter = 0; iter < 3000; ++iter) {
    const int w = 1 + static_cast<int>(rng() % 300);
    const int h = 1 + static_cast<int>(rng() % 6);
    const int bpl = rng() % 2 ? w + static_cast<int>(rng() % 5) : w;
    Bytes data;
    const size_t items = static_cast<size_t>(w + 4) * h / (iter % 3 == 0 ? 4 : 1) + rng() % 50;
    for (size_t k = 0; k < items; ++k) {
      const uint32_t r = rng();
      if (r % 3 == 0) {
        // Half the streams are mostly single escapes (C1), as real files are.
        const bool single = iter % 2 == 1 && (r >> 24) % 8 != 0;
        data.push_back(static_cast<uint8_t>(0xC0 + (single ? 1 : (r >> 8) % 64)));
        data.push_back(static_cast<uint8_t>(r >> 16));
      } else {
        data.push_back(static_cast<uint8_t>((r >> 8) % 0xC0));
      }
    }
    if (iter % 5 == 0 && !data.empty()) data.resize(rng() % data.size());  // cut short
    if (iter % 7 == 0 && !data.empty()) data[rng() % data.size()] = 0xC0 + rng() % 64;
    const Bytes file = WithFrame(MakeHeader(w, h, bpl), data);
    // The byte 12 before the palette is not off limits: only the palette is.
    Bytes readable = data;
    readable.push_back(12);
    Bytes want;
    const bool ok = ModelDecode(readable, w, h, bpl, want);
    auto got = ReadPcxPixels(file);
    ASSERT_EQ(got.ok(), ok) << "iteration " << iter;
    if (ok) {
      ASSERT_EQ(*got, want) << "iteration " << iter;
    }
    ExpectSlicesAgree(file, static_cast<uint32_t>(iter));
  }
}

// A file that shrinks while it is read is refused; a slice must hold a row.
TEST(PcxSlices, ShrinkingFilesAndShortSlicesAreRefused) {
  std::mt19937 rng(3);
  PcxHeader header = MakeHeader(200, 50);
  auto file = WritePcx(header, Picture(rng, 200, 50, 0), Palette{});
  ASSERT_TRUE(file);
  EXPECT_EQ(Sliced(*file, 256, 4, 100, 150).error,
            "the file became shorter while it was read (pixel data ends early)");
  auto decoder = PcxRowDecoder::Open(std::span(*file).first(128), file->size(),
                                     [](std::span<uint8_t>) -> Result<size_t> { return 0; });
  ASSERT_TRUE(decoder);
  Bytes small(199);
  EXPECT_FALSE(decoder->ReadRows(small));
}

const Palette kPal = test::DistinctPalette();

TEST(PcxWrite, RawRowsAndBuffersThatDoNotFitTheHeader) {
  // Encoding 0: raw rows, each padded to BytesPerLine, indices of 192 and more as they are.
  PcxHeader raw_header = MakeHeader(3, 2, 4, 0);
  auto raw = WritePcx(raw_header, Bytes{200, 200, 1, 2, 3, 250}, kPal);
  ASSERT_TRUE(raw.ok());
  EXPECT_EQ(Bytes(raw->begin() + 128, raw->end() - 769), (Bytes{200, 200, 1, 0, 2, 3, 250, 0}));
  EXPECT_EQ(ReadPcxPixels(*raw).value(), (Bytes{200, 200, 1, 2, 3, 250}));
  EXPECT_FALSE(DecodePcx(WithFrame(MakeHeader(3, 2, 4, 0), {200, 200, 1, 0, 2})).ok());

  // Too few pixels: refused, and the caller's header is left alone.
  PcxHeader hd = MakeHeader(4, 4);
  const PcxHeader before = hd;
  EXPECT_HAS(test::Why(WritePcx(hd, Bytes(15), kPal)), "16");
  EXPECT_EQ(hd, before);
  hd.Xmin = -32768, hd.Xmax = 1;
  EXPECT_FALSE(WritePcx(hd, Bytes(100), kPal).ok());
}

TEST(PcxRead, RefusesWhatItCannotShow) {
  PcxHeader one_bit = MakeHeader(4, 1), planes = one_bit, wide = one_bit, tall = one_bit;
  one_bit.BitsPerPixel = 3;
  planes.NPlanes = 3;
  wide.Xmin = tall.Ymin = -32768;
  wide.Xmax = tall.Ymax = 32767;
  Bytes cut = WithFrame(MakeHeader(4, 1), {1, 2, 3, 0xC1});
  cut.erase(cut.end() - 769);  // the run marker is the last byte before the palette
  const auto head = HeaderBytes(MakeHeader(8, 8));
  Bytes no_tail(head.begin(), head.end());
  no_tail.insert(no_tail.end(), 768, 0x01);  // 64 pixels available only inside the palette
  const std::pair<Bytes, const char*> cases[] = {
      {WithFrame(one_bit, {1, 2, 3, 4}), "bits per pixel"},
      {WithFrame(planes, {1, 2, 3, 4}), "plane"},
      {WithFrame(MakeHeader(0, 1), {}), "no pixels"},
      {WithFrame(MakeHeader(-3, -3), Bytes(9)), "no pixels"},
      {WithFrame(wide, {}), "overflow"},
      {WithFrame(tall, {}), "overflow"},
      {WithFrame(MakeHeader(4, 2), {1, 2, 3}), "ends early"},
      {cut, "ends early"},
      {no_tail, "ends early"},
      {Bytes(head.begin(), head.end()), "ends early"},
      // A huge window on a tiny file is refused without trying to allocate it.
      {WithFrame(MakeHeader(30000, 30000), Bytes(200, 0xFF)), "too large"}};
  for (const auto& [file, cause] : cases) EXPECT_HAS(test::Why(ReadPcxPixels(file)), cause);
}

// An opened PCX: the same pixels, palette and header as a whole decode, in slices,
// again after a rewind, and whole.
TEST(OpenedPicture, ReadsAPcxInSlicesAgainAndWhole) {
  test::TempDir dir;
  Bytes pixels(517 * 300);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i / 700 * 37 + i % 3);
  PcxHeader header = MakeHeader(517, 300, 518);
  auto file = WritePcx(header, pixels, test::DistinctPalette(9));
  ASSERT_TRUE(file);
  test::WriteBytes(dir.File("p.pcx"), *file);
  auto opened = OpenedPicture::Open(dir.File("p.pcx"));
  ASSERT_TRUE(opened) << opened.error().Text();
  const auto whole = DecodePcx(*file).value();
  EXPECT_EQ(opened->header(), whole.extras.pcx);
  for (size_t i = 0; i < 256; ++i) EXPECT_EQ(opened->palette()[i], whole.entries[i].rgb) << i;
  for (int pass = 0; pass < 2; ++pass) {
    pixels.clear();
    auto read = opened->ForEachSlice([&](std::span<const uint8_t> slice) -> Status {
      EXPECT_EQ(slice.size() % 517, 0u);
      pixels.insert(pixels.end(), slice.begin(), slice.end());
      return Ok{};
    });
    ASSERT_TRUE(read) << read.error().Text();
    EXPECT_TRUE(pixels == whole.pixels) << "pass " << pass;
    ASSERT_TRUE(opened->Rewind());
  }
  auto taken = opened->TakeWhole();
  ASSERT_TRUE(taken) << taken.error().Text();
  EXPECT_TRUE(taken->pixels == whole.pixels);
}

// One opener for every reader: a named pipe is refused at once (never waited on),
// and a picture of the wrong kind before anything is decoded; PCX and PNG pictures
// open as what they are, whatever their names (files of no kind: the CLI tests).
TEST(OpenedPicture, TellsPcxFromPngAndRefusesTheRest) {
  test::TempDir dir;
  ::mkfifo(dir.File("pipe.pcx").c_str(), 0644);
  EXPECT_EQ(test::Why(OpenedPicture::Open(dir.File("pipe.pcx"))),
            "cannot load '" + dir.File("pipe.pcx") + "': not a regular file");
  PcxHeader header = MakeHeader(3, 2);
  const Bytes pcx = WritePcx(header, Bytes(6, 4), test::DistinctPalette()).value();
  test::WriteBytes(dir.File("pcx.png"), pcx);
  BoardEntries entries{};
  entries[4] = BoardEntry{{1, 2, 3}, 100};
  test::WriteBytes(dir.File("png.pcx"), EncodeIndexedPng(3, 2, Bytes(6, 4), entries).value());
  auto as_pcx = OpenedPicture::Open(dir.File("pcx.png"));
  auto as_png = OpenedPicture::Open(dir.File("png.pcx"));
  ASSERT_TRUE(as_pcx && as_png);
  EXPECT_EQ(std::tuple(as_pcx->format(), as_png->format(), as_png->entries()[4].A),
            std::tuple(PictureFormat::Pcx, PictureFormat::Png, 100));
  EXPECT_EQ(test::Why(OpenedPicture::Open(dir.File("png.pcx"), PictureFormat::Pcx)),
            "cannot load '" + dir.File("png.pcx") + "': a PNG picture where a PCX one is needed");
}

}  // namespace
}  // namespace hw
