// huewright-cli as whole processes on one 8192 x 8192 PCX picture: `edit` with one
// step against `rewrite` of the same file, and `stats` against `info`; on the
// same picture as a PNG with the five bands' ranges (8 frames), `cycle-gif` against
// `convert` to a one-frame GIF; and `indices` of a 4096 x 4096 ILBM of 8 planes
// (ByteRun1, as huewright-cli writes it) against netpbm's `ilbmtoppm` of the same
// file, both to /dev/null. Every
// iteration runs the command and its reference back to back, so that both see the
// same machine; the counters are each one's median wall time and the ratio of the
// medians (command / reference), and the same ratio of processor time (user and
// system): on a machine shared with other work that one moves less.
//
// Flags: --cli=PATH   the huewright-cli to time (required)
//        --picture=F  the picture (else a photo-class picture in a scratch folder)
//        --runs=N     pairs of runs per benchmark (9)
//        --write_picture=F  writes the photo-class picture to F and exits (for perf)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "content_classes.h"
#include "cycle/rotation.h"
#include "formats/picture_io.h"
#include "formats/pictures/ilbm.h"
#include "formats/pictures/pcx.h"

extern char** environ;

namespace {

constexpr int kSide = 8192;
constexpr int kIlbmSide = 4096;
constexpr const char* kIlbmToPpm = "/usr/bin/ilbmtoppm";
std::string cli, picture, scratch, write_only;
int runs = 9;

struct Times {
  double wall = -1;  // seconds; -1 when the command failed
  double cpu = 0;
};

// Runs the command with stdout on /dev/null.
Times Time(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  rusage usage{};
  const bool ran = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                   wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
                   WEXITSTATUS(status) == 0;
  const auto t1 = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
  if (!ran) return {};
  return {std::chrono::duration<double>(t1 - t0).count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

bool WritePhoto(const std::string& path) {
  hw::PcxHeader header = hw::IndexedPictureHeader(kSide, kSide);
  auto file =
      hw::WritePcx(header, hw::bench::ContentPicture("photo", kSide), hw::bench::ContentPalette());
  return file.ok() && hw::bench::WriteBenchFile(path, *file);
}

// The picture as a PNG holding the five bands' ranges.
bool WriteCycling(const std::string& path) {
  const hw::Palette palette = hw::bench::ContentPalette();
  hw::BoardEntries entries{};
  for (size_t p = 0; p < 256; ++p) entries[p].rgb = palette[p];
  return hw::SavePictureFile(path, hw::PictureFormat::Png, kSide, kSide,
                             hw::bench::ContentPicture("photo", kSide), entries, nullptr, nullptr,
                             hw::FiveBandsPreset())
      .ok();
}

bool WriteIlbm(const std::string& path, std::string_view kind) {
  hw::BoardEntries entries{};
  const hw::Palette palette = hw::bench::ContentPalette();
  for (size_t i = 0; i < 256; ++i) entries[i].rgb = palette[i];
  auto file =
      hw::EncodeIlbm(kIlbmSide, kIlbmSide, hw::bench::ContentPicture(kind, kIlbmSide), entries, {});
  return file.ok() && hw::bench::WriteBenchFile(path, *file);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Pair(benchmark::State& state, const std::vector<std::string>& command,
          const std::vector<std::string>& reference) {
  std::vector<double> ours, ref, ours_cpu, ref_cpu;
  for (auto _ : state) {
    const Times r = Time(reference), c = Time(command);
    if (r.wall < 0 || c.wall < 0) {
      state.SkipWithError("a command failed");
      return;
    }
    ref.push_back(r.wall);
    ours.push_back(c.wall);
    ref_cpu.push_back(r.cpu);
    ours_cpu.push_back(c.cpu);
    state.SetIterationTime(r.wall + c.wall);
  }
  state.counters["ms"] = Median(ours) * 1e3;
  state.counters["reference_ms"] = Median(ref) * 1e3;
  state.counters["ratio"] = Median(ours) / Median(ref);
  state.counters["cpu_ratio"] = Median(ours_cpu) / Median(ref_cpu);
}

void BM_EditAgainstRewrite(benchmark::State& state, const char* step) {
  Pair(state, {cli, "edit", picture, scratch + "/edit.pcx", step},
       {cli, "rewrite", picture, scratch + "/rewrite.pcx"});
}

void BM_StatsAgainstInfo(benchmark::State& state) {
  Pair(state, {cli, "stats", picture}, {cli, "info", picture});
}

void BM_CycleGifAgainstConvert(benchmark::State& state, const std::string& png) {
  Pair(state, {cli, "cycle-gif", png, scratch + "/cycle.gif"},
       {cli, "convert", png, scratch + "/one.gif"});
}

void BM_IlbmIndicesAgainstIlbmtoppm(benchmark::State& state, const std::string& file) {
  Pair(state, {cli, "indices", file}, {kIlbmToPpm, file});
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--cli=", 6) == 0) {
      cli = argv[i] + 6;
    } else if (std::strncmp(argv[i], "--write_picture=", 16) == 0) {
      write_only = argv[i] + 16;
    } else if (std::strncmp(argv[i], "--runs=", 7) == 0) {
      runs = std::max(1, std::atoi(argv[i] + 7));
    } else if (std::strncmp(argv[i], "--picture=", 10) == 0) {
      picture = argv[i] + 10;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (!write_only.empty()) return WritePhoto(write_only) ? 0 : 1;
  if (cli.empty()) {
    std::fprintf(stderr,
                 "usage: bench_cli --cli=PATH [--picture=FILE] [--runs=N] [benchmark flags]\n");
    return 2;
  }
  char folder[] = "/tmp/hw_bench_cli_XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  scratch = folder;
  if (picture.empty()) {
    picture = scratch + "/photo.pcx";
    if (!WritePhoto(picture)) return 1;
  }
  for (const char* step : {"sort:hsv", "move:0:200:16", "set:7:#102030"}) {
    benchmark::RegisterBenchmark(("BM_EditAgainstRewrite/" + std::string(step)).c_str(),
                                 BM_EditAgainstRewrite, step)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(runs);
  }
  benchmark::RegisterBenchmark("BM_StatsAgainstInfo", BM_StatsAgainstInfo)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(runs);
  const std::string cycling = scratch + "/cycling.png";
  if (!WriteCycling(cycling)) return 1;
  benchmark::RegisterBenchmark("BM_CycleGifAgainstConvert", BM_CycleGifAgainstConvert, cycling)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(runs);
  if (access(kIlbmToPpm, X_OK) == 0) {
    for (const char* kind : {"photo", "cartoon"}) {
      const std::string file = scratch + "/" + kind + ".lbm";
      if (!WriteIlbm(file, kind)) return 1;
      benchmark::RegisterBenchmark(("BM_IlbmIndicesAgainstIlbmtoppm/" + std::string(kind)).c_str(),
                                   BM_IlbmIndicesAgainstIlbmtoppm, file)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(runs);
    }
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(scratch);
  return 0;
}
