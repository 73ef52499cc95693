// The editor's rearranging and recolouring commands on an 8192 x 8192 picture,
// loaded through "Load Pic..." into an editor without a window (its display
// palette included). The reference is one plain remap of the picture's pixels:
// every command that changes entries should cost about one remap, however many
// pairs it exchanges. Manual iteration counts keep the run short.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/core/editor.h"
#include "formats/pcx.h"
#include "pixels/remap.h"

namespace {

using namespace hw;

constexpr int kSide = 8192;
constexpr int kIterations = 3;

class QueueFiles : public FileDialogs {
 public:
  std::optional<std::string> next;
  std::optional<std::string> OpenFile() override { return next; }
  std::optional<std::string> SaveFile() override { return next; }
};

class AbortOnError : public ErrorReporter {
 public:
  void ShowError(const std::string& message) override {
    std::fprintf(stderr, "editor error: %s\n", message.c_str());
    std::abort();
  }
};

// Few distinct colours and some greys, so every colour key has ties.
Palette BenchPalette() {
  Palette p{};
  for (size_t i = 0; i < 256; ++i) {
    const uint8_t g = static_cast<uint8_t>((i * 53) & 0xF0);
    p[i] = i % 7 == 0 ? RGBTriple{g, g, g}
                      : RGBTriple{static_cast<uint8_t>((i * 29) & 0xF8), g,
                                  static_cast<uint8_t>((i * 71) & 0xE0)};
  }
  return p;
}

// Bands and blocks with every index in use and uneven usage.
std::vector<uint8_t> BenchPixels() {
  std::vector<uint8_t> px(static_cast<size_t>(kSide) * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const int v = (x / 37) * ((y / 61) % 5 + 1) + (y / 29);
      px[static_cast<size_t>(y) * kSide + x] = static_cast<uint8_t>((v * v / 97) & 255);
    }
  }
  return px;
}

struct Bench {
  std::filesystem::path dir;
  QueueFiles files;
  AbortOnError errors;
  std::unique_ptr<Editor> ed;
  std::string picture, out_picture, palette_file;

  Bench() {
    std::string templ = (std::filesystem::temp_directory_path() / "hw_bench_XXXXXX").string();
    dir = mkdtemp(templ.data());
    picture = (dir / "big.pcx").string();
    out_picture = (dir / "saved.pcx").string();
    palette_file = (dir / "palette.pcx").string();

    PcxHeader hd = IndexedPictureHeader(kSide, kSide);
    const auto bytes = WritePcx(hd, BenchPixels(), BenchPalette());
    if (!bytes.ok()) std::abort();
    std::ofstream(picture, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));

    ed = std::make_unique<Editor>(EditorServices{&files, nullptr, &errors, nullptr, nullptr, nullptr});
    ed->Form_Load();
    files.next = picture;
    ed->ButtonLoad_Click();
    if (ed->state().PicLoaded == 0) std::abort();
    files.next = palette_file;
    ed->CommandSavePal_Click();
  }
  ~Bench() { std::filesystem::remove_all(dir); }

  EditorState& s() { return ed->state(); }

  // A shuffled board, colours and map together, as after many moves.
  void Shuffle(uint32_t seed) {
    std::array<uint8_t, 256> map;
    std::iota(map.begin(), map.end(), uint8_t{0});
    std::shuffle(map.begin(), map.end(), std::mt19937(seed));
    s().IndexMap = map;
    ed->InitBlots();
    ed->RemapPicture();
  }
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

