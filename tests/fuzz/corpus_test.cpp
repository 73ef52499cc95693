// Replays every file of the fuzzing seed corpora through the readers in the
// ordinary test run, so the sanitizer builds cover them too: fuzz/corpus/ through
// the PCX readers, fuzz/corpus_png/ through the PNG reader, fuzz/corpus_palette/
// through the palette file readers, fuzz/corpus_pcx_rows/ through the slice decoder
// against the whole-picture one. The file name prefix says what must happen:
// valid-* decodes, refused-* is refused with a message, edge-* may go either way;
// none may crash or break a property.
#include <gtest/gtest.h>

#include "../../fuzz/palette_checks.h"
#include "../../fuzz/pcx_checks.h"
#include "../../fuzz/pcx_rows_checks.h"
#include "../../fuzz/png_checks.h"
#include "../common/test_util.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusFiles(const char* folder = "corpus") {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(HW_SOURCE_DIR) / "fuzz" / folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Replays one corpus folder through `check`, which returns the reader's outcome.
template <typename Check>
void ReplayCorpus(const char* folder, size_t at_least, Check check) {
  // The floor guards against an empty or misplaced corpus silently passing.
  const auto files = CorpusFiles(folder);
  ASSERT_GE(files.size(), at_least);
  int valid = 0, refused = 0;
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const auto result = check(hw::test::ReadBytes(path), name);
    EXPECT_EQ(result.violation, "");
    EXPECT_TRUE(result.decoded || !result.refusal.empty()) << "a refusal without a message";
    if (StartsWith(name, "valid-")) {
      ++valid;
      EXPECT_TRUE(result.decoded) << result.refusal;
    } else if (StartsWith(name, "refused-")) {
      ++refused;
      EXPECT_FALSE(result.decoded);
    } else {
      EXPECT_TRUE(StartsWith(name, "edge-")) << "corpus names start with valid-, refused- or edge-";
    }
  }
  EXPECT_GT(valid, 0);
  EXPECT_GT(refused, 0);
}

TEST(FuzzCorpus, EveryFileKeepsTheReadersProperties) {
  ReplayCorpus("corpus", 40, [](const hw::test::Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckPcxInput(bytes);
  });
}

TEST(FuzzCorpus, EveryPngKeepsTheReadersProperties) {
  ReplayCorpus("corpus_png", 20, [](const hw::test::Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckPngInput(bytes);
  });
}

TEST(FuzzCorpus, EveryPcxSliceSeedDecodesAsTheWholeFile) {
  ReplayCorpus("corpus_pcx_rows", 5, [](const hw::test::Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckPcxRowsInput(bytes);
  });
}

// Palette seeds are read under their own names: the extension matters.
TEST(FuzzCorpus, EveryPaletteFileKeepsTheReadersProperties) {
  ReplayCorpus("corpus_palette", 20, [](const hw::test::Bytes& bytes, const std::string& name) {
    return hw::fuzzing::CheckPaletteInput(bytes, name);
  });
}

}  // namespace
