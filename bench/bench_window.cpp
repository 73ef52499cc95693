// What the user waits for in the editor's windows, on the offscreen platform:
//   BM_LoadToShown     from the load command to the end of the picture window's
//                      first paint of the new picture
//   BM_RepaintView     a colour-only change (a palette rebuild) repainted on a
//                      1024 x 768 view of the picture
//   BM_WarmRemap       one plain remap of the same picture: the reference
//   BM_CycleFrame      one colour-cycling frame while ranges play: the display
//                      palette changed by one step and the 1024 x 768 view
//                      repainted (compare with BM_RepaintView)
//   BM_CycleLateness   10 s of playing at 60 steps a second through the real event
//                      loop and timer: counters give the median and 99th
//                      percentile of how late each step reached the screen
// Flags of its own (before the benchmark flags):
//   --picture=PATH              the picture the benchmarks load (required)
//   --write=KIND,SIDE,PATH      writes a content-class picture and exits
//   --peak_memory=PATH          loads PATH, sorts it by hue, and prints the peak
//                               resident memory against the pixel count
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "content_classes.h"
#include "editor/editor.h"
#include "formats/pictures/pcx.h"
#include "pixels/remap.h"
#include "qt/main_window.h"
#include "qt/picture_window.h"

namespace {

using namespace hw;

std::string g_picture;

struct OneFile : FileDialogs {
  std::string path;
  std::optional<std::string> OpenFile(FileKind) override { return path; }
  std::optional<std::string> SaveFile(FileKind, const std::string&) override {
    return std::nullopt;
  }
};

struct AbortOnError : ErrorReporter {
  void ShowError(const Error& error) override {
    std::fprintf(stderr, "editor error: %s\n", error.Text().c_str());
    std::abort();
  }
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// A clock the frame benchmark moves by hand; the lateness benchmark lets it follow
// the system's steady clock.
struct BenchClock : Clock {
  bool real = true;
  int64_t now = 0;
  int64_t NowMicros() override {
    if (!real) return now;
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

struct Window {
  OneFile files;
  AbortOnError errors;
  BenchClock clock;
  Editor editor{EditorServices{&errors, nullptr, nullptr, &clock, nullptr}, 0};
  MainWindow form{editor, &files, nullptr};
  PaintCounter counter;
  Window() {
    form.Load();
    form.show();
    form.picture_window()->View()->installEventFilter(&counter);
    files.path = g_picture;
  }
  void LoadAndWaitForPaint() {
    const int before = counter.paints;
    form.Action("actionLoadPic")->trigger();
    // The paint runs inside processEvents: when the count moves, it is done.
    while (counter.paints == before) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
};

// Lives until the process ends: its widgets must not outlive QApplication's
// destruction at exit, so it is never destroyed.
Window& Shared() {
  static Window* window = new Window;
  return *window;
}

void BM_LoadToShown(benchmark::State& state) {
  Window& w = Shared();
  for (auto _ : state) w.LoadAndWaitForPaint();
}

void BM_RepaintView(benchmark::State& state) {
  Window& w = Shared();
  if (!w.editor.PictureLoaded()) w.LoadAndWaitForPaint();
  // A window large enough to show 1024 x 768 of the picture at 1:1.
  w.form.picture_window()->resize(1024 + 64, 768 + 64);
  QCoreApplication::processEvents();
  PictureView* box = w.form.picture_window()->View();
  const QRect view(0, 0, std::min(1024, box->width()), std::min(768, box->height()));
  if (box->visibleRegion().boundingRect().width() < view.width() ||
      box->visibleRegion().boundingRect().height() < view.height()) {
    state.SkipWithError("the picture window does not show 1024 x 768 of the picture");
    return;
  }
  int k = 0;
  for (auto _ : state) {
    state.PauseTiming();
    w.editor.EditColour(7, RGBTriple{static_cast<uint8_t>(++k), 0, 0});  // a palette rebuild
    QCoreApplication::processEvents();
    state.ResumeTiming();
    box->repaint(view);
  }
}

// The view sized to show 1024 x 768 of the picture; false when it cannot.
bool ShowView(Window& w, benchmark::State& state) {
  if (!w.editor.PictureLoaded()) w.LoadAndWaitForPaint();
  // A viewport of exactly 1024 x 768: the window grows by what the viewport lacks.
  PictureWindow* window = w.form.picture_window();
  window->SetZoom(1);  // one picture pixel a screen pixel
  window->resize(1024 + 64, 768 + 64);
  QCoreApplication::processEvents();
  if (auto* area = window->findChild<QScrollArea*>()) {
    for (int round = 0; round < 3; ++round) {
      const QSize lack = QSize(1024, 768) - area->viewport()->size();
      if (lack.isNull()) break;
      window->resize(window->size() + lack);
      QCoreApplication::processEvents();
    }
  }
  PictureView* box = window->View();
  const QRect seen = box->visibleRegion().boundingRect();
  state.counters["view_width"] = seen.width();
  state.counters["view_height"] = seen.height();
  if (seen.width() < 1024 || seen.height() < 768) {
    state.SkipWithError("the picture window does not show 1024 x 768 of the picture");
    return false;
  }
  return true;
}

// Five bands and one range over the whole board, so every pixel changes colour.
void PlayRanges(Window& w) {
  w.editor.StopCycles();
  w.editor.ClearCycleRanges();
  w.editor.AddFiveBands();
  w.editor.AddCycleRange(CycleRange{0, 255, kCycleRateUnit, false, true});
  w.editor.PlayCycles();
  QCoreApplication::processEvents();
}

void BM_CycleFrame(benchmark::State& state) {
  Window& w = Shared();
  if (!ShowView(w, state)) return;
  w.clock.real = false;
  PlayRanges(w);
  for (auto _ : state) {
    w.clock.now += 1'000'000 / 60 + 1;  // one step of every range
    const int before = w.counter.paints;
    w.editor.CycleTick();
    // The window takes the new colours and repaints what is on screen.
    while (w.counter.paints == before) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  w.editor.StopCycles();
  w.clock.real = true;
}

// Ends each paint of the view and notes when it ended.
class PaintClock : public QObject {
 public:
  std::vector<int64_t>* ends = nullptr;
  BenchClock* clock = nullptr;
  bool eventFilter(QObject* target, QEvent* event) override {
    if (event->type() != QEvent::Paint || ends == nullptr) return false;
    static_cast<QWidget*>(target)->removeEventFilter(this);
    QCoreApplication::sendEvent(target, event);
    static_cast<QWidget*>(target)->installEventFilter(this);
    ends->push_back(clock->NowMicros());
    return true;
  }
};

void BM_CycleLateness(benchmark::State& state) {
  Window& w = Shared();
  if (!ShowView(w, state)) return;
  PictureView* box = w.form.picture_window()->View();
  for (auto _ : state) {
    std::vector<int64_t> ends;
    ends.reserve(4096);
    std::vector<int> shown_steps;
    shown_steps.reserve(4096);
    PaintClock painted;
    painted.clock = &w.clock;
    painted.ends = &ends;
    w.clock.real = true;
    PlayRanges(w);
    const int64_t start = w.clock.NowMicros();
    box->installEventFilter(&painted);
    // Which step a paint showed: the whole-board range moved entry 0's colour.
    const RGBTriple first = w.editor.Board().entries[0].rgb;
    std::vector<int64_t> late;
    late.reserve(1024);
    int64_t last_step = 0;
    while (w.clock.NowMicros() - start < 10'000'000) {
      const size_t before = ends.size();
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      if (ends.size() == before) continue;
      // The step shown is the one due last before the paint ended, provided the
      // palette shows it (entry k shows entry 0's colour after k steps).
      const int64_t t = ends.back() - start;
      const int64_t due_step = t * 60 / 1'000'000;
      const LogicalPalette* shown = w.editor.display().Realized(Surface::PictureBox);
      for (int64_t k = due_step; k > last_step && k > due_step - 8; --k) {
        const PaletteEntry& e = (*shown)[static_cast<size_t>(k % 256)];
        if (e.red == first.R && e.green == first.G && e.blue == first.B) {
          late.push_back(t - (k * 1'000'000 + 59) / 60);
          last_step = k;
          break;
        }
      }
    }
    box->removeEventFilter(&painted);
    w.editor.StopCycles();
    std::sort(late.begin(), late.end());
    if (late.empty()) {
      state.SkipWithError("no step reached the screen");
      return;
    }
    state.counters["steps_shown"] = static_cast<double>(late.size());
    state.counters["steps_due"] = 600;
    state.counters["late_median_ms"] = late[late.size() / 2] / 1000.0;
    state.counters["late_p99_ms"] =
        late[std::min(late.size() - 1, late.size() * 99 / 100)] / 1000.0;
  }
}

void BM_WarmRemap(benchmark::State& state) {
  Window& w = Shared();
  if (!w.editor.PictureLoaded()) w.LoadAndWaitForPaint();
  const std::vector<uint8_t>& loaded = w.editor.LoadedPixels();
  std::vector<uint8_t> out(loaded.size());
  IndexLut lut;
  for (int i = 0; i < 256; ++i) lut[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
  RemapPixels(loaded, out, lut);  // warm
  for (auto _ : state) {
    RemapPixels(loaded, out, lut);
    benchmark::ClobberMemory();
  }
}

int Write(const std::string& request) {
  const size_t a = request.find(','), b = request.find(',', a + 1);
  if (a == std::string::npos || b == std::string::npos) return 2;
  const std::string kind = request.substr(0, a);
  const int side = std::stoi(request.substr(a + 1, b - a - 1));
  PcxHeader header = IndexedPictureHeader(static_cast<int16_t>(side), static_cast<int16_t>(side));
  auto bytes = WritePcx(header, bench::ContentPicture(kind, side), bench::ContentPalette());
  if (!bytes) return 1;
  std::ofstream(request.substr(b + 1), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes->data()),
             static_cast<std::streamsize>(bytes->size()));
  return 0;
}

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  }
  return -1;
}

int PeakMemory() {
  Window& w = Shared();
  const long before = StatusKiB("VmRSS:");
  w.LoadAndWaitForPaint();
  w.editor.Sort(SortKey::Hue, false, {});
  QCoreApplication::processEvents();
  const double pixels_mib = static_cast<double>(w.editor.LoadedPixels().size()) / (1 << 20);
  const double peak_mib = StatusKiB("VmHWM:") / 1024.0;
  std::printf(
      "picture %.0f MiB; resident before the load %.0f MiB; peak %.0f MiB = %.2f x the "
      "pixels (target: at most 2.2 x the pixels + 64 MiB = %.0f MiB)\n",
      pixels_mib, before / 1024.0, peak_mib, peak_mib / pixels_mib, 2.2 * pixels_mib + 64);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  bool peak = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--write=", 0) == 0) return Write(arg.substr(8));
    if (arg.rfind("--picture=", 0) == 0) {
      g_picture = arg.substr(10);
    } else if (arg.rfind("--peak_memory=", 0) == 0) {
      g_picture = arg.substr(14);
      peak = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  QApplication app(argc, argv);
  if (g_picture.empty()) {
    std::fprintf(stderr, "bench_window: --picture=PATH is required\n");
    return 2;
  }
  if (peak) return PeakMemory();
  benchmark::RegisterBenchmark("BM_WarmRemap", BM_WarmRemap)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_LoadToShown", BM_LoadToShown)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_RepaintView", BM_RepaintView)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_CycleFrame", BM_CycleFrame)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_CycleLateness", BM_CycleLateness)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
