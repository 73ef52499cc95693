// Helpers shared by the test programs: scratch folders, whole-file reads and writes,
// error messages, PCX headers and palettes whose entries all differ.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/pcx.h"

namespace hw::test {

using Bytes = std::vector<uint8_t>;

class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "hw_test_XXXXXX").string();
    path_ = mkdtemp(templ.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The message of a failed result; "ok" for a success.
template <typename R>
std::string Why(const R& r) {
  return r ? std::string("ok") : r.error().message;
}

inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
// Prints both strings when `text` does not hold `part`.
#define EXPECT_HAS(text, part) EXPECT_PRED2(::hw::test::Has, text, part)

// Runs a shell command; returns its exit status, with stderr folded into `output`.
inline int RunShell(const std::string& cmd, std::string* output) {
  FILE* p = ::popen(("{ " + cmd + "; } 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output->append(buf, n);
  const int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The distribution's own binary of a tool a test needs (python3 with Pillow), so no
// wrapper stands in between; "" and a failure naming the package when it is missing.
inline std::string NeedTool(const std::string& name, const std::string& package) {
  const std::string path = "/usr/bin/" + name;
  std::string out;
  if (::access(path.c_str(), X_OK) != 0 ||
      (name == "python3" && RunShell(path + " -c 'import PIL.Image'", &out) != 0)) {
    ADD_FAILURE() << "'" << name << "' is required for this test: install " << package << " "
                  << out;
    return "";
  }
  return path;
}

// An 8-bit one-plane picture header; rows of `bpl` bytes (the width when left out).
inline PcxHeader MakeHeader(int w, int h, int bpl = -1, uint8_t encoding = 1) {
  PcxHeader hd{};
  hd.Manufacturer = 10, hd.Version = 5, hd.Encoding = encoding, hd.BitsPerPixel = 8;
  hd.Xmax = static_cast<int16_t>(w - 1), hd.Ymax = static_cast<int16_t>(h - 1);
  hd.NPlanes = 1, hd.PaletteInfo = 1;
  hd.BytesPerLine = static_cast<int16_t>(bpl < 0 ? w : bpl);
  return hd;
}

// Entry i is (i, 255 - i, 7i + seed): all 256 differ.
inline Palette DistinctPalette(int seed = 0) {
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    p[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>(i * 7 + seed)};
  }
  return p;
}

// The palette's colours, every entry opaque.
inline BoardEntries Opaque(const Palette& p) {
  BoardEntries e{};
  for (size_t k = 0; k < 256; ++k) e[k].rgb = p[k];
  return e;
}

// The 768 bytes of a palette as a file holds them.
inline Bytes PaletteBytes(const Palette& p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p.data());
  return Bytes(b, b + sizeof(Palette));
}

}  // namespace hw::test
