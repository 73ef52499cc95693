#include "editor/cycle_export.h"

#include <vector>

#include "cycle/period_frames.h"
#include "formats/animation_save.h"

namespace hw {

Result<int> SaveCycleAnimation(const std::string& path, int32_t width, int32_t height,
                               std::span<const uint8_t> pixels, const BoardEntries& entries,
                               const CycleRanges& cycles) {
  const CyclePeriod period = CyclePeriodFrames(cycles);
  if (!period.refusal.empty()) return Error{period.refusal};
  std::vector<GifColourFrame> frames(period.frames.size());
  for (size_t k = 0; k < frames.size(); ++k) {
    const CycleFrame& from = period.frames[k];
    for (size_t p = 0; p < 256; ++p) frames[k].colours[p] = entries[from.sources[p]].rgb;
    frames[k].hundredths = from.hundredths;
  }
  const Status saved = SaveGifColourAnimation(path, width, height, pixels, entries, frames);
  if (!saved) return saved.error();
  return static_cast<int>(frames.size());
}

Result<int> SaveFixedCycleAnimation(const std::string& path, int32_t width, int32_t height,
                                    std::span<const uint8_t> pixels, const BoardEntries& entries,
                                    const CycleRanges& cycles, const FixedLength& length) {
  const CyclePeriod fixed = CycleFixedFrames(cycles, length);
  if (!fixed.refusal.empty()) return Error{fixed.refusal};
  std::vector<GifColourFrame> frames(fixed.frames.size());
  for (size_t k = 0; k < frames.size(); ++k) {
    const CycleFrame& from = fixed.frames[k];
    for (size_t p = 0; p < 256; ++p) frames[k].colours[p] = entries[from.sources[p]].rgb;
    frames[k].hundredths = from.hundredths;
  }
  const Status saved = SaveGifColourAnimation(path, width, height, pixels, entries, frames);
  if (!saved) return saved.error();
  return static_cast<int>(frames.size());
}

}  // namespace hw
