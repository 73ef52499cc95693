// Byte-level behaviour of the PCX reader and writer.
#include <gtest/gtest.h>

#include "../common/test_util.h"

namespace hw {
namespace {

using test::Bytes;
using test::MakeHeader;
const Palette kPal = test::DistinctPalette();

// header + data + 12 + palette, as a file would hold them.
Bytes FileOf(const PcxHeader& hd, const Bytes& data) {
  Bytes f;
  const auto head = HeaderBytes(hd);
  f.insert(f.end(), head.begin(), head.end());
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(12);
  const auto* pal = reinterpret_cast<const uint8_t*>(kPal.data());
  f.insert(f.end(), pal, pal + 768);
  return f;
}

Bytes PixelData(const Bytes& file) { return Bytes(file.begin() + 128, file.end() - 769); }

Bytes Encode(PcxHeader hd, const Bytes& pixels) {
  auto r = WritePcx(hd, pixels, kPal);
  EXPECT_TRUE(r.ok()) << r.error().message;
  return r.ok() ? *r : Bytes{};
}

Bytes Decode(const Bytes& file) {
  auto r = ReadPcxPixels(file);
  EXPECT_TRUE(r.ok()) << r.error().message;
  return r.ok() ? *r : Bytes{};
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
  hd.Xmin = -32767, hd.Xmax = -32768;  // width 0
  EXPECT_EQ(PictureSize(hd)->count, 0);
  hd.Xmin = 0, hd.Xmax = -32768, hd.Ymin = 0, hd.Ymax = -2;  // width -32767, height -1
  EXPECT_EQ(PictureSize(hd)->count, 32767);
}

TEST(PcxWrite, WorkedExampleAndRunRules) {
  // 4 x 2: rows 1 1 1 200 / 200 200 5 6.
  PcxHeader hd = MakeHeader(4, 2);
  const Bytes px = {1, 1, 1, 200, 200, 200, 5, 6};
  const Bytes file = Encode(hd, px);
  ASSERT_EQ(file.size(), 905u);
  EXPECT_EQ(PixelData(file), (Bytes{0xC3, 1, 0xC1, 0xC8, 0xC2, 0xC8, 5, 6}));
  EXPECT_EQ(file[905 - 769], 12);
  EXPECT_EQ(Decode(file), px);

  // 70 pixels of 200: a run of 63 then a run of 7.
  EXPECT_EQ(PixelData(Encode(MakeHeader(70, 1), Bytes(70, 200))), (Bytes{0xFF, 0xC8, 0xC7, 0xC8}));
  // 64 equal pixels: the leftover single pixel is written on its own.
  EXPECT_EQ(PixelData(Encode(MakeHeader(64, 1), Bytes(64, 7))), (Bytes{0xFF, 7, 7}));
  EXPECT_EQ(PixelData(Encode(MakeHeader(64, 1), Bytes(64, 250))), (Bytes{0xFF, 250, 0xC1, 250}));
  // Single values: raw below 192, escaped from 192 up.
  EXPECT_EQ(PixelData(Encode(MakeHeader(3, 1), {191, 192, 255})),
            (Bytes{191, 0xC1, 192, 0xC1, 255}));
  // A run never crosses a row end.
  EXPECT_EQ(PixelData(Encode(MakeHeader(3, 2), {4, 9, 9, 9, 9, 1})),
            (Bytes{4, 0xC2, 9, 0xC2, 9, 1}));
}

TEST(PcxWrite, EmptyPictureRawRowsAndErrors) {
  PcxHeader empty = MakeHeader(0, 5);
  auto f = WritePcx(empty, {}, kPal);
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f->size(), 897u);

  // Encoding 0: raw rows, each padded to BytesPerLine.
  const Bytes raw = Encode(MakeHeader(3, 2, 4, 0), {200, 200, 1, 2, 3, 250});
  EXPECT_EQ(PixelData(raw), (Bytes{200, 200, 1, 0, 2, 3, 250, 0}));
  // ...and read back as raw rows, indices of 192 and more included; short data is refused.
  EXPECT_EQ(Decode(raw), (Bytes{200, 200, 1, 2, 3, 250}));
  EXPECT_FALSE(DecodePcx(FileOf(MakeHeader(3, 2, 4, 0), {200, 200, 1, 0, 2})).ok());

