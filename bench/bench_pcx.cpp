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

#include "content_classes.h"
#include "formats/pictures/pcx.h"

namespace {

constexpr int kSide = 4096;
const char* const kKinds[] = {"photo", "cartoon", "random", "worst"};

std::vector<uint8_t> MakePicture(int kind) {
  return hw::bench::ContentPicture(hw::bench::kContentClasses[kind], kSide);
}

hw::PcxHeader MakeHeader() { return hw::IndexedPictureHeader(kSide, kSide); }

hw::Palette MakePalette() { return hw::bench::ContentPalette(); }

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
      state.SkipWithError(pixels.error().Text().c_str());
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
    if (!hw::bench::WriteBenchFile(dir + "/" + kKinds[kind] + ".pcx", Encoded(kind))) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return hw::bench::CodecBenchMain(argc, argv, WritePictures); }
