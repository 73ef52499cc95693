// The content classes the benchmarks measure, as square pictures of any side:
//   photo   - a smooth field plus noise: few runs, many escaped values
//   cartoon - flat background with filled shapes: long runs
//   random  - uniformly random indices
//   worst   - every index 192 or more and no two equal neighbours: every pixel escaped
//   flat    - one index everywhere
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "colour/colour.h"

namespace hw::bench {

inline constexpr std::string_view kContentClasses[] = {"photo", "cartoon", "random", "worst",
                                                       "flat"};

struct Rng {
  uint64_t s;
  uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
};

// The same picture for the same kind and side, run after run.
inline std::vector<uint8_t> ContentPicture(std::string_view kind, int side) {
  std::vector<uint8_t> px(static_cast<size_t>(side) * static_cast<size_t>(side));
  int k = 0;
  while (k < 5 && kContentClasses[k] != kind) ++k;
  Rng rng{0x9E3779B97F4A7C15ull + static_cast<uint64_t>(k)};
  const auto at = [&](int x, int y) -> uint8_t& {
    return px[static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)];
  };
  switch (k) {
    case 0:
      for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
          const double field = 128 + 120 * std::sin(x * 0.0023) * std::cos(y * 0.0017 + x * 0.0004);
          const int v = static_cast<int>(field) + static_cast<int>(rng.Next() % 13) - 6;
          at(x, y) = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
      }
      break;
    case 1: {
      std::memset(px.data(), 17, px.size());
      // 400 shapes on 4096 x 4096, as many per area on other sides.
      const int shapes = std::max(1, static_cast<int>(400LL * side * side / (4096LL * 4096)));
      for (int s = 0; s < shapes; ++s) {
        const int cx = static_cast<int>(rng.Next() % static_cast<uint64_t>(side));
        const int cy = static_cast<int>(rng.Next() % static_cast<uint64_t>(side));
        const int r = (40 + static_cast<int>(rng.Next() % 400)) * side / 4096;
        const auto colour = static_cast<uint8_t>(rng.Next());
        const bool disc = rng.Next() % 2;
        for (int y = std::max(0, cy - r); y < std::min(side, cy + r); ++y) {
          for (int x = std::max(0, cx - r); x < std::min(side, cx + r); ++x) {
            if (!disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r) at(x, y) = colour;
          }
        }
      }
      break;
    }
    case 2:
      for (auto& p : px) p = static_cast<uint8_t>(rng.Next() >> 32);
      break;
    case 3: {
      uint8_t prev = 0;
      for (auto& p : px) {
        uint8_t v;
        do v = static_cast<uint8_t>(192 + (rng.Next() >> 40) % 64);
        while (v == prev);
        p = prev = v;
      }
      break;
    }
    default:
      std::memset(px.data(), 42, px.size());
      break;
  }
  return px;
}

// Writes a benchmark's file; false (and a line on stderr) when it cannot.
inline bool WriteBenchFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

// The main of a codec benchmark: --write_pictures=DIR calls write(DIR) and exits
// with its result; anything else runs the registered benchmarks.
template <typename Write>
int CodecBenchMain(int argc, char** argv, Write&& write) {
  const std::string flag = "--write_pictures=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], flag.c_str(), flag.size()) == 0) return write(argv[i] + flag.size());
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

inline Palette ContentPalette() {
  Palette p;
  for (int i = 0; i < 256; ++i) {
    p[static_cast<size_t>(i)] = {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)};
  }
  return p;
}

}  // namespace hw::bench
