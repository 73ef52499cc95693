// huewright-cli cycle-gif: the animation as Pillow plays it (every frame's colours
// and transparency, its delays, the loop) and the refusals, which keep OUT.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "../common/test_util.h"
#include "cycle/rotation.h"
#include "formats/picture_io.h"

namespace hw::test {
namespace {

constexpr int kW = 16, kH = 4;
constexpr size_t kClear = 7;  // the one position of alpha 0

struct Outcome {
  int code = -1;
  std::string err;
};

class CycleGif : public ::testing::Test {
 protected:
  CycleGif() {
    for (int k = 0; k < kW * kH; ++k) pixels_.push_back(uint8_t(k));
    for (size_t p = 0; p < 256; ++p)
      entries_[p].rgb = {uint8_t(p), uint8_t(255 - p), uint8_t(p * 7)};
    entries_[kClear].A = 0;
  }
  std::string Picture(const CycleRanges& ranges) {
    const std::string path = dir_.File("in.png");
    PcxHeader header = MakeHeader(kW, kH);
    EXPECT_TRUE(SavePictureFile(path, PictureFormat::Png, header, kW, kH, pixels_, entries_,
                                nullptr, nullptr, ranges)
                    .ok());
    return path;
  }
  Outcome Run(const std::string& in, const std::string& out) {
    const std::string err = dir_.File("err.txt");
    const int status = std::system(
        (HW_BINARY_DIR "/huewright-cli cycle-gif '" + in + "' '" + out + "' 2>'" + err + "'")
            .c_str());
    const Bytes text = ReadBytes(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128, std::string(text.begin(), text.end())};
  }

  TempDir dir_;
  Bytes pixels_;
  BoardEntries entries_{};
};

// Two ranges stepping at their own rates (60 a second over 2 positions, 22.5 a
// second over 3, reversed; steps at k/60 and 2k/45 s) beside ranges that never step
// (inactive, rate 0, LOW >= HIGH), whose rates would make the period far longer:
// ten frames over 2/15 s, each showing the ranges as at its instant, the
// transparent position clear in all.
TEST_F(CycleGif, PillowPlaysEveryFrameWithItsColoursAndDelays) {
  CycleRanges ranges;
  ranges.push_back({10, 11, 16384, false, true});
  ranges.push_back({20, 22, 6144, true, true});
  ranges.push_back({30, 60, 5000, false, false});
  ranges.push_back({40, 41, 0, false, true});
  ranges.push_back({50, 49, 999, false, true});
  const std::string out = dir_.File("out.gif");
  const Outcome r = Run(Picture(ranges), out);
  ASSERT_EQ(std::tuple(r.code, r.err), std::tuple(0, std::string()));

  std::string text;
  ASSERT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                     "im = Image.open(sys.argv[1]); bits = open(sys.argv[2], \"wb\")\n"
                     "print(im.n_frames, im.info.get(\"loop\"), im.mode)\n"
                     "bits.write(im.tobytes())\n"
                     "for k in range(im.n_frames):\n"
                     "  im.seek(k); print(im.info[\"duration\"])\n"
                     "  bits.write(im.convert(\"RGBA\").tobytes())' '" +
                         out + "' '" + dir_.File("frames.bin") + "'",
                     &text),
            0)
      << text;
  std::istringstream in(text);
  int frames = 0, loop = -1;
  std::string mode;
  in >> frames >> loop >> mode;
  std::vector<int> delays(static_cast<size_t>(frames));
  for (int& d : delays) in >> d;
  // In hundredths 0 1.67 3.33 4.44 5 6.67 8.33 8.89 10 11.67 | 13.33.
  EXPECT_EQ(std::tuple(frames, loop, mode, delays),
            std::tuple(10, 0, std::string("P"),
                       std::vector<int>{20, 10, 10, 10, 20, 10, 10, 10, 20, 10}));

  // The first frame's indices are the picture's; every frame's colours are those
  // of the same indices under its own table (all entries differ, so no other index
  // would show them).
  const Bytes bits = ReadBytes(dir_.File("frames.bin"));
  ASSERT_EQ(bits.size(), size_t(kW * kH * (1 + 4 * frames)));
  EXPECT_EQ(Bytes(bits.begin(), bits.begin() + kW * kH), pixels_);
  // Just after the instants k/60 and 2k/45 s.
  const int64_t micros[] = {0, 16667, 33334, 44445, 50000, 66667, 83334, 88889, 100000, 116667};
  for (int k = 0; k < frames; ++k) {
    const CycleSources shown = CycleSourcesAt(ranges, micros[k]);
    const uint8_t* rgba = bits.data() + kW * kH * (1 + 4 * k);
    for (size_t i = 0; i < pixels_.size(); ++i, rgba += 4) {
      const RGBTriple want = entries_[shown[pixels_[i]]].rgb;
      if (pixels_[i] == kClear) {
        EXPECT_EQ(rgba[3], 0) << "frame " << k;
      } else {
        ASSERT_EQ(std::tuple(rgba[0], rgba[1], rgba[2], rgba[3]),
                  std::tuple(want.R, want.G, want.B, uint8_t(255)))
            << "frame " << k << ", pixel " << i;
      }
    }
  }
}

// Nothing stepping, too many frames and an OUT that cannot be written: exit 1 with
// one line naming the file at fault, an existing OUT as it was.
TEST_F(CycleGif, RefusalsAndFailedWritesKeepTheOutput) {
  const std::string out = dir_.File("kept.gif");
  WriteBytes(out, Bytes{'k', 'e', 'p', 't'});
  CycleRanges idle;
  idle.push_back({0, 9, 16384, false, false});
  idle.push_back({20, 20, 16384, false, true});
  CycleRanges long_period;
  long_period.push_back({0, 255, 16384, false, true});
  long_period.push_back({0, 254, 16384, false, true});
  for (const auto& [ranges, cause] : {std::pair(idle, "no active range steps"),
                                      std::pair(long_period, "more than 2048 frames")}) {
    const Outcome r = Run(Picture(ranges), out);
    EXPECT_EQ(std::tuple(r.code, std::count(r.err.begin(), r.err.end(), '\n'), Has(r.err, cause),
                         Has(r.err, "in.png")),
              std::tuple(1, 1, true, true))
        << r.err;
    EXPECT_EQ(ReadBytes(out), (Bytes{'k', 'e', 'p', 't'}));
  }
  CycleRanges one;
  one.push_back({0, 9, 16384, false, true});
  const Outcome r = Run(Picture(one), dir_.File("missing/out.gif"));
  EXPECT_EQ(std::tuple(r.code, Has(r.err, "missing/out.gif")), std::tuple(1, true)) << r.err;
}

}  // namespace
}  // namespace hw::test
