#include "formats/pictures/picture_format.h"

#include <string>

namespace hw {

Status CheckPictureToWrite(std::string_view kind, int width, int height,
                           std::span<const uint8_t> pixels, int max_side, uint64_t max_pixels) {
  if (width < 1 || height < 1 || width > max_side || height > max_side ||
      uint64_t(width) * uint64_t(height) > max_pixels) {
    return Error{"cannot write " + std::string(kind) + " picture of " + std::to_string(width) +
                 " x " + std::to_string(height) + " pixels"};
  }
  const size_t count = size_t(width) * size_t(height);
  if (pixels.size() != count) {
    return Error{"pixel buffer holds " + std::to_string(pixels.size()) +
                 " bytes, the picture needs " + std::to_string(count)};
  }
  return Ok{};
}

}  // namespace hw