  // Too few pixels: refused, and the caller's header is left alone.
  PcxHeader hd = MakeHeader(4, 4);
  const PcxHeader before = hd;
  auto bad = WritePcx(hd, Bytes(15), kPal);
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.error().message.find("16"), std::string::npos);
  EXPECT_EQ(hd, before);
  hd.Xmin = -32768;
  hd.Xmax = 1;
  EXPECT_FALSE(WritePcx(hd, Bytes(100), kPal).ok());
}

TEST(PcxWrite, PadsRowsToBytesPerLine) {
  // Width 3, BytesPerLine 4: each row gets one zero, and runs include the filler
  // but stop at the end of the padded row.
  const Bytes file = Encode(MakeHeader(3, 2, 4), {7, 0, 0, 200, 200, 200});
  EXPECT_EQ(PixelData(file), (Bytes{7, 0xC3, 0, 0xC3, 200, 0}));
  EXPECT_EQ(Decode(file), (Bytes{7, 0, 0, 200, 200, 200}));
  // BytesPerLine below the width: rows are the width.
  EXPECT_EQ(PixelData(Encode(MakeHeader(3, 1, 1), {5, 6, 7})), (Bytes{5, 6, 7}));
  // ...and read back so, as with BytesPerLine of zero or less. (Streams with filler
  // and runs over row ends are checked against the model in pcx_reference_test.)
  for (int16_t bpl : {0, -4, 1}) {
    PcxHeader hd = MakeHeader(2, 2);
    hd.BytesPerLine = bpl;
    EXPECT_EQ(Decode(FileOf(hd, {1, 2, 3, 4})), (Bytes{1, 2, 3, 4})) << bpl;
  }
}

TEST(PcxRead, RefusesWhatItCannotShow) {
  auto expect_error = [](const Bytes& file, const std::string& word) {
    auto r = ReadPcxPixels(file);
    ASSERT_FALSE(r.ok()) << word;
    EXPECT_NE(r.error().message.find(word), std::string::npos) << r.error().message;
  };
  PcxHeader one_bit = MakeHeader(4, 1), planes = one_bit, wide = one_bit, tall = one_bit;
  one_bit.BitsPerPixel = 1;
  planes.NPlanes = 3;
  wide.Xmin = tall.Ymin = -32768;
  wide.Xmax = tall.Ymax = 32767;
  expect_error(FileOf(one_bit, {1, 2, 3, 4}), "bits per pixel");
  expect_error(FileOf(planes, {1, 2, 3, 4}), "plane");
  expect_error(FileOf(MakeHeader(0, 1), {}), "no pixels");
  expect_error(FileOf(MakeHeader(-3, -3), Bytes(9)), "no pixels");
  expect_error(FileOf(wide, {}), "overflow");
  expect_error(FileOf(tall, {}), "overflow");

  // Data that ends early: in the middle of the picture, between a marker and its value,
  // and data that would only complete by using the palette block.
  expect_error(FileOf(MakeHeader(4, 2), {1, 2, 3}), "ends early");
  Bytes cut = FileOf(MakeHeader(4, 1), {1, 2, 3, 0xC1});
  cut.erase(cut.end() - 769);  // the marker is the last byte before the palette
  expect_error(cut, "ends early");
  const auto head = HeaderBytes(MakeHeader(8, 8));
  Bytes no_tail(head.begin(), head.end());
  no_tail.insert(no_tail.end(), 768, 0x01);  // 64 pixels available only inside the palette
  expect_error(no_tail, "ends early");
  expect_error(Bytes(head.begin(), head.end()), "ends early");

  // A huge window on a tiny file is refused without trying to allocate it.
  expect_error(FileOf(MakeHeader(30000, 30000), Bytes(200, 0xFF)), "too large");
}

TEST(PcxRead, PaletteIsTheLast768Bytes) {
  Bytes f(1000);
  for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 31);
  auto p = ReadPcxPalette(f);
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(std::tuple((*p)[0].R, (*p)[255].B), std::tuple(f[232], f[999]));
  EXPECT_TRUE(ReadPcxPalette(Bytes(768)).ok());
  EXPECT_FALSE(ReadPcxPalette(Bytes(767)).ok());
  EXPECT_FALSE(DecodePcx(Bytes(500)).ok());
}

}  // namespace
}  // namespace hw
