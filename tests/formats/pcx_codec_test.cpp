// Byte-level behaviour of the PCX reader and writer that the comparison with the
// byte-at-a-time model (pcx_reference_test) does not reach: window arithmetic,
// raw rows, and what the reader refuses.
#include <gtest/gtest.h>

#include "../common/test_util.h"

namespace hw::test {
namespace {

const Palette kPal = DistinctPalette();

// header + data + 12 + palette, as a file would hold them.
Bytes FileOf(const PcxHeader& hd, const Bytes& data) {
  const auto head = HeaderBytes(hd);
  Bytes f(head.begin(), head.end());
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(12);
  const Bytes pal = PaletteBytes(kPal);
  f.insert(f.end(), pal.begin(), pal.end());
  return f;
}

TEST(PcxSize, WindowArithmeticAndOverflow) {
  PcxHeader hd;
  hd.Xmin = 10, hd.Xmax = 13, hd.Ymin = -2, hd.Ymax = 0;
  auto s = PictureSize(hd);
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(std::tuple(s->width, s->height, s->count), std::tuple(4, 3, 12));
  hd.Xmin = -32768, hd.Xmax = 0;  // width 32769
  EXPECT_FALSE(PictureSize(hd).ok());
  hd.Xmin = -16384, hd.Xmax = 16382, hd.Ymin = -16384, hd.Ymax = 16382;  // 32767 x 32767 fits
  EXPECT_TRUE(PictureSize(hd).ok());
  hd.Xmin = 0, hd.Xmax = -32768, hd.Ymin = 0, hd.Ymax = -2;  // width -32767, height -1
  EXPECT_EQ(PictureSize(hd)->count, 32767);
}

TEST(PcxWrite, RawRowsAndBuffersThatDoNotFitTheHeader) {
  // Encoding 0: raw rows, each padded to BytesPerLine, indices of 192 and more as they are.
  PcxHeader raw_header = MakeHeader(3, 2, 4, 0);
  auto raw = WritePcx(raw_header, Bytes{200, 200, 1, 2, 3, 250}, kPal);
  ASSERT_TRUE(raw.ok());
  EXPECT_EQ(Bytes(raw->begin() + 128, raw->end() - 769), (Bytes{200, 200, 1, 0, 2, 3, 250, 0}));
  EXPECT_EQ(ReadPcxPixels(*raw).value(), (Bytes{200, 200, 1, 2, 3, 250}));
  EXPECT_FALSE(DecodePcx(FileOf(MakeHeader(3, 2, 4, 0), {200, 200, 1, 0, 2})).ok());

  // Too few pixels: refused, and the caller's header is left alone.
  PcxHeader hd = MakeHeader(4, 4);
  const PcxHeader before = hd;
  EXPECT_HAS(Why(WritePcx(hd, Bytes(15), kPal)), "16");
  EXPECT_EQ(hd, before);
  hd.Xmin = -32768, hd.Xmax = 1;
  EXPECT_FALSE(WritePcx(hd, Bytes(100), kPal).ok());
}

TEST(PcxRead, RefusesWhatItCannotShow) {
  PcxHeader one_bit = MakeHeader(4, 1), planes = one_bit, wide = one_bit, tall = one_bit;
  one_bit.BitsPerPixel = 1;
  planes.NPlanes = 3;
  wide.Xmin = tall.Ymin = -32768;
  wide.Xmax = tall.Ymax = 32767;
  Bytes cut = FileOf(MakeHeader(4, 1), {1, 2, 3, 0xC1});
  cut.erase(cut.end() - 769);  // the run marker is the last byte before the palette
  const auto head = HeaderBytes(MakeHeader(8, 8));
  Bytes no_tail(head.begin(), head.end());
  no_tail.insert(no_tail.end(), 768, 0x01);  // 64 pixels available only inside the palette
  const std::pair<Bytes, const char*> cases[] = {
      {FileOf(one_bit, {1, 2, 3, 4}), "bits per pixel"},
      {FileOf(planes, {1, 2, 3, 4}), "plane"},
      {FileOf(MakeHeader(0, 1), {}), "no pixels"},
      {FileOf(MakeHeader(-3, -3), Bytes(9)), "no pixels"},
      {FileOf(wide, {}), "overflow"},
      {FileOf(tall, {}), "overflow"},
      {FileOf(MakeHeader(4, 2), {1, 2, 3}), "ends early"},
      {cut, "ends early"},
      {no_tail, "ends early"},
      {Bytes(head.begin(), head.end()), "ends early"},
      // A huge window on a tiny file is refused without trying to allocate it.
      {FileOf(MakeHeader(30000, 30000), Bytes(200, 0xFF)), "too large"}};
  for (const auto& [file, cause] : cases) EXPECT_HAS(Why(ReadPcxPixels(file)), cause);
}

}  // namespace
}  // namespace hw::test
