// The word- and block-wise codec, whole and in slices, against a plain
// byte-at-a-time model of the same rules, on pictures and streams large enough to
// reach every fast path, and on damaged files, which must be refused or decoded
// without touching memory outside the input (run these under the sanitizers too).
// The slice decoder gives the same pixels or the same error as the whole-picture
// decoder, whatever the input buffer, the slice and the pieces the source hands over.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "../common/test_util.h"
#include "formats/pcx_internal.h"

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
  if (!decoder) return {false, {}, decoder.error().message};
  const size_t w = static_cast<size_t>(decoder->size().width);
  Bytes pixels, slice(w * static_cast<size_t>(slice_rows));
  while (!decoder->done()) {
    auto rows = decoder->ReadRows(slice);
    if (!rows) return {false, {}, rows.error().message};
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
  ASSERT_EQ(sliced.error, whole ? "" : whole.error().message) << k;
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
    ASSERT_TRUE(back.ok()) << back.error().message;
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

// Random bytes after a plausible header, the file cut at every length around the
// data's end: each read terminates, never reads outside the span, and agrees
// with the model about whether the picture is complete.
TEST_P(PcxAgainstModel, TruncationAtEveryLength) {
  std::mt19937 rng(99);
  const int w = 131, h = 3;
  Bytes px = Picture(rng, w, h, 5);
  PcxHeader hd = MakeHeader(w, h, 132);
  auto file = WritePcx(hd, px, Palette{});
  ASSERT_TRUE(file.ok());
  for (size_t len = 0; len <= file->size(); ++len) {
    // An exact-size copy, so the sanitizers see any read past the end.
    const Bytes cut(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(len));
    auto got = ReadPcxPixels(cut);
    Bytes want;
    const bool ok =
        len >= 128 + 768 && ModelDecode(Bytes(cut.begin() + 128, cut.end() - 768), w, h, 132, want);
    ASSERT_EQ(got.ok(), ok) << "length " << len;
    if (ok) {
      EXPECT_EQ(*got, px);
    }
    ExpectSlicesAgree(cut, static_cast<uint32_t>(len));
  }
}

// The seed corpus's PCX files (header fields of every odd kind) in slices too.
TEST(PcxSlices, AgreeWithTheWholeDecoderOnTheCorpus) {
  uint32_t k = 0;
  for (const auto& e : std::filesystem::directory_iterator(HW_SOURCE_DIR "/fuzz/corpus")) {
    ExpectSlicesAgree(ReadBytes(e.path()), k++);
  }
  EXPECT_GT(k, 30u);
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

}  // namespace
}  // namespace hw
