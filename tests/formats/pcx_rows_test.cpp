// The slice decoder against the whole-picture decoder: the same pixels or the same
// error for every file, whatever the input buffer, the slice and the sizes of the
// pieces the source hands over; and the opener that serves every reader of files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "../common/test_util.h"
#include "formats/pcx.h"
#include "formats/pcx_internal.h"
#include "formats/picture_io.h"
#include "formats/picture_opener.h"
#include "formats/png.h"

namespace hw::test {
namespace {

struct Decoded {
  bool ok = false;
  Bytes pixels;
  std::string error;
};

Decoded Whole(const Bytes& file) {
  auto pic = DecodePcx(file);
  if (!pic) return {false, {}, pic.error().message};
  return {true, pic->pixels, ""};
}

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

void ExpectSame(const Bytes& file, const std::string& what) {
  const Decoded whole = Whole(file);
  // clang-format off
  for (auto [input, rows, piece] : {std::tuple<size_t, int, size_t>{256, 1, 1}, {300, 3, 97},
                                    {4096, 2, 4096}, {PcxRowDecoder::kDefaultInputBytes, 50, SIZE_MAX}}) {
    // clang-format on
    SCOPED_TRACE(what + ", input " + std::to_string(input) + ", rows " + std::to_string(rows) +
                 ", piece " + std::to_string(piece));
    const Decoded sliced = Sliced(file, input, rows, piece);
    ASSERT_EQ(sliced.ok, whole.ok) << (whole.ok ? sliced.error : whole.error);
    EXPECT_EQ(sliced.error, whole.error);
    EXPECT_TRUE(sliced.pixels == whole.pixels);
  }
}

// Runs of 1..200 pixels, literal stretches of every value, single escapes.
Bytes Content(int w, int h, std::mt19937& rng) {
  Bytes px(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < px.size();) {
    const size_t len = 1 + rng() % (rng() % 3 == 0 ? 200 : 4);
    const auto v = static_cast<uint8_t>(rng() % 4 == 0 ? 0xC0 + rng() % 64 : rng());
    for (size_t k = 0; k < len && i < px.size(); ++k) px[i++] = v;
  }
  return px;
}

TEST(PcxRowDecoder, MatchesWholeDecodeOnTheCorpus) {
  int seen = 0;
  for (const auto& e : std::filesystem::directory_iterator(HW_SOURCE_DIR "/fuzz/corpus")) {
    ExpectSame(ReadBytes(e.path()), e.path().filename());
    ++seen;
  }
  EXPECT_GT(seen, 30);
}

// Random pictures: run-length and raw, with and without row filler, whole, cut at
// many places, and with bytes changed; with every instruction set the codec may use.
TEST(PcxRowDecoder, MatchesWholeDecodeOnRandomAndDamagedPictures) {
  std::mt19937 rng(7);
  using pcx_internal::SimdLevel;
  for (SimdLevel level : {SimdLevel::kAvx512, SimdLevel::kSsse3, SimdLevel::kPortable}) {
    const SimdLevel before = pcx_internal::AllowSimd(level);
    for (auto [w, h, bpl, encoding] : {std::tuple{1, 1, 1, 1},
                                       {37, 19, 38, 1},
                                       {300, 40, 300, 1},
                                       {129, 33, 140, 0},
                                       {1000, 7, 1001, 1}}) {
      PcxHeader header = MakeHeader(w, h, bpl, static_cast<uint8_t>(encoding));
      auto file = WritePcx(header, Content(w, h, rng), DistinctPalette());
      ASSERT_TRUE(file);
      const std::string what = std::to_string(w) + "x" + std::to_string(h) + " bpl " +
                               std::to_string(bpl) + " encoding " + std::to_string(encoding);
      ExpectSame(*file, what);
      for (int cut = 0; cut < 12; ++cut) {
        Bytes shorter(file->begin(),
                      file->end() - 1 - static_cast<ptrdiff_t>(rng() % file->size()));
        ExpectSame(shorter, what + " cut to " + std::to_string(shorter.size()));
      }
      for (int k = 0; k < 12; ++k) {
        Bytes changed = *file;
        for (int n = 0; n < 4; ++n) changed[rng() % changed.size()] = static_cast<uint8_t>(rng());
        ExpectSame(changed, what + " changed");
      }
    }
    pcx_internal::AllowSimd(before);
  }
}

TEST(PcxRowDecoder, FileThatShrinksWhileReadIsRefused) {
  std::mt19937 rng(3);
  PcxHeader header = MakeHeader(200, 50);
  auto file = WritePcx(header, Content(200, 50, rng), DistinctPalette());
  ASSERT_TRUE(file);
  const Decoded r = Sliced(*file, 256, 4, 100, 150);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "the file became shorter while it was read (pixel data ends early)");
}

TEST(PcxRowDecoder, SliceMustHoldARow) {
  PcxHeader header = MakeHeader(10, 2);
  auto file = WritePcx(header, Bytes(20, 1), DistinctPalette());
  ASSERT_TRUE(file);
  auto decoder = PcxRowDecoder::Open(std::span(*file).first(128), file->size(),
                                     [](std::span<uint8_t>) -> Result<size_t> { return 0; });
  ASSERT_TRUE(decoder);
  Bytes small(9);
  EXPECT_FALSE(decoder->ReadRows(small));
}

// An opened PCX: the same pixels, palette and header as a whole decode, in slices,
// again after a rewind, and whole; errors name the file.
TEST(OpenedPicture, ReadsAPcxInSlicesAgainAndWhole) {
  TempDir dir;
  std::mt19937 rng(5);
  PcxHeader header = MakeHeader(517, 300, 518);
  auto file = WritePcx(header, Content(517, 300, rng), DistinctPalette(9));
  ASSERT_TRUE(file);
  WriteBytes(dir.File("p.pcx"), *file);
  auto opened = OpenedPicture::Open(dir.File("p.pcx"));
  ASSERT_TRUE(opened) << opened.error().message;
  const auto whole = DecodePcx(*file).value();
  EXPECT_EQ(opened->header(), whole.header);
  EXPECT_EQ(opened->palette(), whole.palette);
  for (int pass = 0; pass < 2; ++pass) {
    Bytes pixels;
    auto read = opened->ForEachSlice([&](std::span<const uint8_t> slice) -> Status {
      EXPECT_EQ(slice.size() % 517, 0u);
      pixels.insert(pixels.end(), slice.begin(), slice.end());
      return Ok{};
    });
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_TRUE(pixels == whole.pixels) << "pass " << pass;
    ASSERT_TRUE(opened->Rewind());
  }
  auto taken = opened->TakeWhole();
  ASSERT_TRUE(taken) << taken.error().message;
  EXPECT_TRUE(taken->pixels == whole.pixels);

  WriteBytes(dir.File("cut.pcx"), Bytes(file->begin(), file->begin() + 2000));
  for (const char* name : {"cut.pcx", "missing.pcx", "."}) {
    auto cut = OpenedPicture::Open(dir.File(name));
    std::string error = cut ? "" : cut.error().message;
    if (cut) {
      auto read = cut->ForEachSlice([](std::span<const uint8_t>) -> Status { return Ok{}; });
      if (!read) error = read.error().message;
    }
    EXPECT_NE(error.find("'" + dir.File(name) + "'"), std::string::npos) << error;
  }
}

// One opener for every reader: a named pipe is refused at once (never waited on),
// a file whose first byte is neither PCX's 10 nor PNG's signature is no picture to
// any reader, and a picture of the wrong kind is refused before anything is decoded;
// PCX and PNG pictures open as what they are, whatever their names.
TEST(OpenedPicture, TellsPcxFromPngAndRefusesTheRest) {
  TempDir dir;
  ::mkfifo(dir.File("pipe.pcx").c_str(), 0644);
  EXPECT_EQ(Why(OpenedPicture::Open(dir.File("pipe.pcx"))),
            "cannot load '" + dir.File("pipe.pcx") + "': not a regular file");
  PcxHeader header = MakeHeader(3, 2);
  const Bytes pcx = WritePcx(header, Bytes(6, 4), DistinctPalette()).value();
  Bytes maker_11 = pcx, gimp = {'G', 'I', 'M', 'P', '\n'};
  maker_11[0] = 11;
  for (const auto& [name, bytes] :
       {std::pair{"maker-11.pcx", maker_11}, {"gimp.pcx", gimp}, {"empty.pcx", Bytes{}}}) {
    WriteBytes(dir.File(name), bytes);
    EXPECT_EQ(Why(ReadPcxPixels(bytes)), kNotAPicture);
    EXPECT_EQ(Sliced(bytes, 256, 1, 7).error, kNotAPicture);
    const std::string named = "cannot load '" + dir.File(name) + "': " + kNotAPicture;
    EXPECT_EQ(Why(LoadPictureFile(dir.File(name))), named);
    EXPECT_EQ(Why(ConvertPictureFile(dir.File(name), dir.File("out.png"))), named);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.png")));
  }

  WriteBytes(dir.File("pcx.png"), pcx);
  BoardEntries entries{};
  entries[4] = BoardEntry{{1, 2, 3}, 100};
  WriteBytes(dir.File("png.pcx"), EncodeIndexedPng(3, 2, Bytes(6, 4), entries).value());
  auto as_pcx = OpenedPicture::Open(dir.File("pcx.png"));
  auto as_png = OpenedPicture::Open(dir.File("png.pcx"));
  ASSERT_TRUE(as_pcx && as_png);
  EXPECT_EQ(std::tuple(as_pcx->format(), as_png->format(), as_png->entries()[4].A),
            std::tuple(PictureFormat::Pcx, PictureFormat::Png, 100));
  EXPECT_EQ(Why(OpenedPicture::Open(dir.File("png.pcx"), PictureFormat::Pcx)),
            "cannot load '" + dir.File("png.pcx") + "': a PNG picture where a PCX one is needed");
}

}  // namespace
}  // namespace hw::test
