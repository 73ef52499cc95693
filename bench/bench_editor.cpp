// The editor's commands on an 8192 x 8192 picture, loaded into an editor without
// a window (its display palette included), and the Undo and Redo of each. The
// reference is one plain remap of the picture's pixels: every command, and every
// undo and redo, should cost about one remap however many pairs it exchanges.
// Manual iteration counts keep the run short. BM_ReduceSearch/K is the search of
// "Reduce Colours..." alone for 256 distinct used colours down to K, which must
// stay within 100 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "editor/editor.h"
#include "formats/pictures/pcx.h"
#include "pixels/remap.h"

namespace {

using namespace hw;

constexpr int kSide = 8192;
constexpr int kIterations = 3;

class AbortOnError : public ErrorReporter {
 public:
  void ShowError(const Error& error) override {
    std::fprintf(stderr, "editor error: %s\n", error.Text().c_str());
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
  AbortOnError errors;
  std::unique_ptr<Editor> ed;
  std::string picture, out_picture, palette_file, other_palette_file, distinct_file;
  int toggle = 0;
  // Boards the fitting commands left; Rewind() undoes back past them.
  std::vector<BoardState> fitted;

  Bench() {
    std::string templ = (std::filesystem::temp_directory_path() / "hw_bench_XXXXXX").string();
    dir = mkdtemp(templ.data());
    picture = (dir / "big.pcx").string();
    out_picture = (dir / "saved.pcx").string();
    palette_file = (dir / "palette.pcx").string();
    other_palette_file = (dir / "other.pcx").string();
    distinct_file = (dir / "distinct.hex").string();
    // 256 colours that all differ: a remap to them searches every entry for every one.
    std::ofstream hex(distinct_file);
    for (int k = 0; k < 256; ++k) {
      char line[8];
      std::snprintf(line, sizeof line, "%02x%02x%02x\n", k % 8 * 36, k / 8 % 8 * 36, k / 64 * 85);
      hex << line;
    }

    PcxHeader hd = IndexedPictureHeader(kSide, kSide);
    const auto bytes = WritePcx(hd, BenchPixels(), BenchPalette());
    if (!bytes.ok()) std::abort();
    std::ofstream(picture, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()),
               static_cast<std::streamsize>(bytes->size()));

    ed = std::make_unique<Editor>(EditorServices{&errors, nullptr, nullptr, nullptr});
    ed->Start();
    if (!ed->LoadPicture(picture)) std::abort();
    ed->SavePalette(palette_file);
    ed->Sort(SortKey::Hue, false, {});
    ed->SavePalette(other_palette_file);
  }
  ~Bench() { std::filesystem::remove_all(dir); }

  void Range(int a, int b) {
    ed->Select(a);
    ed->Select(b);
  }

