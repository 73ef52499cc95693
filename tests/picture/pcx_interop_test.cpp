// Exchange of PCX files with other programs: Pillow, ImageMagick and netpbm write
// pictures we must read exactly, and read back exactly the pictures we write.
// The tools are required: a missing one fails the test with a message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "picture/pcx_file.h"

namespace hw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Runs a shell command; returns its exit status, with stderr folded into `output`.
int Shell(const std::string& cmd, std::string* output = nullptr) {
  FILE* p = ::popen(("{ " + cmd + "; } 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int status = ::pclose(p);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Tool(const std::string& name) {
  // The distribution's own binary first, so no wrapper stands in between.
  const std::string system_path = "/usr/bin/" + name;
  if (::access(system_path.c_str(), X_OK) == 0) return system_path;
  std::string where;
  if (Shell("command -v " + name, &where) == 0 && !where.empty())
    return where.substr(0, where.find('\n'));
  return "";
}

// A distinct colour for every index, so colours identify indices.
Palette Distinct() {
  Palette p;
  for (int i = 0; i < 256; ++i) p[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7 + 3)};
  return p;
}

// Runs of 1..80 pixels (longer than one encoded run, some crossing rows) with
// values over the whole range, many of them 192 and above.
Bytes Content(int w, int h) {
  Bytes px(static_cast<size_t>(w) * h);
  uint32_t s = 2463534242u;
  auto next = [&] { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; };
  size_t i = 0;
  while (i < px.size()) {
    const size_t len = 1 + next() % (next() % 4 == 0 ? 80 : 3);
    const auto v = static_cast<uint8_t>(next());
    for (size_t k = 0; k < len && i < px.size(); ++k) px[i++] = v;
  }
  return px;
}

Bytes PaletteBytes(const Palette& pal) {
  const auto* p = reinterpret_cast<const uint8_t*>(pal.data());
  return Bytes(p, p + 768);
}

Bytes ColoursOf(const Bytes& px, const Palette& pal) {
  Bytes rgb;
  for (uint8_t v : px) rgb.insert(rgb.end(), {pal[v].R, pal[v].G, pal[v].B});
  return rgb;
}

Bytes Ppm(int w, int h, const Bytes& rgb) {
  const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  Bytes out(head.begin(), head.end());
  out.insert(out.end(), rgb.begin(), rgb.end());
  return out;
}

// Pixel bytes of a binary PPM (maxval 255).
Bytes PpmPixels(const Bytes& file, int* w, int* h) {
  std::string text(file.begin(), file.begin() + std::min<size_t>(file.size(), 64));
  std::istringstream in(text);
  std::string magic;
  int maxval = 0;
  in >> magic >> *w >> *h >> maxval;
  const size_t offset = static_cast<size_t>(in.tellg()) + 1;
  if (magic != "P6" || maxval != 255 || offset > file.size()) return {};
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(offset), file.end());
}

class PcxInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/hw-pcxinterop-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string At(const std::string& name) const { return dir_ + "/" + name; }

  std::string Python() {
    const std::string py = "/usr/bin/python3";
    std::string out;
    if (::access(py.c_str(), X_OK) != 0 || Shell(py + " -c 'import PIL.Image'", &out) != 0) {
      ADD_FAILURE() << "Pillow is required for this test: install python3-pil (" << out << ")";
      return "";
    }
    return py;
  }
  std::string Need(const std::string& name, const std::string& package) {
    const std::string path = Tool(name);
    if (path.empty())
      ADD_FAILURE() << "'" << name << "' is required for this test: install " << package;
    return path;
  }

  std::string dir_;
};

TEST_F(PcxInterop, ReadsPillowFiles) {
  const std::string py = Python();
  if (py.empty()) return;
  for (int w : {101, 100, 1}) {
    const int h = 9;
    const Bytes px = Content(w, h);
    Spit(At("idx.bin"), px);
    Spit(At("pal.bin"), PaletteBytes(Distinct()));
    const std::string script =
        "import sys\nfrom PIL import Image\nd=sys.argv[1]\n"
        "im=Image.frombytes('P',(" +
        std::to_string(w) + "," + std::to_string(h) +
        "),open(d+'/idx.bin','rb').read())\n"
        "im.putpalette(list(open(d+'/pal.bin','rb').read()))\nim.save(d+'/pil.pcx')\n";
    Spit(At("make.py"), Bytes(script.begin(), script.end()));
    std::string out;
    ASSERT_EQ(Shell(py + " " + At("make.py") + " " + dir_, &out), 0) << out;

    const Bytes file = Slurp(At("pil.pcx"));
    auto pic = LoadPcxFile(At("pil.pcx"));
    ASSERT_TRUE(pic.ok()) << pic.error().message;
    EXPECT_EQ(pic->header.BytesPerLine, w + (w & 1)) << "Pillow pads rows to an even length";
    EXPECT_EQ(pic->pixels, px) << "width " << w;
    EXPECT_EQ(pic->palette, Distinct());
  }
}

