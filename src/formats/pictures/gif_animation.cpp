#include "formats/pictures/gif_animation.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/faults.h"
#include "formats/pictures/bytes.h"
#include "formats/pictures/gif.h"
#include "formats/pictures/gif_encoder.h"
#include "formats/pictures/palette_extent.h"
#include "formats/pictures/picture_format.h"

namespace hw {

using namespace bytes;

using namespace gif_encoder;

namespace {

// Header and logical screen descriptor; descriptor and local table of one frame.
constexpr size_t kHeadBytes = 6 + 7;
constexpr size_t kImageDescBytes = 10;

// The image data of the pixels as one frame with a table of 2^bits entries (the
// LZW minimum code size, the sub-blocks and their terminator), made by giflib:
// it writes a file of that one frame into memory and the data is cut out of it.
Result<std::vector<uint8_t>> ImageData(int width, int height, std::span<const uint8_t> pixels,
                                       int bits) {
  std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(1 << bits, nullptr));
  if (!map) throw std::bad_alloc();
  std::vector<uint8_t> out;
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  out.reserve(pixels.size() / 2 + 1024);
  int error = 0;
  std::unique_ptr<GifFileType, EncoderClose> gif(EGifOpen(&out, WriteOutput, &error));
  if (!gif) return Error{GifError("cannot start the GIF encoder", error)};
  const auto failed = [&gif](const char* what) { return Error{GifError(what, gif->Error)}; };
  if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, nullptr) == GIF_ERROR) {
    return failed("cannot write the GIF screen");
  }
  if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, map.get()) == GIF_ERROR) {
    return failed("cannot write the GIF frame");
  }
  if (!PutRows(gif.get(), pixels, width, height)) return failed("cannot encode the GIF picture");
  if (EGifCloseFile(gif.release(), &error) == GIF_ERROR) {
    return Error{GifError("cannot finish the GIF file", error)};
  }
  // Header, screen without a global table, image descriptor with the local table,
  // the data, the trailer: anything else is not what was asked for.
  const size_t start = kHeadBytes + kImageDescBytes + 3 * (size_t{1} << bits);
  if (out.size() < start + 2 || out[kHeadBytes] != 0x2C || out.back() != 0x3B ||
      (out[kHeadBytes + 9] & 0x87) != (0x80 | (bits - 1))) {
    return Error{"the GIF encoder wrote an unexpected layout"};
  }
  out.pop_back();
  out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(start));
  return out;
}

}  // namespace

Result<bytes::Writer> EncodeGifColourAnimation(int width, int height,
                                               std::span<const uint8_t> pixels,
                                               const BoardEntries& entries,
                                               std::span<const GifColourFrame> frames) {
  if (Status fits = CheckPictureToWrite("a GIF", width, height, pixels, kMaxGifSide); !fits)
    return fits.error();
  if (frames.empty()) return Error{"an animation needs at least one frame"};
  for (const GifColourFrame& f : frames) {
    if (f.hundredths < 1 || f.hundredths > 0xFFFF) {
      return Error{"a GIF frame cannot last " + std::to_string(f.hundredths) + " hundredths"};
    }
  }
  const int length = UsedPaletteLength(pixels, entries);
  int bits = 1;
  while ((1 << bits) < length) ++bits;
  const size_t table = size_t{1} << bits;
  const auto clear =
      std::find_if(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });
  const int transparent = clear == entries.end() ? -1 : static_cast<int>(clear - entries.begin());

  Result<std::vector<uint8_t>> compressed = ImageData(width, height, pixels, bits);
  if (!compressed) return compressed.error();
  auto data = std::make_shared<const std::vector<uint8_t>>(std::move(*compressed));
  // Graphic control extension, image descriptor and table before each copy.
  const uint64_t frame_bytes = 8 + kImageDescBytes + 3 * table + data->size();
  const uint64_t total = kHeadBytes + 19 + frames.size() * frame_bytes + 1;
  if (total > kMaxGifAnimationBytes) {
    return Error{"the animation would take " + std::to_string(total >> 20) + " MiB (at most " +
                 std::to_string(kMaxGifAnimationBytes >> 20) + " MiB)"};
  }

  std::vector<uint8_t> head = {'G', 'I', 'F', '8', '9', 'a'};
  PutLe16(head, width);
  PutLe16(head, height);
  head.insert(head.end(), {0x70, 0, 0});  // no global table, 8 bits of colour resolution
  // Loop forever: the application extension with a loop count of 0.
  head.insert(head.end(), {0x21, 0xFF, 0x0B});
  head.insert(head.end(), {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'});
  head.insert(head.end(), {0x03, 0x01, 0x00, 0x00, 0x00});

  return bytes::Writer([=, head = std::move(head)](const bytes::Put& put) -> Status {
    if (Status s = put(head); !s) return s;
    std::vector<uint8_t> before;
    before.reserve(static_cast<size_t>(frame_bytes - data->size()));
    for (const GifColourFrame& f : frames) {
      before.clear();
      // Disposal 1 (do not dispose): every frame covers the whole screen.
      before.insert(before.end(), {0x21, 0xF9, 0x04});
      before.push_back(static_cast<uint8_t>(0x04 | (transparent >= 0 ? 1 : 0)));
      PutLe16(before, f.hundredths);
      before.push_back(static_cast<uint8_t>(std::max(transparent, 0)));
      before.push_back(0);
      before.push_back(0x2C);
      PutLe16(before, 0);
      PutLe16(before, 0);
      PutLe16(before, width);
      PutLe16(before, height);
      before.push_back(static_cast<uint8_t>(0x80 | (bits - 1)));
      for (size_t p = 0; p < table; ++p) {
        const RGBTriple& c = f.colours[p];
        before.insert(before.end(), {c.R, c.G, c.B});
      }
      if (Status s = put(before); !s) return s;
      if (Status s = put(*data); !s) return s;
    }
    const uint8_t trailer = 0x3B;
    return put(std::span<const uint8_t>(&trailer, 1));
  });
}

}  // namespace hw