  // Back to the board before the fitting commands, whose map sends every index to
  // a position of its own (the earlier commands only exchange positions).
  void Rewind() {
    while (ed->CanUndo() && std::find(fitted.begin(), fitted.end(), ed->Board()) != fitted.end())
      ed->Undo();
  }
  // Runs a fitting command, which must change the board.
  void Fit(const std::function<void()>& command) {
    const BoardState before = ed->Board();
    command();
    if (ed->Board() == before) std::abort();
    fitted.push_back(ed->Board());
  }
};

// How long after a load the first command comes (a user cannot act sooner).
constexpr auto kPauseAfterLoad = std::chrono::milliseconds(300);

Bench& Shared() {
  static Bench bench;
  return bench;
}

// The reference: one remap of the loaded pixels into a warm buffer. With `idle`,
// each is preceded by the same pause as the first command after a load: a core
// left idle that long starts slower (on the machines measured, by about half a
// remap), whatever the editor does.
void PlainRemap(benchmark::State& state, bool idle) {
  Bench& b = Shared();
  IndexLut lut;
  std::iota(lut.begin(), lut.end(), uint8_t{0});
  std::shuffle(lut.begin(), lut.end(), std::mt19937(7));
  std::vector<uint8_t> out(b.ed->LoadedPixels().size());
  for (auto _ : state) {
    if (idle) {
      state.PauseTiming();
      std::this_thread::sleep_for(kPauseAfterLoad);
      state.ResumeTiming();
    }
    RemapPixels(b.ed->LoadedPixels(), out, lut);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_PlainRemap(benchmark::State& state) { PlainRemap(state, false); }
void BM_PlainRemapAfterPause(benchmark::State& state) { PlainRemap(state, true); }

// A command: `prepare` (untimed) leaves the board where the command changes it.
struct Command {
  const char* name;
  std::function<void(Bench&)> prepare;
  std::function<void(Bench&)> run;
};

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"DropOne", [](Bench&) {},
       [](Bench& b) {
         b.ed->Drop(200, 10, {1, {}});
       }},
      {"DropRun16", [](Bench&) {},
       [](Bench& b) {
         b.ed->Drop(100, 20, {16, {}});
       }},
      {"ReverseAll", [](Bench& b) { b.Range(0, 255); }, [](Bench& b) { b.ed->ReverseRange({}); }},
      {"SortUsage", [](Bench& b) { b.ed->Sort(SortKey::RedGreen, false, {}); },
       [](Bench& b) { b.ed->Sort(SortKey::Usage, false, {}); }},
      {"SortHSV", [](Bench& b) { b.ed->Sort(SortKey::Usage, false, {}); },
       [](Bench& b) { b.ed->Sort(SortKey::Hue, false, {}); }},
      {"SortRGB", [](Bench& b) { b.ed->Sort(SortKey::Usage, false, {}); },
       [](Bench& b) { b.ed->Sort(SortKey::RedGreen, false, {}); }},
      // Equal keys are exchanged in every sweep: all 257 sweeps run.
      {"SortRGBReversed", [](Bench& b) { b.ed->Sort(SortKey::Usage, false, {}); },
       [](Bench& b) { b.ed->Sort(SortKey::RedGreen, true, {}); }},
      {"SpreadRGB",
       [](Bench& b) {
         b.ed->EditColour(255, RGBTriple{static_cast<uint8_t>(++b.toggle), 40, 200});
         b.Range(0, 255);
       },
       [](Bench& b) { b.ed->Spread(SpreadKind::Rgb); }},
      {"SpreadHSV",
       [](Bench& b) {
         b.ed->EditColour(255, RGBTriple{static_cast<uint8_t>(++b.toggle), 40, 200});
         b.Range(0, 255);
       },
       [](Bench& b) { b.ed->Spread(SpreadKind::Hsv); }},
      {"EditColour", [](Bench&) {},
       [](Bench& b) {
         b.ed->EditColour(77, RGBTriple{static_cast<uint8_t>(++b.toggle), 1, 2});
       }},
      {"LoadPalette", [](Bench&) {},
       [](Bench& b) {
         b.ed->LoadPalette(++b.toggle % 2 ? b.other_palette_file : b.palette_file,
                           PaletteMerge::All);
       }},
      // The fitting commands start from a board whose 256 positions each take one
      // index (so a remap searches all 256 file entries for each of 256 colours).
      {"RemapRgb", [](Bench& b) { b.Rewind(); },
       [](Bench& b) {
         b.Fit([&] { b.ed->RemapToPalette(b.distinct_file, {RemapMetric::Rgb, {}}); });
       }},
      {"RemapPerceptual", [](Bench& b) { b.Rewind(); },
       [](Bench& b) {
         b.Fit([&] { b.ed->RemapToPalette(b.distinct_file, {RemapMetric::Perceptual, {}}); });
       }},
      {"MergeDuplicates", [](Bench& b) { b.Rewind(); },
       [](Bench& b) { b.Fit([&] { b.ed->MergeDuplicates(); }); }},
      // After a merge the unused twins sit among the used entries.
      {"Compact",
       [](Bench& b) {
         b.Rewind();
         b.Fit([&] { b.ed->MergeDuplicates(); });
       },
       [](Bench& b) { b.Fit([&] { b.ed->Compact(); }); }},
      {"Reduce16", [](Bench& b) { b.Rewind(); },
       [](Bench& b) { b.Fit([&] { b.ed->ReduceColours(16); }); }},
      // Last: a target stays set, and the commands above run without one.
      // On a target: the same gradient, each entry then snapped.
      {"SpreadRGBOnTarget",
       [](Bench& b) {
         if (b.ed->Board().target.None()) b.ed->SetTarget(*TargetByName("megadrive"));
         b.ed->EditColour(255, RGBTriple{static_cast<uint8_t>(++b.toggle), 40, 200});
         b.Range(0, 255);
       },
       [](Bench& b) { b.ed->Spread(SpreadKind::Rgb); }},
      // A 24-bit gradient over the whole board, then every entry snapped in one step.
      {"SnapAll",
       [](Bench& b) {
         b.ed->SetTarget(ColourTarget{});
         b.ed->EditColour(255, RGBTriple{static_cast<uint8_t>(++b.toggle), 40, 200});
         b.Range(0, 255);
         b.ed->Spread(SpreadKind::Rgb);
         b.ed->SetTarget(*TargetByName("megadrive"));
       },
       [](Bench& b) { b.ed->SnapAll(); }},
  };
  return commands;
}

