// The one opener every reader of picture files goes through: PCX read in slices,
// again after a rewind, and whole; PCX told from PNG by content; pipes, files that
// are no picture and pictures of the wrong kind refused, naming the file.
#include "formats/picture_opener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "../common/test_util.h"
#include "formats/picture_io.h"
#include "formats/png.h"

namespace hw::test {
namespace {

// An opened PCX: the same pixels, palette and header as a whole decode, in slices,
// again after a rewind, and whole; errors name the file.
TEST(OpenedPicture, ReadsAPcxInSlicesAgainAndWhole) {
  TempDir dir;
  Bytes pixels(517 * 300);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i / 700 * 37 + i % 3);
  PcxHeader header = MakeHeader(517, 300, 518);
  auto file = WritePcx(header, pixels, DistinctPalette(9));
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
