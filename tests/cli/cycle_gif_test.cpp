// huewright-cli cycle-gif: the animation as Pillow plays it (every frame's colours
// and transparency, its delays, the loop), the exact loop and a fixed length given
// by --seconds S [--fps F], and the refusals and usage errors, which keep OUT.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "../common/test_util.h"
#include "cycle/rotation.h"
#include "formats/picture_io.h"

namespace hw::test {
namespace {

constexpr int kW = 16, kH = 4;
constexpr size_t kClear = 7;  // the one position of alpha 0

// A GIF as Pillow plays it.
struct Played {
  int frames = 0, loop = -1;
  std::string mode;
  std::vector<int> delays;
  Bytes bits;  // the first frame's indices, then every frame's RGBA pixels
};

class CycleGif : public ::testing::Test {
 protected:
  CycleGif() {
    for (int k = 0; k < kW * kH; ++k) pixels_.push_back(uint8_t(k));
    entries_[kClear].A = 0;
  }
  std::string Picture(const CycleRanges& ranges) {
    const std::string path = dir_.File("in.png");
    EXPECT_TRUE(SavePictureFile(path, PictureFormat::Png, kW, kH, pixels_, entries_, nullptr,
                                nullptr, ranges)
                    .ok());
    return path;
  }
  CliOutcome Run(const std::string& in, const std::string& out,
                 const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"cycle-gif", in, out};
    args.insert(args.end(), options.begin(), options.end());
    return RunCli(dir_, args);
  }
  Played Play(const std::string& gif) {
    std::string text;
    EXPECT_EQ(RunShell("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                       "im = Image.open(sys.argv[1]); bits = open(sys.argv[2], \"wb\")\n"
                       "print(im.n_frames, im.info.get(\"loop\"), im.mode)\n"
                       "bits.write(im.tobytes())\n"
                       "for k in range(im.n_frames):\n"
                       "  im.seek(k); print(im.info[\"duration\"])\n"
                       "  bits.write(im.convert(\"RGBA\").tobytes())' " +
                           ShellQuote(gif) + " " + ShellQuote(dir_.File("frames.bin")),
                       &text),
              0)
        << text;
    Played p;
    std::istringstream in(text);
    in >> p.frames >> p.loop >> p.mode;
    p.delays.resize(size_t(std::max(p.frames, 0)));
    for (int& d : p.delays) in >> d;
    p.bits = ReadBytes(dir_.File("frames.bin"));
    EXPECT_EQ(p.bits.size(), size_t(kW * kH * (1 + 4 * p.frames)));
    return p;
  }
  // Frame k shows every pixel's index under the table `shown`, the transparent
  // position clear.
  void ExpectFrame(const Played& p, int k, const CycleSources& shown) {
    const uint8_t* rgba = p.bits.data() + kW * kH * (1 + 4 * k);
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

  TempDir dir_;
  Bytes pixels_;
  BoardEntries entries_ = Opaque(DistinctPalette());  // all differ
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
  const CliOutcome r = Run(Picture(ranges), out);
  ASSERT_EQ(std::tuple(r.code, r.err), std::tuple(0, std::string()));
  const Played p = Play(out);
  // In hundredths 0 1.67 3.33 4.44 5 6.67 8.33 8.89 10 11.67 | 13.33.
  EXPECT_EQ(std::tuple(p.frames, p.loop, p.mode, p.delays),
            std::tuple(10, 0, std::string("P"),
                       std::vector<int>{20, 10, 10, 10, 20, 10, 10, 10, 20, 10}));
  // The first frame's indices are the picture's; every frame's colours are those
  // of the same indices under its own table (all entries differ, so no other index
  // would show them), just after the instants k/60 and 2k/45 s.
  ASSERT_EQ(p.bits.size(), size_t(kW * kH * 41));
  EXPECT_EQ(Bytes(p.bits.begin(), p.bits.begin() + kW * kH), pixels_);
  const int64_t micros[] = {0, 16667, 33334, 44445, 50000, 66667, 83334, 88889, 100000, 116667};
  for (int k = 0; k < p.frames; ++k) ExpectFrame(p, k, CycleSourcesAt(ranges, micros[k]));
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
    const CliOutcome r = Run(Picture(ranges), out);
    EXPECT_EQ(std::tuple(r.code, std::count(r.err.begin(), r.err.end(), '\n'), Has(r.err, cause),
                         Has(r.err, "in.png")),
              std::tuple(1, 1, true, true))
        << r.err;
    EXPECT_EQ(ReadBytes(out), (Bytes{'k', 'e', 'p', 't'}));
  }
  CycleRanges one;
  one.push_back({0, 9, 16384, false, true});
  const CliOutcome r = Run(Picture(one), dir_.File("missing/out.gif"));
  EXPECT_EQ(std::tuple(r.code, Has(r.err, "missing/out.gif")), std::tuple(1, true)) << r.err;
}

// About 8 and 12 steps a second over 16 positions each: 87,376 frames exactly.
CycleRanges SlowRanges() {
  CycleRanges ranges;
  ranges.push_back({0, 15, 2185, false, true});
  ranges.push_back({16, 31, 3277, true, true});
  return ranges;
}

// A fixed length: floor(S F) frames, frame k lasting from round(100 k / F) to
// round(100 (k+1) / F) hundredths (the last up to S) and showing the ranges as they
// stand k / F seconds in.
TEST_F(CycleGif, SecondsPlaySOfFFramesEachAsTheRangesStand) {
  const CycleRanges ranges = SlowRanges();
  const std::string in = Picture(ranges), out = dir_.File("out.gif");
  for (const auto& [options, seconds, fps] :
       {std::tuple(std::vector<std::string>{"--seconds", "0.73", "--fps", "30"}, 0.73, 30),
        std::tuple(std::vector<std::string>{"--seconds", "3"}, 3.0, 50)}) {
    SCOPED_TRACE(options[1]);
    const CliOutcome r = Run(in, out, options);
    ASSERT_EQ(std::tuple(r.code, r.err), std::tuple(0, std::string()));
    const Played p = Play(out);
    const int n = static_cast<int>(std::floor(seconds * fps + 1e-9));
    ASSERT_EQ(std::tuple(p.frames, p.loop), std::tuple(n, 0));
    int total = 0;
    for (int k = 0; k < p.frames; ++k) {
      total += p.delays[size_t(k)];
      const double to = k + 1 < n ? 100.0 * (k + 1) / fps : 100.0 * seconds;
      EXPECT_EQ(p.delays[size_t(k)], 10 * (std::llround(to) - std::llround(100.0 * k / fps))) << k;
      ExpectFrame(p, k, CycleSourcesAt(ranges, int64_t(k) * 1'000'000 / fps + 1));
    }
    EXPECT_EQ(total, std::llround(seconds * 1000));
  }
}

TEST_F(CycleGif, OutOfRangeLengthsAndRatesAreUsageErrors) {
  const std::string in = Picture(SlowRanges()), out = dir_.File("kept.gif");
  WriteBytes(out, Bytes{'k', 'e', 'p', 't'});
  for (const char* options :
       {"--seconds 0", "--seconds -1", "--seconds 1e1", "--seconds abc", "--seconds 0.01",
        "--seconds 41", "--seconds 2049 --fps 1", "--seconds 1 --fps 0", "--seconds 1 --fps 101",
        "--seconds 1 --fps 2.5", "--fps 10", "--seconds", "--seconds 1 --fps", "--speed 2"}) {
    std::vector<std::string> words;
    std::istringstream split(options);
    for (std::string w; split >> w;) words.push_back(w);
    const CliOutcome r = Run(in, out, words);
    EXPECT_EQ(
        std::tuple(r.code, Has(r.err, "usage:"), std::count(r.err.begin(), r.err.end(), '\n')),
        std::tuple(2, true, 1))
        << options << ": " << r.err;
    EXPECT_EQ(ReadBytes(out), (Bytes{'k', 'e', 'p', 't'})) << options;
  }
  // The most frames there are, 2048, at the most frames a second.
  EXPECT_EQ(Run(in, out, {"--fps", "100", "--seconds", "20.48"}).code, 0);
  // The exact loop of these ranges stays refused without --seconds.
  const CliOutcome r = Run(in, out);
  EXPECT_EQ(std::tuple(r.code, Has(r.err, "2048 frames")), std::tuple(1, true)) << r.err;
}

}  // namespace
}  // namespace hw::test