// Times the command itself, its Undo, or its Redo.
enum class Phase { Do, Undo, Redo };

void RunPhase(benchmark::State& state, const Command& c, Phase phase) {
  Bench& b = Shared();
  for (auto _ : state) {
    state.PauseTiming();
    c.prepare(b);
    if (phase != Phase::Do) c.run(b);
    if (phase == Phase::Redo) b.ed->Undo();
    state.ResumeTiming();
    switch (phase) {
      case Phase::Do:
        c.run(b);
        break;
      case Phase::Undo:
        b.ed->Undo();
        break;
      case Phase::Redo:
        b.ed->Redo();
        break;
    }
  }
}

// The first command after a load, a moment after the picture appeared (a user
// cannot act sooner): the remapped pixels' buffer must be ready by then. With
// `idle` the moment is slept away, as a user's pause leaves the cores (compare
// with BM_PlainRemapAfterPause); otherwise this thread spins through it, so the
// cores are as awake as for BM_PlainRemap and only the editor's own work differs.
void FirstDropAfterLoad(benchmark::State& state, bool idle) {
  Bench& b = Shared();
  for (auto _ : state) {
    state.PauseTiming();
    if (!b.ed->LoadPicture(b.picture)) std::abort();
    if (idle) {
      std::this_thread::sleep_for(kPauseAfterLoad);
    } else {
      const auto until = std::chrono::steady_clock::now() + kPauseAfterLoad;
      while (std::chrono::steady_clock::now() < until) {
      }
    }
    state.ResumeTiming();
    b.ed->Drop(200, 10, {1, {}});
  }
}

void BM_FirstDropAfterLoad(benchmark::State& state) { FirstDropAfterLoad(state, true); }
void BM_FirstDropAfterLoadAwake(benchmark::State& state) { FirstDropAfterLoad(state, false); }

// 256 distinct colours spread over the whole cube, with uneven usage.
std::vector<ReducePoint> DistinctPoints() {
  std::vector<ReducePoint> pts;
  std::mt19937 gen(7);
  for (int i = 0; i < 256; ++i) {
    const RGBTriple c{static_cast<uint8_t>(gen()), static_cast<uint8_t>(gen()),
                      static_cast<uint8_t>(gen())};
    pts.push_back({c, static_cast<double>(1 + gen() % 100000)});
  }
  return pts;
}

void BM_ReduceSearch(benchmark::State& state) {
  const std::vector<ReducePoint> pts = DistinctPoints();
  for (auto _ : state) {
    ReduceFit fit = FitColours(pts, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(fit);
  }
}

void BM_SavePicture(benchmark::State& state) {
  Bench& b = Shared();
  for (auto _ : state) b.ed->SavePicture(b.out_picture);
}

const int kRegistered = [] {
  const auto add = [](const std::string& name, auto fn) {
    benchmark::RegisterBenchmark(name.c_str(), fn)
        ->Iterations(kIterations)
        ->Unit(benchmark::kMillisecond);
  };
  add("BM_PlainRemap", BM_PlainRemap);
  add("BM_PlainRemapAfterPause", BM_PlainRemapAfterPause);
  for (const Command& c : Commands()) {
    add(std::string("BM_") + c.name, [&c](benchmark::State& s) { RunPhase(s, c, Phase::Do); });
    add(std::string("BM_") + c.name + "/Undo",
        [&c](benchmark::State& s) { RunPhase(s, c, Phase::Undo); });
    add(std::string("BM_") + c.name + "/Redo",
        [&c](benchmark::State& s) { RunPhase(s, c, Phase::Redo); });
  }
  add("BM_FirstDropAfterLoad", BM_FirstDropAfterLoad);
  add("BM_FirstDropAfterLoadAwake", BM_FirstDropAfterLoadAwake);
  add("BM_SavePicture", BM_SavePicture);
  for (int k : {16, 64, 128, 255}) {
    benchmark::RegisterBenchmark("BM_ReduceSearch", BM_ReduceSearch)
        ->Arg(k)
        ->Iterations(kIterations)
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
