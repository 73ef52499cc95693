// The kinds of picture file Huewright writes.
#pragma once

namespace hw {

enum class PictureFormat { Pcx, Png, Gif, Bmp, Ilbm };

}  // namespace hw
