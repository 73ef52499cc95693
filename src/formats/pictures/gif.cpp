#include "formats/pictures/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/pictures/bytes.h"
#include "formats/pictures/gif_encoder.h"
#include "formats/pictures/gif_lzw.h"
#include "formats/pictures/palette_extent.h"
#include "formats/pictures/picture_format.h"
#include "formats/pictures/pixel_limit.h"

namespace hw {

using namespace gif_encoder;
using bytes::Le16;

namespace {

// Bytes handed to giflib from memory; reading past the end fails the read, so a
// file cut short shows as a decoding error, never as bytes from elsewhere.
struct Input {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

int ReadInput(GifFileType* gif, GifByteType* into, int n) {
  auto* in = static_cast<Input*>(gif->UserData);
  if (n <= 0) return 0;
  const size_t k = std::min(static_cast<size_t>(n), in->bytes.size() - in->at);
  std::memcpy(into, in->bytes.data() + in->at, k);
  in->at += k;
  return static_cast<int>(k);
}

struct DecoderClose {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// A frame's LZW codes are at least 3 bits and each gives at most 4096 pixels; a
// screen needs pixels beyond that only for its background, allowed up to this many.
constexpr uint64_t kFreeScreenPixels = uint64_t{1} << 24;
constexpr uint64_t kPixelsPerByte = 8 * 4096 / 3;

// Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every
// 4th from 2, every 2nd from 1.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

// The extensions a picture keeps at most, all told.
constexpr size_t kKeptExtensionLimit = size_t{64} << 20;

// Past one data sub-block chain starting at `at` (the size bytes and their data, up
// to the empty block); 0 when it runs past the end of the file.
size_t SkipSubBlocks(std::span<const uint8_t> bytes, size_t at) {
  while (at < bytes.size()) {
    const size_t n = bytes[at];
    if (n == 0) return at + 1;
    at += 1 + n;
  }
  return 0;
}

// Counts the images of the file and takes its extensions, block by block from the
// screen's colour table on. Damage ends the walk where it begins (the first image
// is decoded on its own, and refused there when it is damaged).
void ScanBlocks(std::span<const uint8_t> bytes, DecodedPicture& pic) {
  if (bytes.size() < 13) return;
  size_t at = 13;
  if (bytes[10] & 0x80) at += size_t{3} << ((bytes[10] & 7) + 1);
  uint32_t images = 0;
  GifExtensions& ext = pic.extras.gif;
  // The graphic control extension before an image gives that image's delay and
  // disposal.
  FrameTiming next;
  while (at < bytes.size()) {
    const uint8_t kind = bytes[at];
    if (kind == 0x2C) {
      if (bytes.size() - at < 11) break;
      const uint8_t flags = bytes[at + 9];
      size_t data = at + 10;
      if (flags & 0x80) data += size_t{3} << ((flags & 7) + 1);
      if (data >= bytes.size()) break;
      if (images < UINT32_MAX) ++images;
      next.x = Le16(bytes, at + 1);
      next.y = Le16(bytes, at + 3);
      next.width = Le16(bytes, at + 5);
      next.height = Le16(bytes, at + 7);
      pic.extras.frame_list.push_back(next);
      next = FrameTiming{};
      const size_t end = SkipSubBlocks(bytes, data + 1);
      if (end == 0) break;
      at = end;
    } else if (kind == 0x21) {
      if (bytes.size() - at < 2) break;
      const uint8_t label = bytes[at + 1];
      const size_t end = SkipSubBlocks(bytes, at + 2);
      if (end == 0) break;
      const std::span<const uint8_t> block = bytes.subspan(at, end - at);
      // An application extension names itself in its first sub-block: 8 bytes of
      // identifier and 3 of authentication code.
      std::string application;
      if (label == 0xFF && block.size() >= 14 && block[2] == 11) {
        application.assign(reinterpret_cast<const char*>(block.data() + 3), 11);
        for (char& c : application) {
          if (c < 0x20 || c > 0x7e) c = '?';
        }
      }
      const bool loop = application == "NETSCAPE2.0";
      // The loop's sub-block: 1, then the count of repeats after the first play (0
      // for ever).
      if (loop && block.size() >= 19 && block[14] >= 3 && block[15] == 1) {
        const uint32_t repeats = Le16(block, 16);
        pic.extras.plays = repeats == 0 ? 0 : repeats + 1;
      }
      if (label == 0xF9 && block.size() >= 8 && block[2] >= 4) {
        const uint8_t disposal = (block[3] >> 2) & 7;
        next.dispose =
            disposal <= 3 ? static_cast<FrameDisposal>(disposal) : FrameDisposal::Unspecified;
        next.delay_ms = 10u * Le16(block, 4);
      }
      if (label == 0xFE || (label == 0xFF && !loop)) {
        if (ext.kept.size() + block.size() > kKeptExtensionLimit) {
          ++ext.too_large;
        } else {
          ext.kept.insert(ext.kept.end(), block.begin(), block.end());
          if (label == 0xFE) {
            ++ext.comments;
          } else {
            ext.applications.push_back(application.empty() ? "?" : application);
          }
        }
      } else if (label == 0x01) {
        ++ext.plain_texts;
      } else if (label != 0xF9 && !loop) {
        ++ext.unknown;
      }
      at = end;
    } else {
      break;  // the trailer, or damage
    }
  }
  pic.extras.frames = std::max<uint32_t>(images, 1);
  if (images < 2) pic.extras.frame_list.clear();
}

}  // namespace

bool HasGifSignature(std::span<const uint8_t> bytes) {
  return bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 ||
                               std::memcmp(bytes.data(), "GIF89a", 6) == 0);
}

Result<DecodedPicture> DecodeGif(std::span<const uint8_t> bytes) {
  if (!HasGifSignature(bytes)) return Error{"not a GIF file (no GIF87a or GIF89a signature)"};
  Input input{bytes};
  int error = 0;
  std::unique_ptr<GifFileType, DecoderClose> gif(DGifOpen(&input, ReadInput, &error));
  if (!gif) return Error{GifError("bad GIF header", error)};
  const int width = gif->SWidth, height = gif->SHeight;
  if (width < 1 || height < 1) {
    return Error{"the GIF's screen has no pixels (" + std::to_string(width) + " x " +
                 std::to_string(height) + ")"};
  }
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (width > kMaxGifSide || height > kMaxGifSide || count > kMaxGifPixels) {
    return Error{"a GIF picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large (at most " + std::to_string(kMaxGifSide) + " x " +
                 std::to_string(kMaxGifSide) + ")"};
  }
  if (count > kFreeScreenPixels && count / kPixelsPerByte > bytes.size()) {
    return Error{"the GIF's screen of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large for the file's image data"};
  }
  // Only a screen the file can fill is worth the advice to allow more.
  if (Status within = CheckPixelLimit(width, height); !within) return within.error();

  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
      return Error{GifError("damaged GIF file", gif->Error)};
    }
    if (type == TERMINATE_RECORD_TYPE) return Error{"the GIF file has no picture in it"};
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
        return Error{GifError("damaged GIF extension", gif->Error)};
      }
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock gcb{};
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
          transparent = gcb.TransparentColor;  // NO_TRANSPARENT_COLOR is -1
        }
      }
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
          return Error{GifError("damaged GIF extension", gif->Error)};
        }
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
      return Error{GifError("damaged GIF frame", gif->Error)};
    }
    break;
  }

  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* table = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (table == nullptr || table->ColorCount < 1 || table->ColorCount > 256) {
    return Error{"the GIF file has no colour table"};
  }
  if (frame.Width < 1 || frame.Height < 1) return Error{"the GIF's first frame has no pixels"};
  const uint64_t frame_count = static_cast<uint64_t>(frame.Width) * frame.Height;
  if (frame_count > kMaxGifPixels || frame_count / kPixelsPerByte > bytes.size()) {
    return Error{"the GIF's first frame of " + std::to_string(frame.Width) + " x " +
                 std::to_string(frame.Height) + " pixels is too large for the file's image data"};
  }
  if (Status within = CheckPixelLimit(frame.Width, frame.Height); !within) return within.error();

  DecodedPicture pic;
  pic.format = pic.extras.format = PictureFormat::Gif;
  pic.width = width;
  pic.height = height;
  pic.palette_count = table->ColorCount;
  pic.bit_depth = 1;  // the bits of the colour table's size
  while ((1 << pic.bit_depth) < table->ColorCount) ++pic.bit_depth;
  for (int k = 0; k < table->ColorCount; ++k) {
    const GifColorType& c = table->Colors[k];
    pic.entries[static_cast<size_t>(k)].rgb = {c.Red, c.Green, c.Blue};
  }
  if (transparent >= 0 && transparent < 256) pic.entries[static_cast<size_t>(transparent)].A = 0;
  const uint8_t background =
      gif->SColorMap ? static_cast<uint8_t>(std::clamp(gif->SBackGroundColor, 0, 255)) : 0;
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  pic.pixels.reserve(static_cast<size_t>(count));
  AdviseHugePages(pic.pixels.data(), pic.pixels.capacity());
  pic.pixels.assign(static_cast<size_t>(count), background);

  // The frame's image data is decoded here, from the file's bytes, rather than a
  // line at a time through giflib. giflib reads exactly what it is asked for, and
  // the last byte it read for the frame is the LZW code size; the sub-blocks follow.
  if (input.at == 0 || input.at > bytes.size()) {
    return Error{"damaged GIF image data: no LZW code size"};
  }
  const int code_size = bytes[input.at - 1];
  const std::span<const uint8_t> blocks = bytes.subspan(input.at);
  const int left = frame.Left, top = frame.Top;
  if (!frame.Interlace && left == 0 && top == 0 && frame.Width == width && frame.Height == height) {
    // A frame covering the screen decodes straight into the picture.
    if (auto decoded = DecodeGifLzw(blocks, code_size, pic.pixels); !decoded) {
      return decoded.error();
    }
    ScanBlocks(bytes, pic);
    return pic;
  }
  // Otherwise into a frame of its own, whose rows in the order the file holds them
  // are then copied where they meet the screen.
  if (frame_count / kPixelsPerByte > blocks.size()) {
    return Error{"damaged GIF image data: the data ends early"};
  }
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  std::vector<uint8_t> rows;
  rows.reserve(static_cast<size_t>(frame_count));
  AdviseHugePages(rows.data(), rows.capacity());
  rows.resize(static_cast<size_t>(frame_count));
  if (auto decoded = DecodeGifLzw(blocks, code_size, rows); !decoded) return decoded.error();
  const int x0 = std::clamp(left, 0, width), x1 = std::clamp(left + frame.Width, 0, width);
  const uint8_t* row = rows.data();
  const int passes = frame.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = frame.Interlace ? kPassStart[pass] : 0;
    const int step = frame.Interlace ? kPassStep[pass] : 1;
    for (int y = start; y < frame.Height; y += step, row += frame.Width) {
      const int at = top + y;
      if (at < 0 || at >= height || x0 >= x1) continue;
      std::memcpy(pic.pixels.data() + static_cast<size_t>(at) * width + x0, row + (x0 - left),
                  static_cast<size_t>(x1 - x0));
    }
  }
  ScanBlocks(bytes, pic);
  return pic;
}

