#include "formats/animation_save.h"

#include "formats/files/file_io.h"

namespace hw {

Status SaveGifColourAnimation(const std::string& path, int width, int height,
                              std::span<const uint8_t> pixels, const BoardEntries& entries,
                              std::span<const GifColourFrame> frames) {
  const Result<bytes::Writer> writer =
      EncodeGifColourAnimation(width, height, pixels, entries, frames);
  if (!writer) return writer.error();
  const Result<SaveMethod> saved = SaveFileStreamed(path, *writer);
  if (!saved) return saved.error();
  return Ok{};
}

}  // namespace hw
