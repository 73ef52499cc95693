// The largest picture any reader decodes, counted in pixels (width x height; a
// GIF's logical screen counts, as its frames are drawn onto it). Every picture
// reader checks it as soon as the size is known, before it allocates anything of
// the picture's size. One limit serves the whole process: the program sets it
// once from its options at start-up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace hw {

inline constexpr uint64_t kDefaultPixelLimit = uint64_t{16384} * 16384;
inline constexpr uint64_t kLargestPixelLimit = 4294967295u;

uint64_t PixelLimit();
void SetPixelLimit(uint64_t limit);

// Ok, or "the picture is W x H (P pixels), more than the limit of L pixels; ..."
// for the caller to put behind "cannot load 'NAME': ".
Status CheckPixelLimit(int64_t width, int64_t height);

// A limit as written on the command line or in the environment: decimal digits
// only, 1 .. kLargestPixelLimit; nullopt for anything else.
std::optional<uint64_t> ParsePixelLimit(std::string_view text);

// The limit a run uses: the option's value when given (`option`, the text after
// --max-pixels), else the environment variable HUEWRIGHT_MAX_PIXELS (`environment`,
// null when unset), else the default. A bad option is a usage error (`usage_error`
// says why; nothing is set); a bad variable is ignored with one `warning` line.
struct PixelLimitChoice {
  uint64_t limit = kDefaultPixelLimit;
  std::string usage_error;
  std::string warning;
};
PixelLimitChoice ChoosePixelLimit(const std::optional<std::string>& option,
                                  const char* environment);

}  // namespace hw
