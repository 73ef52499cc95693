// huewright-cli cycle-gif IN OUT --seconds S [--fps F]: a fixed length for ranges
// whose exact loop is too long, as Pillow plays it (frame count, total duration,
// each frame's colours), and the usage errors, which leave OUT alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "../common/test_util.h"
#include "cycle/rotation.h"
#include "formats/picture_io.h"

namespace hw::test {
namespace {

constexpr int kW = 16, kH = 4;

class CycleGifSeconds : public ::testing::Test {
 protected:
  CycleGifSeconds() {
    for (int k = 0; k < kW * kH; ++k) pixels_.push_back(uint8_t(k));
    for (size_t p = 0; p < 256; ++p)
      entries_[p].rgb = {uint8_t(p), uint8_t(255 - p), uint8_t(p * 7)};
    // About 8 and 12 steps a second over 16 positions each: 87,376 frames exactly.
    ranges_.push_back({0, 15, 2185, false, true});
    ranges_.push_back({16, 31, 3277, true, true});
    PcxHeader header = MakeHeader(kW, kH);
    EXPECT_TRUE(SavePictureFile(in_, PictureFormat::Png, header, kW, kH, pixels_, entries_, nullptr,
                                nullptr, ranges_)
                    .ok());
  }
  std::pair<int, std::string> Run(const std::string& options, const std::string& out) {
    const std::string err = dir_.File("err.txt");
    const int status = std::system((HW_BINARY_DIR "/huewright-cli cycle-gif '" + in_ + "' '" + out +
                                    "' " + options + " 2>'" + err + "'")
                                       .c_str());
    const Bytes text = ReadBytes(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128, std::string(text.begin(), text.end())};
  }

  TempDir dir_;
  std::string in_ = dir_.File("in.png");
  Bytes pixels_;
  BoardEntries entries_{};
  CycleRanges ranges_;
};

TEST_F(CycleGifSeconds, PillowPlaysSSecondsOfFFramesEachAsTheRangesStand) {
  for (const auto& [options, seconds, fps] :
       {std::tuple("--seconds 0.73 --fps 30", 0.73, 30), std::tuple("--seconds 3", 3.0, 50)}) {
    SCOPED_TRACE(options);
    const std::string out = dir_.File("out.gif");
    const auto [code, err] = Run(options, out);
    ASSERT_EQ(std::tuple(code, err), std::tuple(0, std::string()));
    std::string text;
    ASSERT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]); bits = open(sys.argv[2], \"wb\")\n"
                       "print(im.n_frames, im.info.get(\"loop\"))\n"
                       "for k in range(im.n_frames):\n"
                       "  im.seek(k); print(im.info[\"duration\"])\n"
                       "  bits.write(im.convert(\"RGB\").tobytes())' '" +
                           out + "' '" + dir_.File("frames.bin") + "'",
                       &text),
              0)
        << text;
    std::istringstream in(text);
    int frames = 0, loop = -1;
    in >> frames >> loop;
    const int n = static_cast<int>(std::floor(seconds * fps + 1e-9));
    ASSERT_EQ(std::tuple(frames, loop), std::tuple(n, 0));
    int total = 0;
    const Bytes bits = ReadBytes(dir_.File("frames.bin"));
    ASSERT_EQ(bits.size(), size_t(kW * kH * 3 * frames));
    for (int k = 0; k < frames; ++k) {
      int ms = 0;
      in >> ms;
      total += ms;
      // Frame k lasts from round(100 k / F) to round(100 (k+1) / F) hundredths.
      const double to = k + 1 < n ? 100.0 * (k + 1) / fps : 100.0 * seconds;
      EXPECT_EQ(ms, 10 * (std::llround(to) - std::llround(100.0 * k / fps))) << k;
      // Its colours: the entries as the ranges have moved them by k / F seconds.
      const CycleSources shown = CycleSourcesAt(ranges_, int64_t(k) * 1'000'000 / fps + 1);
      const uint8_t* rgb = bits.data() + kW * kH * 3 * k;
      for (size_t i = 0; i < pixels_.size(); ++i, rgb += 3) {
        const RGBTriple want = entries_[shown[pixels_[i]]].rgb;
        ASSERT_EQ(std::tuple(rgb[0], rgb[1], rgb[2]), std::tuple(want.R, want.G, want.B))
            << "frame " << k << ", pixel " << i;
      }
    }
    EXPECT_EQ(total, std::llround(seconds * 1000));
  }
}

TEST_F(CycleGifSeconds, OutOfRangeLengthsAndRatesAreUsageErrors) {
  const std::string out = dir_.File("kept.gif");
  WriteBytes(out, Bytes{'k', 'e', 'p', 't'});
  for (const char* options :
       {"--seconds 0", "--seconds -1", "--seconds 1e1", "--seconds abc", "--seconds 0.01",
        "--seconds 41", "--seconds 2049 --fps 1", "--seconds 1 --fps 0", "--seconds 1 --fps 101",
        "--seconds 1 --fps 2.5", "--fps 10", "--seconds", "--seconds 1 --fps", "--speed 2"}) {
    const auto [code, err] = Run(options, out);
    EXPECT_EQ(std::tuple(code, Has(err, "usage:"), std::count(err.begin(), err.end(), '\n')),
              std::tuple(2, true, 1))
        << options << ": " << err;
    EXPECT_EQ(ReadBytes(out), (Bytes{'k', 'e', 'p', 't'})) << options;
  }
  // The most frames there are, 2048, at the most frames a second.
  EXPECT_EQ(Run("--fps 100 --seconds 20.48", out).first, 0);
  // The exact loop of these ranges stays refused without --seconds.
  const auto [code, err] = Run("", out);
  EXPECT_EQ(std::tuple(code, Has(err, "2048 frames")), std::tuple(1, true)) << err;
}

}  // namespace
}  // namespace hw::test
