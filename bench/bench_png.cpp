// Indexed PNG decode and encode by content class on 4096 x 4096 pictures, with
// throughput in MB of pixels per second (compare with Pillow: tools/bench_png.py).
// Extra flag: --write_pictures=DIR writes DIR/<kind>.png with our encoder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "content_classes.h"
#include "formats/pictures/png.h"

namespace {

using namespace hw;

constexpr int kSide = 4096;

BoardEntries Entries() {
  BoardEntries e{};
  const Palette p = bench::ContentPalette();
  for (size_t i = 0; i < 256; ++i) e[i] = BoardEntry{p[i], 255};
  return e;
}

const std::vector<uint8_t>& Picture(int kind) {
  static std::vector<uint8_t> cache[5];
  if (cache[kind].empty()) cache[kind] = bench::ContentPicture(bench::kContentClasses[kind], kSide);
  return cache[kind];
}

const std::vector<uint8_t>& Encoded(int kind) {
  static std::vector<uint8_t> cache[5];
  if (cache[kind].empty()) cache[kind] = *EncodeIndexedPng(kSide, kSide, Picture(kind), Entries());
  return cache[kind];
}

void BM_PngDecode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const auto& file = Encoded(kind);
  for (auto _ : state) {
    auto pic = DecodeIndexedPng(file);
    if (!pic.ok()) {
      state.SkipWithError(pic.error().Text().c_str());
      break;
    }
    benchmark::DoNotOptimize(pic->pixels.data());
  }
  state.SetLabel(std::string(bench::kContentClasses[kind]));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide);
}

void BM_PngEncode(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const auto& px = Picture(kind);
  const BoardEntries entries = Entries();
  for (auto _ : state) {
    auto file = EncodeIndexedPng(kSide, kSide, px, entries);
    benchmark::DoNotOptimize(file->data());
  }
  state.SetLabel(std::string(bench::kContentClasses[kind]));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide);
}

BENCHMARK(BM_PngDecode)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngEncode)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

int WritePictures(const std::string& dir) {
  for (int kind = 0; kind < 5; ++kind) {
    const std::string name = std::string(bench::kContentClasses[kind]) + ".png";
    if (!bench::WriteBenchFile(dir + "/" + name, Encoded(kind))) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return hw::bench::CodecBenchMain(argc, argv, WritePictures); }