Result<std::vector<uint8_t>> EncodeGif(int width, int height, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries, const GifExtensions* keep) {
  if (Status fits = CheckPictureToWrite("a GIF", width, height, pixels, kMaxGifSide); !fits)
    return fits.error();
  const int length = UsedPaletteLength(pixels, entries);
  int bits = 1;
  while ((1 << bits) < length) ++bits;
  std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(1 << bits, nullptr));
  if (!map) throw std::bad_alloc();
  for (int k = 0; k < (1 << bits); ++k) {
    const RGBTriple& c = entries[static_cast<size_t>(k)].rgb;
    map->Colors[k] = {c.R, c.G, c.B};
  }
  const auto clear =
      std::find_if(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });

  std::vector<uint8_t> out;
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  out.reserve(pixels.size() / 2 + 1024);
  int error = 0;
  std::unique_ptr<GifFileType, EncoderClose> gif(EGifOpen(&out, WriteOutput, &error));
  if (!gif) return Error{GifError("cannot start the GIF encoder", error)};
  EGifSetGifVersion(gif.get(), true);
  const auto failed = [&gif](const char* what) { return Error{GifError(what, gif->Error)}; };
  if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, map.get()) == GIF_ERROR) {
    return failed("cannot write the GIF screen");
  }
  // giflib writes each record as it is put, so the kept blocks go straight after
  // the screen's colour table.
  if (keep != nullptr) out.insert(out.end(), keep->kept.begin(), keep->kept.end());
  if (clear != entries.end()) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.TransparentColor = static_cast<int>(clear - entries.begin());
    GifByteType block[4];
    EGifGCBToExtension(&gcb, block);
    if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_ERROR) {
      return failed("cannot write the GIF transparency");
    }
  }
  if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) == GIF_ERROR) {
    return failed("cannot write the GIF frame");
  }
  if (!PutRows(gif.get(), pixels, width, height)) return failed("cannot encode the GIF picture");
  GifFileType* done = gif.release();
  if (EGifCloseFile(done, &error) == GIF_ERROR) {
    return Error{GifError("cannot finish the GIF file", error)};
  }
  return out;
}

}  // namespace hw
