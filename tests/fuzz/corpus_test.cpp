// Replays every file of the fuzzing seed corpus (fuzz/corpus/) through the PCX
// readers in the ordinary test run, so the sanitizer builds cover them too. The
// file name prefix says what must happen: valid-* decodes, refused-* is refused
// with a message, edge-* may go either way; none may crash or break a property.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/pcx_checks.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(HW_SOURCE_DIR) / "fuzz" / "corpus")) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

TEST(FuzzCorpus, EveryFileKeepsTheReadersProperties) {
  const auto files = CorpusFiles();
  // Guards against an empty or misplaced corpus silently passing.
  ASSERT_GE(files.size(), 40u);
  int valid = 0, refused = 0;
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const auto bytes = ReadAll(path);
    const auto check = hw::fuzzing::CheckPcxInput(bytes);
    EXPECT_EQ(check.violation, "");
    if (!check.decoded) {
      EXPECT_FALSE(check.refusal.empty());
    }
    if (StartsWith(name, "valid-")) {
      ++valid;
      EXPECT_TRUE(check.decoded) << check.refusal;
    } else if (StartsWith(name, "refused-")) {
      ++refused;
      EXPECT_FALSE(check.decoded);
    } else {
      EXPECT_TRUE(StartsWith(name, "edge-")) << "corpus names start with valid-, refused- or edge-";
    }
  }
  EXPECT_GT(valid, 0);
  EXPECT_GT(refused, 0);
}

// A few corpus files pin down what the decoded pixels are, not only that they decode.
TEST(FuzzCorpus, KnownFilesDecodeToTheirPixels) {
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"valid-4x2-runs.pcx", {1, 1, 1, 200, 200, 200, 5, 6}},
      {"valid-runs-across-rows.pcx", {9, 9, 9, 9, 9, 9, 10, 10, 10, 10, 10, 10}},
      // Width 3 in rows of 4 bytes: the run fills the filler byte too, which is dropped.
      {"valid-run-crosses-padding.pcx", {7, 7, 7, 7, 7, 7}},
      {"valid-window-offset.pcx", {1, 2, 3, 4, 5, 6}},
      {"valid-bpl-larger-than-width.pcx", {0, 1, 2, 3, 4, 1, 2, 3, 4, 5}},
      {"edge-bpl-smaller-than-width.pcx", {0, 1, 2, 3, 4, 1, 2, 3, 4, 5}},
      // 5 pixels a row stored in rows of 6 bytes whose filler (0xEE) must not leak in.
      {"valid-5x3-odd-width-padded.pcx", {0, 3, 6, 9, 12, 5, 8, 11, 14, 17, 10, 13, 16, 19, 22}},
  };
  for (const auto& [name, pixels] : cases) {
    SCOPED_TRACE(name);
    auto picture = hw::DecodePcx(ReadAll(fs::path(HW_SOURCE_DIR) / "fuzz" / "corpus" / name));
    ASSERT_TRUE(picture.ok()) << picture.error().message;
    EXPECT_EQ(picture->pixels, pixels);
  }
}

}  // namespace
