// What the GIF writers share around giflib: owners that close an encoder and free
// a colour map, an output callback appending to a byte vector (the encoder's
// UserData), and giflib's error codes in words. For gif.cpp and gif_animation.cpp
// only.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace hw::gif_encoder {

struct EncoderClose {
  void operator()(GifFileType* gif) const {
    int error = 0;
    EGifCloseFile(gif, &error);
  }
};

struct MapFree {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

inline int WriteOutput(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

// Encodes the frame's width x height pixels (row-major, at least that many) row by
// row; false when giflib fails. The encoder masks the row it is given in place, so
// each goes through a copy.
inline bool PutRows(GifFileType* gif, std::span<const uint8_t> pixels, int width, int height) {
  std::vector<GifPixelType> row(static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    std::memcpy(row.data(), pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                static_cast<size_t>(width));
    if (EGifPutLine(gif, row.data(), width) == GIF_ERROR) return false;
  }
  return true;
}

// "what: giflib's words for code".
inline std::string GifError(const std::string& what, int code) {
  const char* text = GifErrorString(code);
  return what + ": " + (text ? text : "unknown error");
}

}  // namespace hw::gif_encoder