TEST_F(PcxInterop, ReadsImageMagickAndNetpbmFiles) {
  const std::string convert = Need("convert", "imagemagick");
  const std::string ppmtopcx = Need("ppmtopcx", "netpbm");
  if (convert.empty() || ppmtopcx.empty()) return;
  for (int w : {77, 64}) {
    const int h = 11;
    const Bytes px = Content(w, h);
    const Bytes rgb = ColoursOf(px, Distinct());
    Spit(At("src.ppm"), Ppm(w, h, rgb));
    std::string out;
    ASSERT_EQ(Shell(convert + " " + At("src.ppm") + " -type Palette " + At("im.pcx"), &out), 0)
        << out;
    ASSERT_EQ(Shell(ppmtopcx + " -8bit " + At("src.ppm") + " > " + At("nb.pcx"), &out), 0) << out;
    for (const char* name : {"im.pcx", "nb.pcx"}) {
      auto pic = LoadPcxFile(At(name));
      ASSERT_TRUE(pic.ok()) << name << ": " << pic.error().message;
      EXPECT_EQ(pic->header.BitsPerPixel, 8) << name;
      EXPECT_EQ(pic->header.BytesPerLine, w) << name << " writes rows of the width";
      // Their palettes are ordered their own way: compare what each pixel shows.
      EXPECT_EQ(ColoursOf(pic->pixels, pic->palette), rgb) << name << " width " << w;
    }
  }
}

TEST_F(PcxInterop, OthersReadOurFiles) {
  const std::string py = Python();
  const std::string convert = Need("convert", "imagemagick");
  const std::string pcxtoppm = Need("pcxtoppm", "netpbm");
  if (py.empty() || convert.empty() || pcxtoppm.empty()) return;
  const std::string script =
      "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\nassert im.mode=='P', "
      "im.mode\n"
      "open(sys.argv[2],'wb').write(im.tobytes())\nopen(sys.argv[3],'wb').write(bytes(im."
      "getpalette()[:768]))\n";
  Spit(At("read.py"), Bytes(script.begin(), script.end()));

  // Odd width padded to an even row, odd width unpadded, even width.
  for (auto [w, bpl] : {std::pair{101, 102}, std::pair{101, 101}, std::pair{100, 100}}) {
    const int h = 13;
    const Bytes px = Content(w, h);
    PcxHeader hd;
    hd.Manufacturer = 10, hd.Version = 5, hd.Encoding = 1, hd.BitsPerPixel = 8, hd.NPlanes = 1;
    hd.Xmax = static_cast<int16_t>(w - 1), hd.Ymax = static_cast<int16_t>(h - 1);
    hd.HDpi = hd.VDpi = 72, hd.PaletteInfo = 1;
    hd.BytesPerLine = static_cast<int16_t>(bpl);
    const std::string ours = At("ours.pcx");
    ASSERT_TRUE(SavePcxFile(ours, hd, px, Distinct()).ok());
    const std::string what = "width " + std::to_string(w) + ", BytesPerLine " + std::to_string(bpl);

    std::string out;
    ASSERT_EQ(
        Shell(py + " " + At("read.py") + " " + ours + " " + At("p.idx") + " " + At("p.pal"), &out),
        0)
        << out;
    EXPECT_EQ(Slurp(At("p.idx")), px) << "Pillow, " << what;
    EXPECT_EQ(Slurp(At("p.pal")), PaletteBytes(Distinct())) << "Pillow, " << what;

    const Bytes rgb = ColoursOf(px, Distinct());
    ASSERT_EQ(Shell(convert + " " + ours + " -depth 8 rgb:" + At("im.rgb"), &out), 0) << out;
    EXPECT_EQ(Slurp(At("im.rgb")), rgb) << "ImageMagick, " << what;

    ASSERT_EQ(Shell(pcxtoppm + " " + ours + " > " + At("nb.ppm"), &out), 0) << out;
    int pw = 0, ph = 0;
    const Bytes nb = PpmPixels(Slurp(At("nb.ppm")), &pw, &ph);
    EXPECT_EQ(pw, w);
    EXPECT_EQ(ph, h);
    EXPECT_EQ(nb, rgb) << "netpbm, " << what;
  }
}

}  // namespace
}  // namespace hw
