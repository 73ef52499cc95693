// Throughput of the PCX decoder and encoder on 4096 x 4096 pictures of four kinds:
//   photo   - a smooth field plus noise: few runs, many escaped values
//   cartoon - flat shapes: long runs
//   random  - uniform indices 0..255
//   worst   - every index 192 or more and no two equal neighbours: every pixel escaped
// Throughput is counted in picture bytes (pixels) per second.
//
// Extra flag: --write_pictures=DIR writes the four encoded pictures as DIR/<kind>.pcx
// (for comparing other decoders on the same files) and exits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/pcx.h"

namespace {

constexpr int kSide = 4096;
const char* const kKinds[] = {"photo", "cartoon", "random", "worst"};

struct Rng {
  uint64_t s;
  uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
};

std::vector<uint8_t> MakePicture(int kind) {
  std::vector<uint8_t> px(static_cast<size_t>(kSide) * kSide);
  Rng rng{0x9E3779B97F4A7C15ull + static_cast<uint64_t>(kind)};
  switch (kind) {
    case 0:  // photo
      for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
          const double field = 128 + 120 * std::sin(x * 0.0023) * std::cos(y * 0.0017 + x * 0.0004);
          const int v = static_cast<int>(field) + static_cast<int>(rng.Next() % 13) - 6;
          px[static_cast<size_t>(y) * kSide + x] = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
      }
      break;
    case 1: {  // cartoon: background plus filled rectangles and discs
      std::memset(px.data(), 17, px.size());
      for (int s = 0; s < 400; ++s) {
        const int cx = static_cast<int>(rng.Next() % kSide),
                  cy = static_cast<int>(rng.Next() % kSide);
        const int r = 40 + static_cast<int>(rng.Next() % 400);
        const auto colour = static_cast<uint8_t>(rng.Next());
        const bool disc = rng.Next() % 2;
        for (int y = std::max(0, cy - r); y < std::min(kSide, cy + r); ++y) {
          for (int x = std::max(0, cx - r); x < std::min(kSide, cx + r); ++x) {
            if (!disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r) {
              px[static_cast<size_t>(y) * kSide + x] = colour;
            }
          }
        }
      }
      break;
    }
    case 2:  // random
      for (auto& p : px) p = static_cast<uint8_t>(rng.Next() >> 32);
      break;
    default: {  // worst
      uint8_t prev = 0;
      for (auto& p : px) {
        uint8_t v;
        do v = static_cast<uint8_t>(192 + (rng.Next() >> 40) % 64);
        while (v == prev);
        p = prev = v;
      }
      break;
    }
  }
  return px;
}

hw::PcxHeader MakeHeader() { return hw::IndexedPictureHeader(kSide, kSide); }

hw::Palette MakePalette() {
  hw::Palette p;
  for (int i = 0; i < 256; ++i) p[i] = {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)};
  return p;
}

const std::vector<uint8_t>& Picture(int kind) {
  static std::vector<uint8_t> cache[4];
  if (cache[kind].empty()) cache[kind] = MakePicture(kind);
  return cache[kind];
}

const std::vector<uint8_t>& Encoded(int kind) {
  static std::vector<uint8_t> cache[4];
  if (cache[kind].empty()) {
    hw::PcxHeader h = MakeHeader();
    cache[kind] = *hw::WritePcx(h, Picture(kind), MakePalette());
  }
  return cache[kind];
}

void BM_PcxDecode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const auto& file = Encoded(kind);
  for (auto _ : state) {
    auto pixels = hw::ReadPcxPixels(file);
    if (!pixels.ok()) {
      state.SkipWithError(pixels.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(pixels->data());
  }
  state.SetLabel(kKinds[kind]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide);
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_PcxEncode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const auto& px = Picture(kind);
  const hw::Palette pal = MakePalette();
  for (auto _ : state) {
    hw::PcxHeader h = MakeHeader();
    auto file = hw::WritePcx(h, px, pal);
    benchmark::DoNotOptimize(file->data());
  }
  state.SetLabel(kKinds[kind]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide);
}

BENCHMARK(BM_PcxDecode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxEncode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

int WritePictures(const std::string& dir) {
  for (int kind = 0; kind < 4; ++kind) {
    const std::string path = dir + "/" + kKinds[kind] + ".pcx";
    const auto& file = Encoded(kind);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string flag = "--write_pictures=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], flag.c_str(), flag.size()) == 0)
      return WritePictures(argv[i] + flag.size());
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
