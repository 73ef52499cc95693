// Helpers shared by the test programs: scratch folders, files, messages, tools, runs
// of huewright-cli, PCX headers, distinct palettes, PNG chunks, and work run in a
// child process.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "formats/pictures/pcx.h"

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
  return r ? std::string("ok") : r.error().Text();
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

// `s` as one word for the shell.
inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string Text(const Bytes& b) { return {b.begin(), b.end()}; }

#ifdef HW_BINARY_DIR
// What a run of the built huewright-cli gave.
struct CliOutcome {
  int code = -1;
  Bytes out;
  std::string err;
};

// Runs huewright-cli with `args` and no input, its output caught in files of `dir`
// (removed again); `prefix` is shell text before the command, such as limits.
inline CliOutcome RunCli(const TempDir& dir, const std::vector<std::string>& args,
                         const std::string& prefix = "") {
  std::string cmd = prefix + ShellQuote(HW_BINARY_DIR "/huewright-cli");
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  const std::string out = dir.File("cli-stdout.bin"), err = dir.File("cli-stderr.txt");
  const int status =
      std::system((cmd + " >" + ShellQuote(out) + " 2>" + ShellQuote(err) + " </dev/null").c_str());
  CliOutcome r{WIFEXITED(status) ? WEXITSTATUS(status) : 128, ReadBytes(out), Text(ReadBytes(err))};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}
#endif

// The distribution's own binary of a tool a test needs (python3 with Pillow), so no
// wrapper stands in between; "" and a failure naming the package when it is missing.
inline std::string NeedTool(const std::string& name, const std::string& package) {
  const std::string path = "/usr/bin/" + name;
  std::string out;
  if (::access(path.c_str(), X_OK) != 0 ||
      (name == "python3" && RunShell(path + " -c 'import PIL.Image'", &out) != 0)) {
    ADD_FAILURE() << "'" << name << "' is required for this test: install " << package << out;
    return "";
  }
  return path;
}

// A binary PPM of `rgb`, w x h pixels.
inline Bytes Ppm(int w, int h, const Bytes& rgb) {
  const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  Bytes ppm(head.begin(), head.end());
  ppm.insert(ppm.end(), rgb.begin(), rgb.end());
  return ppm;
}

// The last `n` bytes of `b` (all of it when shorter): a PPM's pixels after its header.
inline Bytes Tail(const Bytes& b, size_t n) {
  return n <= b.size() ? Bytes(b.end() - static_cast<std::ptrdiff_t>(n), b.end()) : b;
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
  for (int i = 0; i < 256; ++i)
    p[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7 + seed)};
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

struct Chunk {
  std::string type;
  Bytes data;
};
inline void PutBe32(Bytes& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

// The chunks of a well-formed PNG file, in order.
inline std::vector<Chunk> Chunks(const Bytes& png) {
  std::vector<Chunk> out;
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const uint32_t len =
        uint32_t(png[pos] << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3]);
    out.push_back({std::string(png.begin() + pos + 4, png.begin() + pos + 8),
                   Bytes(png.begin() + pos + 8, png.begin() + pos + 8 + len)});
    pos += 12 + len;
  }
  return out;
}

// A PNG signature and the chunks with correct lengths and CRCs.
inline Bytes Assemble(const std::vector<Chunk>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Chunk& c : chunks) {
    PutBe32(out, static_cast<uint32_t>(c.data.size()));
    const size_t start = out.size();
    out.insert(out.end(), c.type.begin(), c.type.end());
    out.insert(out.end(), c.data.begin(), c.data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = start; i < out.size(); ++i) {
      crc ^= out[i];
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    PutBe32(out, ~crc);
  }
  return out;
}

// Root ignores file permissions, so what another user sees is tried as this one.
inline constexpr uid_t kOtherUser = 65534;
inline constexpr gid_t kOtherGroup = 65534;
inline bool IsRoot() { return ::geteuid() == 0; }

struct ChildOutcome {
  int status = -1;   // as from waitpid
  std::string text;  // what the child's function returned
  bool Exited() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs fn in a child process, as kOtherUser when as_other_user is set (which needs
// root), and hands back the text it returns. The child leaves with _exit, so nothing
// of the parent (such as a TempDir) is cleaned up twice.
inline ChildOutcome RunInChild(const std::function<std::string()>& fn, bool as_other_user) {
  int fds[2];
  if (::pipe(fds) != 0) return {-1, "pipe failed"};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const bool became =
        !as_other_user ||
        (::setgroups(0, nullptr) == 0 && ::setresgid(kOtherGroup, kOtherGroup, kOtherGroup) == 0 &&
         ::setresuid(kOtherUser, kOtherUser, kOtherUser) == 0);
    const std::string text = became ? fn() : "cannot become the other user";
    for (size_t at = 0; at < text.size();) {
      const ssize_t n = ::write(fds[1], text.data() + at, text.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildOutcome out;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.text.append(buf, size_t(n));
  ::close(fds[0]);
  ::waitpid(pid, &out.status, 0);
  return out;
}

inline ChildOutcome RunAsOtherUser(const std::function<std::string()>& fn) {
  return RunInChild(fn, true);
}

}  // namespace hw::test
