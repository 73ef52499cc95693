#include "cli/cycle_gif_fixed.h"

#include <optional>

#include "cli/cycle_gif_command.h"
#include "cli/output.h"
#include "cycle/fixed_frames.h"
#include "editor/cycle_export.h"

namespace hw::cli {

namespace {

// A whole number 1..100 in plain digits.
std::optional<int> ParseFps(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxFixedFps) return std::nullopt;
  return value;
}

}  // namespace

int CycleGifCommand(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::optional<std::string> seconds_text, fps_text;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--seconds" || a == "--fps") {
      if (i + 1 == args.size()) return UsageError("cycle-gif: " + a + " needs a value");
      (a == "--seconds" ? seconds_text : fps_text) = args[++i];
    } else if (a.size() > 2 && a.starts_with("--")) {
      return UsageError("cycle-gif: unknown option '" + a + "'");
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return UsageError("cycle-gif takes IN and OUT");
  if (files[1] == "-") return UsageError("cycle-gif writes files only");
  if (!seconds_text) {
    if (fps_text) return UsageError("cycle-gif: --fps needs --seconds");
    return CycleGif(files[0], files[1]);
  }
  FixedLength length;
  const auto seconds = ParseDecimalSeconds(*seconds_text);
  if (!seconds) return UsageError("cycle-gif: --seconds takes a decimal above 0");
  length.seconds = *seconds;
  if (fps_text) {
    const auto fps = ParseFps(*fps_text);
    if (!fps) {
      return UsageError("cycle-gif: --fps takes a whole number from 1 to " +
                        std::to_string(kMaxFixedFps));
    }
    length.fps = *fps;
  }
  const uint64_t n = FixedFrameCount(length);
  if (n < 1 || n > static_cast<uint64_t>(kMaxCycleFrames)) {
    return UsageError("cycle-gif: --seconds times --fps gives " + std::to_string(n) +
                      " frames (1 to " + std::to_string(kMaxCycleFrames) + ")");
  }
  return CycleGif(files[0], files[1], length);
}

}  // namespace hw::cli
