// What the user waits for in the editor's windows, on the offscreen platform:
//   BM_LoadToShown     from the load command to the end of the picture window's
//                      first paint of the new picture
//   BM_RepaintView     a colour-only change (a palette rebuild) repainted on a
//                      1024 x 768 view of the picture
//   BM_WarmRemap       one plain remap of the same picture: the reference
// Flags of its own (before the benchmark flags):
//   --picture=PATH              the picture the benchmarks load (required)
//   --write=KIND,SIDE,PATH      writes a content-class picture and exits
//   --peak_memory=PATH          loads PATH, sorts it by hue, and prints the peak
//                               resident memory against the pixel count
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "content_classes.h"
#include "editor/editor.h"
#include "formats/pcx.h"
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
  void ShowError(const std::string& message) override {
    std::fprintf(stderr, "editor error: %s\n", message.c_str());
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

struct Window {
  OneFile files;
  AbortOnError errors;
  Editor editor{EditorServices{&errors, nullptr, nullptr, nullptr}, 0};
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
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
