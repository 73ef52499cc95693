// Replays every file of the fuzzing seed corpora through the readers' property
// checks in the ordinary test run, so the sanitizer builds cover them too (palette
// files under their own names: the extension matters).
#include <gtest/gtest.h>

#include "../../fuzz/console_checks.h"
#include "../../fuzz/gif_bmp_checks.h"
#include "../../fuzz/ilbm_checks.h"
#include "../../fuzz/palette_checks.h"
#include "../../fuzz/pcx_checks.h"
#include "../../fuzz/pcx_rows_checks.h"
#include "../../fuzz/png_checks.h"
#include "../common/test_util.h"

namespace {

namespace fs = std::filesystem;
using hw::test::Bytes;

// Replays one corpus folder through `check`, which returns the reader's outcome.
template <typename Check>
void ReplayCorpus(const char* folder, size_t at_least, Check check) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(HW_SOURCE_DIR) / "fuzz" / folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  ASSERT_GE(files.size(), at_least) << "an empty or misplaced corpus must not pass";
  int valid = 0, refused = 0;
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    const auto result = check(hw::test::ReadBytes(path), name);
    valid += name.starts_with("valid-"), refused += name.starts_with("refused-");
    EXPECT_EQ(std::tuple(result.violation, result.decoded || !result.refusal.empty()),
              std::tuple("", true))
        << name << " refused: " << result.refusal;
    EXPECT_TRUE(name.starts_with("valid-")     ? result.decoded
                : name.starts_with("refused-") ? !result.decoded
                                               : name.starts_with("edge-"))
        << name << ": valid-* decodes, refused-* is refused, other names start edge-";
  }
  EXPECT_TRUE(valid > 0 && refused > 0) << folder;
}

TEST(FuzzCorpus, EveryFileKeepsTheReadersProperties) {
  ReplayCorpus("corpus", 40, [](const Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckPcxInput(bytes);
  });
  ReplayCorpus("corpus_png", 20, [](const Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckPngInput(bytes);
  });
  ReplayCorpus("corpus_pcx_rows", 5, [](const Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckPcxRowsInput(bytes);
  });
  ReplayCorpus("corpus_gif", 8, [](const Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckGifInput(bytes);
  });
  ReplayCorpus("corpus_bmp", 8, [](const Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckBmpInput(bytes);
  });
  ReplayCorpus("corpus_ilbm", 8, [](const Bytes& bytes, const std::string&) {
    return hw::fuzzing::CheckIlbmInput(bytes);
  });
  ReplayCorpus("corpus_palette", 20, [](const Bytes& bytes, const std::string& name) {
    return hw::fuzzing::CheckPaletteInput(bytes, name);
  });
  ReplayCorpus("corpus_console", 10, [](const Bytes& bytes, const std::string& name) {
    const auto format = hw::fuzzing::ConsoleFormatOfName(name);
    EXPECT_TRUE(format) << name << " names no console format after its first '-'";
    return hw::fuzzing::CheckConsoleInput(bytes, format.value_or(hw::PaletteFormat::Md9), name);
  });
}

}  // namespace
