#include "formats/pictures/pixel_limit.h"

#include <atomic>
#include <string>

namespace hw {

namespace {
std::atomic<uint64_t> pixel_limit{kDefaultPixelLimit};
}  // namespace

uint64_t PixelLimit() { return pixel_limit.load(std::memory_order_relaxed); }

void SetPixelLimit(uint64_t limit) { pixel_limit.store(limit, std::memory_order_relaxed); }

Status CheckPixelLimit(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return Ok{};  // the reader's own "no pixels" refusal
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  const uint64_t limit = PixelLimit();
  if (count <= limit) return Ok{};
  return Error{"the picture is " + std::to_string(width) + " x " + std::to_string(height) + " (" +
               std::to_string(count) + " pixels), more than the limit of " + std::to_string(limit) +
               " pixels; allow it with --max-pixels or HUEWRIGHT_MAX_PIXELS"};
}

std::optional<uint64_t> ParsePixelLimit(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < 1 || value > kLargestPixelLimit) return std::nullopt;
  return value;
}

PixelLimitChoice ChoosePixelLimit(const std::optional<std::string>& option,
                                  const char* environment) {
  PixelLimitChoice choice;
  const std::string range = "a number of pixels from 1 to " + std::to_string(kLargestPixelLimit);
  if (option) {
    if (const auto value = ParsePixelLimit(*option)) {
      choice.limit = *value;
    } else {
      choice.usage_error = "--max-pixels takes " + range + ", not '" + *option + "'";
    }
  }
  if (environment != nullptr) {
    const auto value = ParsePixelLimit(environment);
    if (!value) {
      choice.warning = "warning: HUEWRIGHT_MAX_PIXELS='" + std::string(environment) + "' is not " +
                       range + "; it is ignored";
    } else if (!option) {
      choice.limit = *value;
    }
  }
  return choice;
}

}  // namespace hw
