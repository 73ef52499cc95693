// Runs the built huewright-cli on files made here and checks its output bytes, exit
// codes and error lines. Hashes are checked against sha256sum, not our own code.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const std::string kCli = HW_BINARY_DIR "/huewright-cli";

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string Text(const Bytes& b) { return {b.begin(), b.end()}; }

int Lines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

struct Outcome {
  int code = -1;
  Bytes out;
  std::string err;
};

// The picture used by most tests: 5 x 3 pixels stored in rows of 6 bytes (odd width,
// filler 0xEE), indices on both sides of the 0xC0 run-marker boundary, a palette
// whose every byte differs from its neighbours.
struct Sample {
  Bytes pixels;
  Bytes palette;
  Bytes file;
};

Sample MakeSample() {
  Sample s;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) s.pixels.push_back(static_cast<uint8_t>((x * 61 + y * 97) % 256));
  for (int i = 0; i < 768; ++i) s.palette.push_back(static_cast<uint8_t>(i * 7 + i / 256));
  Bytes h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = 8;
  h[8] = 4;   // Xmax
  h[10] = 2;  // Ymax
  h[12] = 72;
  h[14] = 72;
  for (int i = 16; i < 64; ++i) h[i] = 0x5A;  // ColorMap, replaced on rewrite
  h[65] = 1;                                  // planes
  h[66] = 6;                                  // BytesPerLine
  h[68] = 1;
  for (int i = 74; i < 128; ++i) h[i] = static_cast<uint8_t>(i);  // carried through
  s.file = h;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) {
      const uint8_t v = x < 5 ? s.pixels[y * 5 + x] : 0xEE;
      if (v >= 0xC0) s.file.push_back(0xC1);
      s.file.push_back(v);
    }
  }
  s.file.push_back(12);
  s.file.insert(s.file.end(), s.palette.begin(), s.palette.end());
  return s;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "hw-cli-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  fs::path Put(const std::string& name, const Bytes& bytes) const {
    WriteAll(Path(name), bytes);
    return Path(name);
  }

  Outcome Cmd(const std::vector<std::string>& args) const {
    std::string cmd = Quote(kCli);
    for (const auto& a : args) cmd += " " + Quote(a);
    const fs::path out = Path("stdout.bin"), err = Path("stderr.txt");
    cmd += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
    Outcome r;
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (status & 0x7f);
    r.out = ReadAll(out);
    r.err = Text(ReadAll(err));
    fs::remove(out);
    fs::remove(err);
    return r;
  }

  std::string Sha256(const Bytes& bytes) const {
    const fs::path p = Put("hash-input.bin", bytes);
    FILE* pipe = ::popen(("sha256sum " + Quote(p.string())).c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    char buf[65] = {};
    const size_t n = pipe ? std::fread(buf, 1, 64, pipe) : 0;
    if (pipe) ::pclose(pipe);
    fs::remove(p);
    return std::string(buf, n);
  }

  // The JSON object as a map of raw value texts.
  static std::map<std::string, std::string> Fields(const std::string& json) {
    std::map<std::string, std::string> m;
    size_t i = 0;
    while ((i = json.find('"', i)) != std::string::npos) {
      const size_t key_end = json.find('"', i + 1);
      const size_t colon = json.find(':', key_end);
      size_t value_end = json.find_first_of(",}", colon);
      std::string value = json.substr(colon + 1, value_end - colon - 1);
      if (!value.empty() && value.front() == '"') value = value.substr(1, value.size() - 2);
      m[json.substr(i + 1, key_end - i - 1)] = value;
      i = value_end;
    }
    return m;
  }

  fs::path dir_;
};

TEST_F(Cli, InfoPrintsOneJsonObjectWithFieldsAndHashes) {
  const Sample s = MakeSample();
  const auto file = Put("odd.pcx", s.file);
  const Outcome r = Cmd({"info", file.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string expected =
      "{\"width\":5,\"height\":3,\"bits_per_pixel\":8,\"planes\":1,"
      "\"bytes_per_line\":6,\"encoding\":1,\"pixels_sha256\":\"" +
      Sha256(s.pixels) + "\",\"palette_sha256\":\"" + Sha256(s.palette) + "\"}\n";
  EXPECT_EQ(Text(r.out), expected);
}

TEST_F(Cli, IndicesAndPaletteWriteTheRawBytes) {
  const Sample s = MakeSample();
  const auto file = Put("odd.pcx", s.file);
  const Outcome indices = Cmd({"indices", file.string()});
  ASSERT_EQ(indices.code, 0) << indices.err;
  EXPECT_EQ(indices.out, s.pixels);  // row filler dropped
  const Outcome palette = Cmd({"palette", file.string()});
  ASSERT_EQ(palette.code, 0) << palette.err;
  EXPECT_EQ(palette.out, s.palette);
}

TEST_F(Cli, RewriteKeepsPictureHeaderAndPalette) {
  const Sample s = MakeSample();
  const auto in = Put("in.pcx", s.file);
  const auto out = Path("out.pcx");
  const Outcome r = Cmd({"rewrite", in.string(), out.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.empty());

  const Bytes written = ReadAll(out);
  ASSERT_GT(written.size(), 128u + 769u);
  for (size_t i = 0; i < 128; ++i) {
    // ColorMap (16..63) becomes palette entries 0..15; everything else as loaded.
    const uint8_t want = i >= 16 && i < 64 ? s.palette[i - 16] : s.file[i];
    EXPECT_EQ(written[i], want) << "header byte " << i;
  }
  EXPECT_EQ(Cmd({"indices", out.string()}).out, s.pixels);
  EXPECT_EQ(Cmd({"palette", out.string()}).out, s.palette);

  // A file our writer made comes back byte for byte.
  const auto again = Path("again.pcx");
  ASSERT_EQ(Cmd({"rewrite", out.string(), again.string()}).code, 0);
  EXPECT_EQ(ReadAll(again), written);
  // Rewriting onto the input itself replaces it with the same picture.
  ASSERT_EQ(Cmd({"rewrite", in.string(), in.string()}).code, 0);
  EXPECT_EQ(ReadAll(in), written);
}

TEST_F(Cli, FailedRewriteLeavesTheTargetAlone) {
  const Sample s = MakeSample();
  const Bytes precious = {'k', 'e', 'e', 'p', '\n'};

  // Unreadable input: OUT keeps its content.
  Bytes truncated(s.file.begin(), s.file.begin() + 800);
  const auto bad = Put("truncated.pcx", truncated);
  const auto out = Put("out.pcx", precious);
  Outcome r = Cmd({"rewrite", bad.string(), out.string()});
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find(bad.string()), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll(out), precious);

  // A target that cannot be replaced (a directory) stays as it was.
  const auto good = Put("good.pcx", s.file);
  const auto target_dir = Path("a-directory");
  fs::create_directory(target_dir);
  WriteAll(target_dir / "inside", precious);
  r = Cmd({"rewrite", good.string(), target_dir.string()});
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(Lines(r.err), 1) << r.err;
  EXPECT_NE(r.err.find(target_dir.string()), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(target_dir));
  EXPECT_EQ(ReadAll(target_dir / "inside"), precious);

  // A target in a missing folder: nothing is created.
  const auto nowhere = Path("missing") / "out.pcx";
  r = Cmd({"rewrite", good.string(), nowhere.string()});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find(nowhere.string()), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("missing")));

  // No temporary files are left behind.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"a-directory", "good.pcx", "out.pcx", "truncated.pcx"}));
}