void BM_PlainRemap(benchmark::State& state) {
  Bench& b = Shared();
  std::array<uint8_t, 256> map;
  std::iota(map.begin(), map.end(), uint8_t{0});
  std::shuffle(map.begin(), map.end(), std::mt19937(7));
  const IndexLut lut = InverseIndexMap(map);
  std::vector<uint8_t> out(b.s().OrigPixels.size());
  for (auto _ : state) {
    RemapPixels(b.s().OrigPixels, out, lut);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_DropOne(benchmark::State& state) {
  Bench& b = Shared();
  b.s().ui.TextMoveCount = "1";
  for (auto _ : state) b.ed->Blot_DragDrop(200, 10);
}

void BM_DropRun16(benchmark::State& state) {
  Bench& b = Shared();
  b.s().ui.TextMoveCount = "16";
  for (auto _ : state) b.ed->Blot_DragDrop(100, 20);
}

void BM_Undo(benchmark::State& state) {
  Bench& b = Shared();
  b.s().ui.TextMoveCount = "16";
  for (auto _ : state) {
    state.PauseTiming();
    b.ed->Blot_DragDrop(100, 20);
    state.ResumeTiming();
    b.ed->ButtonUndo_Click();
  }
}

void BM_ReverseAll(benchmark::State& state) {
  Bench& b = Shared();
  for (auto _ : state) {
    b.s().PrevIndex = 0;
    b.s().CurIndex = 255;
    b.ed->CommandReverse_Click();
  }
}

void Sort(benchmark::State& state, SortOption option, int reversed) {
  Bench& b = Shared();
  uint32_t seed = 1;
  for (auto _ : state) {
    state.PauseTiming();
    b.Shuffle(seed++);
    b.s().ui.SortChoice = option;
    b.s().ui.CheckReverseSort = reversed;
    state.ResumeTiming();
    b.ed->CommandSort_Click();
  }
  b.s().ui.CheckReverseSort = 0;
}
void BM_SortUsage(benchmark::State& state) { Sort(state, SortOption::Hist, 0); }
void BM_SortHSV(benchmark::State& state) { Sort(state, SortOption::Hue, 0); }
void BM_SortRGB(benchmark::State& state) { Sort(state, SortOption::Red, 0); }
// Equal keys are exchanged in every sweep: all 257 sweeps run.
void BM_SortRGBReversed(benchmark::State& state) { Sort(state, SortOption::Red, 1); }
void BM_SortHSVReversed(benchmark::State& state) { Sort(state, SortOption::Hue, 1); }

template <void (Editor::*Command)()>
void Spread(benchmark::State& state) {
  Bench& b = Shared();
  for (auto _ : state) {
    b.s().PrevIndex = 0;
    b.s().CurIndex = 255;
    (b.ed.get()->*Command)();
  }
}
void BM_SpreadRGB(benchmark::State& state) { Spread<&Editor::CommandSpreadRGB_Click>(state); }
void BM_SpreadHSV(benchmark::State& state) { Spread<&Editor::CommandSpreadHSV_Click>(state); }
void BM_SpreadHSVReverse(benchmark::State& state) {
  Spread<&Editor::CommandSpreadHSVReverse_Click>(state);
}

void BM_LoadPalette(benchmark::State& state) {
  Bench& b = Shared();
  b.files.next = b.palette_file;
  for (auto _ : state) b.ed->CommandLoadPal_Click();
}

void BM_SavePicture(benchmark::State& state) {
  Bench& b = Shared();
  b.files.next = b.out_picture;
  for (auto _ : state) b.ed->ButtonSave_Click();
}

#define HW_BENCH(fn) BENCHMARK(fn)->Iterations(kIterations)->Unit(benchmark::kMillisecond)
HW_BENCH(BM_PlainRemap);
HW_BENCH(BM_DropOne);
HW_BENCH(BM_DropRun16);
HW_BENCH(BM_Undo);
HW_BENCH(BM_ReverseAll);
HW_BENCH(BM_SortUsage);
HW_BENCH(BM_SortHSV);
HW_BENCH(BM_SortRGB);
HW_BENCH(BM_SortRGBReversed);
HW_BENCH(BM_SortHSVReversed);
HW_BENCH(BM_SpreadRGB);
HW_BENCH(BM_SpreadHSV);
HW_BENCH(BM_SpreadHSVReverse);
HW_BENCH(BM_LoadPalette);
HW_BENCH(BM_SavePicture);

}  // namespace

BENCHMARK_MAIN();
