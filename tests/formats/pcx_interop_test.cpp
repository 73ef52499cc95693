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
    ASSERT_TRUE(pic.ok()) << pic.error().message;
    // Pillow pads rows to an even length.
    EXPECT_EQ(std::tuple(pic->pcx_header.BytesPerLine, pic->pixels, pic->entries),
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
    const std::string head = "P6\n" + std::to_string(w) + " 11\n255\n";
    Bytes ppm(head.begin(), head.end());
    ppm.insert(ppm.end(), rgb.begin(), rgb.end());
    WriteBytes(At("src.ppm"), ppm);
    Run(convert + " " + At("src.ppm") + " -type Palette " + At("im.pcx"));
    Run(ppmtopcx + " -8bit " + At("src.ppm") + " > " + At("nb.pcx"));
    for (const char* name : {"im.pcx", "nb.pcx"}) {
      auto pic = LoadPictureFile(At(name));
      ASSERT_TRUE(pic.ok()) << name << ": " << pic.error().message;
      EXPECT_EQ(pic->pcx_header.BytesPerLine, w) << name << " writes rows of the width";
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
    PcxHeader hd = MakeHeader(w, 13, bpl);
    hd.HDpi = hd.VDpi = 72;
    const std::string ours = At("ours.pcx");
    ASSERT_TRUE(SavePictureFile(ours, PictureFormat::Pcx, hd, w, 13, px, Opaque(kPal)).ok());

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
    const std::string head = "P6\n" + std::to_string(w) + " 13\n255\n";
    Bytes want(head.begin(), head.end());
    want.insert(want.end(), rgb.begin(), rgb.end());
    EXPECT_EQ(ReadBytes(At("nb.ppm")), want) << "netpbm, " << what;
  }
}

// ppmtopcx writes 2 to 16 colours as 1 bit in 1 to 4 planes, or packed at 1, 2 or 4
// bits: every pixel must show what pcxtoppm shows, and a save keeps the depth while
// the picture fits it and writes 8 bits (saying why) once it does not.
TEST_F(PcxInterop, LowDepthsShowWhatNetpbmShowsAndKeepTheirDepth) {
  const std::string ppmtopcx = NeedTool("ppmtopcx", "netpbm"),
                    pcxtoppm = NeedTool("pcxtoppm", "netpbm");
  if (ppmtopcx.empty() || pcxtoppm.empty()) return;
  const auto netpbm_colours = [&](const std::string& file) {
    Run(pcxtoppm + " " + file + " > " + At("nb.ppm"));
    const Bytes ppm = ReadBytes(At("nb.ppm"));
    return Bytes(ppm.end() - 13 * 5 * 3, ppm.end());  // 13 x 5 pixels after the header
  };
  for (int colours : {2, 4, 8, 16}) {
    for (const char* packed : {"", "-packed "}) {
      const std::string what = std::to_string(colours) + " colours " + packed;
      Bytes px(13 * 5);
      for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t((i * 7 + i / 13) % colours);
      const Bytes rgb = ColoursOf(px, Opaque(kPal));
      const std::string head = "P6\n13 5\n255\n";
      Bytes ppm(head.begin(), head.end());
      ppm.insert(ppm.end(), rgb.begin(), rgb.end());
      WriteBytes(At("src.ppm"), ppm);
      Run(ppmtopcx + " " + packed + At("src.ppm") + " > " + At("nb.pcx"));
      auto pic = LoadPictureFile(At("nb.pcx"));
      ASSERT_TRUE(pic.ok()) << what << pic.error().message;
      EXPECT_LT(pic->pcx_header.BitsPerPixel, 8) << what;
      EXPECT_EQ(ColoursOf(pic->pixels, pic->entries), netpbm_colours(At("nb.pcx"))) << what;
      EXPECT_EQ(pic->palette_count, 1 << (pic->pcx_header.BitsPerPixel * pic->pcx_header.NPlanes));

      PcxHeader header = pic->pcx_header;
      std::string note = "stale";
      ASSERT_TRUE(SavePictureFile(At("ours.pcx"), PictureFormat::Pcx, header, 13, 5, pic->pixels,
                                  pic->entries, nullptr, &note)
                      .ok());
      auto again = LoadPictureFile(At("ours.pcx"));
      ASSERT_TRUE(again.ok()) << again.error().message;
      EXPECT_EQ(std::tuple(note, again->pcx_header, again->pixels, again->entries),
                std::tuple(std::string(), header, pic->pixels, pic->entries))
          << what;
      EXPECT_EQ(netpbm_colours(At("ours.pcx")), ColoursOf(pic->pixels, pic->entries)) << what;

      // One index past the depth: written at 8 bits, and said so.
      Bytes wider = pic->pixels;
      wider[3] = uint8_t(pic->palette_count);
      BoardEntries entries = pic->entries;
      entries[wider[3]].rgb = {1, 2, 3};
      header = pic->pcx_header;
      ASSERT_TRUE(SavePictureFile(At("ours.pcx"), PictureFormat::Pcx, header, 13, 5, wider, entries,
                                  nullptr, &note)
                      .ok());
      again = LoadPictureFile(At("ours.pcx"));
      ASSERT_TRUE(again.ok()) << again.error().message;
      EXPECT_HAS(note, "8 bits");
      EXPECT_EQ(std::tuple(again->pcx_header.BitsPerPixel, again->pixels, again->entries),
                std::tuple(uint8_t{8}, wider, entries))
          << what;
    }
  }
}

}  // namespace
}  // namespace hw::test
