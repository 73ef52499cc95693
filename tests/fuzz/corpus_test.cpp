// Replays every file of the fuzzing seed corpus (fuzz/corpus/) through the PCX
// readers in the ordinary test run, so the sanitizer builds cover them too. The
// file name prefix says what must happen: valid-* decodes, refused-* is refused
// with a message, edge-* may go either way; none may crash or break a property.
#include <gtest/gtest.h>

#include "../../fuzz/pcx_checks.h"
#include "../common/test_util.h"

namespace {

namespace fs = std::filesystem;

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
    const auto bytes = hw::test::ReadBytes(path);
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

}  // namespace