TEST_F(Cli, UsageErrorsGiveOneLineAndExitCode2) {
  const auto file = Put("p.pcx", MakeSample().file);
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"info"},
      {"info", file.string(), file.string()},
      {"indices"},
      {"palette", file.string(), "extra"},
      {"rewrite", file.string()},
      {"rewrite", file.string(), file.string(), file.string()},
      {"convert", file.string()},
      {"INFO", file.string()},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const auto& a : args) shown += "[" + a + "]";
    SCOPED_TRACE(shown);
    const Outcome r = Cmd(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

TEST_F(Cli, BadFilesGiveOneLineNamingFileAndCause) {
  Sample s = MakeSample();
  Bytes four_bit = s.file;
  four_bit[3] = 4;
  Bytes huge = s.file;
  huge[8] = huge[9] = huge[10] = 0x70;  // Xmax = Ymax = 28784 on a 900-byte file
  huge[11] = 0x70;
  const struct {
    std::string name;
    Bytes bytes;
    std::string cause;
  } cases[] = {
      {"empty.pcx", {}, "128-byte header"},
      {"short.pcx", Bytes(s.file.begin(), s.file.begin() + 300), "768-byte palette"},
      {"four-bit.pcx", four_bit, "bits per pixel"},
      {"huge.pcx", huge, "too large"},
      {"line\nbreak.pcx", four_bit, "bits per pixel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = Put(c.name, c.bytes);
    for (const char* command : {"info", "indices", "palette"}) {
      const Outcome r = Cmd({command, path.string()});
      EXPECT_EQ(r.code, 1);
      EXPECT_TRUE(r.out.empty());
      EXPECT_EQ(Lines(r.err), 1) << r.err;
      EXPECT_NE(r.err.find(c.cause), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(Path("").string()), std::string::npos) << r.err;  // names the file
    }
  }
  const Outcome missing = Cmd({"info", Path("no-such.pcx").string()});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(Lines(missing.err), 1);
  EXPECT_NE(missing.err.find("no-such.pcx"), std::string::npos) << missing.err;
}

// The sample pictures load with our codec, and a rewrite keeps their pixels and palette.
TEST_F(Cli, ExamplesLoadAndSurviveRewrite) {
  const std::map<std::string, std::pair<int, int>> sizes = {
      {"landscape.pcx", {320, 200}}, {"sprites.pcx", {128, 64}}, {"lava_cave.pcx", {199, 123}}};
  for (const auto& [name, size] : sizes) {
    SCOPED_TRACE(name);
    const fs::path file = fs::path(HW_SOURCE_DIR) / "examples" / name;
    const Outcome info = Cmd({"info", file.string()});
    ASSERT_EQ(info.code, 0) << info.err;
    auto f = Fields(Text(info.out));
    EXPECT_EQ(f["width"], std::to_string(size.first));
    EXPECT_EQ(f["height"], std::to_string(size.second));
    EXPECT_EQ(f["bits_per_pixel"], "8");
    EXPECT_EQ(f["planes"], "1");
    const Outcome indices = Cmd({"indices", file.string()});
    EXPECT_EQ(indices.out.size(), static_cast<size_t>(size.first * size.second));
    EXPECT_EQ(Sha256(indices.out), f["pixels_sha256"]);

    const auto copy = Path(name);
    ASSERT_EQ(Cmd({"rewrite", file.string(), copy.string()}).code, 0);
    auto g = Fields(Text(Cmd({"info", copy.string()}).out));
    EXPECT_EQ(g["pixels_sha256"], f["pixels_sha256"]);
    EXPECT_EQ(g["palette_sha256"], f["palette_sha256"]);
    EXPECT_EQ(g["bytes_per_line"], f["bytes_per_line"]);
  }
}

}  // namespace
