// What a picture file carried besides its first frame's pixels, its palette and its
// cycle ranges: how many frames it holds, and the chunks or extensions of its
// format that a save in that format writes back (see png.h, ilbm.h and gif.h).
// A save in another format keeps none of them: save_losses.h names them.
#pragma once

#include <cstdint>

#include "formats/pictures/gif.h"
#include "formats/pictures/ilbm.h"
#include "formats/pictures/picture_format.h"
#include "formats/pictures/png.h"

namespace hw {

struct PictureExtras {
  PictureFormat format = PictureFormat::Pcx;  // of the file they came from
  // A GIF's images, an APNG's frames (its acTL count); 1 for every still picture.
  // Only the first is loaded.
  uint64_t frames = 1;
  PngChunks png;
  IlbmChunks ilbm;
  GifExtensions gif;
  friend bool operator==(const PictureExtras&, const PictureExtras&) = default;
};

}  // namespace hw
