// Exchange of PCX files with other programs: Pillow, ImageMagick and netpbm write
// pictures we must read exactly, and read back exactly the pictures we write.
// The tools are required: a missing one fails the test with a message.
#include <gtest/gtest.h>

#include "../common/test_util.h"
#include "formats/picture_io.h"

namespace hw::test {
namespace {

const Palette kPal = DistinctPalette(3);

// Runs of 1..80 pixels (longer than one encoded run, some crossing rows) with
// values over the whole range, many of them 192 and above.
Bytes Content(int w, int h) {
  Bytes px(static_cast<size_t>(w) * h);
  uint32_t s = 2463534242u;
  auto next = [&] { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; };
  for (size_t i = 0; i < px.size();) {
    const size_t len = 1 + next() % (next() % 4 == 0 ? 80 : 3);
    const auto v = static_cast<uint8_t>(next());
    for (size_t k = 0; k < len && i < px.size(); ++k) px[i++] = v;
  }
  return px;
}

Bytes ColoursOf(const Bytes& px, const BoardEntries& e) {
  Bytes rgb;
  for (uint8_t v : px) rgb.insert(rgb.end(), {e[v].rgb.R, e[v].rgb.G, e[v].rgb.B});
  return rgb;
}

const Bytes kPalBytes = PaletteBytes(kPal);

class PcxInterop : public ::testing::Test {
 protected:
  // Runs a command that must succeed.
  void Run(const std::string& cmd) {
    std::string out;
    ASSERT_EQ(RunShell(cmd, &out), 0) << cmd << ": " << out;
  }
  std::string At(const std::string& name) const { return dir_.File(name); }
  // ppmtopcx's picture of 13 x 5 pixels in `colours` colours as nb.pcx; `packed` is
  // "-packed " or "".
  void NetpbmLowDepth(const std::string& ppmtopcx, int colours, const char* packed) {
    Bytes px(13 * 5);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t((i * 7 + i / 13) % colours);
    WriteBytes(At("src.ppm"), Ppm(13, 5, ColoursOf(px, Opaque(kPal))));
    Run(ppmtopcx + " " + packed + At("src.ppm") + " > " + At("nb.pcx"));
  }
  // The colours pcxtoppm shows of a 13 x 5 picture.
  Bytes NetpbmColours(const std::string& pcxtoppm, const std::string& file) {
    Run(pcxtoppm + " " + file + " > " + At("nb.ppm"));
    return Tail(ReadBytes(At("nb.ppm")), 13 * 5 * 3);
  }
  TempDir dir_;
};

TEST_F(PcxInterop, ReadsPillowFiles) {
  const std::string py = NeedTool("python3", "python3-pil");
  if (py.empty()) return;
  WriteBytes(At("pal.bin"), kPalBytes);
  for (int w : {101, 100, 1}) {
    const Bytes px = Content(w, 9);
    WriteBytes(At("idx.bin"), px);
    Run(py +
        " -c 'import sys; from PIL import Image; d = sys.argv[1]; r = lambda n: open(d + n, "
        "\"rb\").read(); "
        "im = Image.frombytes(\"P\", (int(sys.argv[2]), 9), r(\"/idx.bin\")); "
        "im.putpalette(list(r(\"/pal.bin\"))); im.save(d + \"/pil.pcx\")' " +
        dir_.Path() + " " + std::to_string(w));
    auto pic = LoadPictureFile(At("pil.pcx"));
    ASSERT_TRUE(pic.ok()) << pic.error().Text();
    // Pillow pads rows to an even length.
    EXPECT_EQ(std::tuple(pic->extras.pcx.BytesPerLine, pic->pixels, pic->entries),
              std::tuple(w + (w & 1), px, Opaque(kPal)))
        << "width " << w;
  }
}

TEST_F(PcxInterop, ReadsImageMagickAndNetpbmFiles) {
  const std::string convert = NeedTool("convert", "imagemagick"),
                    ppmtopcx = NeedTool("ppmtopcx", "netpbm");
  if (convert.empty() || ppmtopcx.empty()) return;
  for (int w : {77, 64}) {
    const Bytes rgb = ColoursOf(Content(w, 11), Opaque(kPal));
    WriteBytes(At("src.ppm"), Ppm(w, 11, rgb));
    Run(convert + " " + At("src.ppm") + " -type Palette " + At("im.pcx"));
    Run(ppmtopcx + " -8bit " + At("src.ppm") + " > " + At("nb.pcx"));
    for (const char* name : {"im.pcx", "nb.pcx"}) {
      auto pic = LoadPictureFile(At(name));
      ASSERT_TRUE(pic.ok()) << name << ": " << pic.error().Text();
      EXPECT_EQ(pic->extras.pcx.BytesPerLine, w) << name << " writes rows of the width";
      // Their palettes are ordered their own way: compare what each pixel shows.
      EXPECT_EQ(ColoursOf(pic->pixels, pic->entries), rgb) << name << " width " << w;
    }
  }
}

TEST_F(PcxInterop, OthersReadOurFiles) {
  const std::string py = NeedTool("python3", "python3-pil"),
                    convert = NeedTool("convert", "imagemagick"),
                    pcxtoppm = NeedTool("pcxtoppm", "netpbm");
  if (py.empty() || convert.empty() || pcxtoppm.empty()) return;
  // Odd width padded to an even row, odd width unpadded, even width.
  for (auto [w, bpl] : {std::pair{101, 102}, {101, 101}, {100, 100}}) {
    const std::string what = "width " + std::to_string(w) + ", BytesPerLine " + std::to_string(bpl);
    const Bytes px = Content(w, 13), rgb = ColoursOf(px, Opaque(kPal));
    PictureExtras extras;
    extras.pcx = MakeHeader(w, 13, bpl);
    extras.pcx.HDpi = extras.pcx.VDpi = 72;
    const std::string ours = At("ours.pcx");
    ASSERT_TRUE(SavePictureFile(ours, PictureFormat::Pcx, w, 13, px, Opaque(kPal), &extras).ok());

    Run(py +
        " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); a = sys.argv; "
        "assert im.mode == \"P\", im.mode; open(a[2], \"wb\").write(im.tobytes()); "
        "open(a[3], \"wb\").write(bytes(im.getpalette()[:768]))' " +
        ours + " " + At("p.idx") + " " + At("p.pal"));
    EXPECT_EQ(std::tuple(ReadBytes(At("p.idx")), ReadBytes(At("p.pal"))), std::tuple(px, kPalBytes))
        << "Pillow, " << what;

    Run(convert + " " + ours + " -depth 8 rgb:" + At("im.rgb"));
    EXPECT_EQ(ReadBytes(At("im.rgb")), rgb) << "ImageMagick, " << what;

    Run(pcxtoppm + " " + ours + " > " + At("nb.ppm"));
    EXPECT_EQ(ReadBytes(At("nb.ppm")), Ppm(w, 13, rgb)) << "netpbm, " << what;
  }
}

// ppmtopcx writes 2 to 16 colours as 1 bit in 1 to 4 planes, or packed at 1, 2 or 4
// bits: every pixel must show what pcxtoppm shows, and a save keeps the depth while
// the picture fits it and writes 8 bits (saying why) once it does not.
TEST_F(PcxInterop, LowDepthsShowWhatNetpbmShowsAndKeepTheirDepth) {
  const std::string ppmtopcx = NeedTool("ppmtopcx", "netpbm"),
                    pcxtoppm = NeedTool("pcxtoppm", "netpbm");
  if (ppmtopcx.empty() || pcxtoppm.empty()) return;
  for (int colours : {2, 4, 8, 16}) {
    for (const char* packed : {"", "-packed "}) {
      const std::string what = std::to_string(colours) + " colours " + packed;
      NetpbmLowDepth(ppmtopcx, colours, packed);
      auto pic = LoadPictureFile(At("nb.pcx"));
      ASSERT_TRUE(pic.ok()) << what << pic.error().Text();
      EXPECT_LT(pic->extras.pcx.BitsPerPixel, 8) << what;
      EXPECT_EQ(ColoursOf(pic->pixels, pic->entries), NetpbmColours(pcxtoppm, At("nb.pcx")))
          << what;
      EXPECT_EQ(pic->palette_count, 1 << (pic->extras.pcx.BitsPerPixel * pic->extras.pcx.NPlanes));
      // Its palette, taken as a palette file, is the header colours it is drawn with,
      // even with a 256-colour palette's marker and bytes after the pixels.
      Bytes tailed = ReadBytes(At("nb.pcx"));
      tailed.push_back(12);
      for (int k = 0; k < 768; ++k) tailed.push_back(uint8_t(k * 37 + 11));
      WriteBytes(At("tailed.pcx"), tailed);
      for (const char* name : {"nb.pcx", "tailed.pcx"}) {
        auto palette = LoadAnyPaletteFile(At(name));
        ASSERT_TRUE(palette.ok()) << palette.error().Text();
        EXPECT_EQ(palette->count, pic->palette_count) << what << name;
        EXPECT_TRUE(std::equal(pic->entries.begin(), pic->entries.begin() + palette->count,
                               palette->entries.begin()))
            << what << name;
      }

      PictureExtras extras = pic->extras;
      std::string note = "stale";
      ASSERT_TRUE(SavePictureFile(At("ours.pcx"), PictureFormat::Pcx, 13, 5, pic->pixels,
                                  pic->entries, &extras, &note)
                      .ok());
      auto again = LoadPictureFile(At("ours.pcx"));
      ASSERT_TRUE(again.ok()) << again.error().Text();
      EXPECT_EQ(std::tuple(note, again->extras.pcx, again->pixels, again->entries),
                std::tuple(std::string(), extras.pcx, pic->pixels, pic->entries))
          << what;
      EXPECT_EQ(NetpbmColours(pcxtoppm, At("ours.pcx")), ColoursOf(pic->pixels, pic->entries))
          << what;

      // One index past the depth: written at 8 bits, and said so.
      Bytes wider = pic->pixels;
      wider[3] = uint8_t(pic->palette_count);
      BoardEntries entries = pic->entries;
      entries[wider[3]].rgb = {1, 2, 3};
      extras = pic->extras;
      ASSERT_TRUE(
          SavePictureFile(At("ours.pcx"), PictureFormat::Pcx, 13, 5, wider, entries, &extras, &note)
              .ok());
      again = LoadPictureFile(At("ours.pcx"));
      ASSERT_TRUE(again.ok()) << again.error().Text();
      EXPECT_HAS(note, "8 bits");
      EXPECT_EQ(std::tuple(again->extras.pcx.BitsPerPixel, again->pixels, again->entries),
                std::tuple(uint8_t{8}, wider, entries))
          << what;
    }
  }
}

// A low-depth picture whose 48 header palette bytes are all zero is shown with the
// first colours of the standard 16 (black, white, green, cyan ...), as pcxtoppm shows
// it, whatever its Version; a palette load gives the same colours; and a board whose
// entries are all black cannot be written at such a depth (it would read back as
// those colours), so it is written at 8 bits.
TEST_F(PcxInterop, AnEmptyHeaderPaletteShowsTheStandardColours) {
  const std::string ppmtopcx = NeedTool("ppmtopcx", "netpbm"),
                    pcxtoppm = NeedTool("pcxtoppm", "netpbm");
  if (ppmtopcx.empty() || pcxtoppm.empty()) return;
  const RGBTriple table[16] = {{0, 0, 0},     {255, 255, 255}, {0, 170, 0},    {0, 170, 170},
                               {170, 0, 0},   {170, 0, 170},   {170, 170, 0},  {170, 170, 170},
                               {85, 85, 85},  {85, 85, 255},   {85, 255, 85},  {85, 255, 255},
                               {255, 85, 85}, {255, 85, 255},  {255, 255, 85}, {255, 255, 255}};
  for (int colours : {2, 4, 8, 16}) {
    for (const char* packed : {"", "-packed "}) {
      for (uint8_t version : {0, 3, 5}) {
        const std::string what =
            std::to_string(colours) + " colours " + packed + "version " + std::to_string(version);
        NetpbmLowDepth(ppmtopcx, colours, packed);
        Bytes file = ReadBytes(At("nb.pcx"));
        file[1] = version;
        std::fill(file.begin() + 16, file.begin() + 64, uint8_t{0});
        WriteBytes(At("zero.pcx"), file);
        auto pic = LoadPictureFile(At("zero.pcx"));
        ASSERT_TRUE(pic.ok()) << what << pic.error().Text();
        Bytes model;
        for (uint8_t v : pic->pixels) {
          ASSERT_LT(v, colours);
          model.insert(model.end(), {table[v].R, table[v].G, table[v].B});
        }
        EXPECT_EQ(ColoursOf(pic->pixels, pic->entries), model) << what;
        EXPECT_EQ(NetpbmColours(pcxtoppm, At("zero.pcx")), model) << what;
        auto palette = LoadAnyPaletteFile(At("zero.pcx"));
        ASSERT_TRUE(palette.ok()) << palette.error().Text();
        EXPECT_EQ(palette->count, pic->palette_count) << what;  // 16 for 8 colours packed
        for (int k = 0; k < pic->palette_count; ++k) {
          EXPECT_EQ(palette->entries[size_t(k)].rgb, table[k]) << what;
        }

        BoardEntries black{};
        PictureExtras extras = pic->extras;
        std::string note;
        ASSERT_TRUE(SavePictureFile(At("black.pcx"), PictureFormat::Pcx, 13, 5, pic->pixels, black,
                                    &extras, &note)
                        .ok());
        auto again = LoadPictureFile(At("black.pcx"));
        ASSERT_TRUE(again.ok()) << again.error().Text();
        EXPECT_EQ(std::tuple(again->extras.pcx.BitsPerPixel, again->entries, !note.empty()),
                  std::tuple(uint8_t{8}, black, true))
            << what;
      }
    }
  }
}

// An 8-bit PCX gives the palette its picture shows (the last 768 bytes, a marker or
// not); one whose picture cannot be loaded is refused with the picture load's words.
TEST_F(PcxInterop, AnEightBitPaletteIsThePictureLoadsOwn) {
  PcxHeader header = IndexedPictureHeader(3, 2);
  const Bytes px = {1, 2, 3, 4, 5, 6};
  auto written = WritePcx(header, px, kPal);
  ASSERT_TRUE(written.ok());
  Bytes file = *written;
  file[file.size() - 769] = 0;  // no marker: the picture still shows these colours
  WriteBytes(At("nomark.pcx"), file);
  auto pic = LoadPictureFile(At("nomark.pcx"));
  ASSERT_TRUE(pic.ok()) << pic.error().Text();
  auto palette = LoadAnyPaletteFile(At("nomark.pcx"));
  ASSERT_TRUE(palette.ok()) << palette.error().Text();
  EXPECT_EQ(std::tuple(palette->count, palette->entries), std::tuple(256, Opaque(kPal)));

  Bytes shorter(file.begin(), file.begin() + 300);  // too short for the palette
  WriteBytes(At("short.pcx"), shorter);
  auto refused = OpenedPicture::Open(At("short.pcx"));
  ASSERT_FALSE(refused.ok());
  auto as_palette = LoadAnyPaletteFile(At("short.pcx"));
  ASSERT_FALSE(as_palette.ok());
  EXPECT_EQ(as_palette.error().Text(), refused.error().Text());
}

}  // namespace
}  // namespace hw::test
