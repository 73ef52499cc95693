// What a picture file carried that one format's writer writes back, and the picture
// as any decoder returns it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "colour/colour.h"
#include "colour/cycle_ranges.h"
#include "formats/pictures/picture_format.h"

namespace hw {

// The 128-byte file header. Fields other than Encoding, the window and ColorMap
// are carried through byte for byte.
struct PcxHeader {
  uint8_t Manufacturer = 0;
  uint8_t Version = 0;
  uint8_t Encoding = 0;
  uint8_t BitsPerPixel = 0;
  int16_t Xmin = 0;
  int16_t Ymin = 0;
  int16_t Xmax = 0;
  int16_t Ymax = 0;
  int16_t HDpi = 0;
  int16_t VDpi = 0;
  std::array<RGBTriple, 16> ColorMap{};
  uint8_t Reserved = 0;
  uint8_t NPlanes = 0;
  int16_t BytesPerLine = 0;
  int16_t PaletteInfo = 0;
  int16_t HScreenSize = 0;
  int16_t VScreenSize = 0;
  std::array<uint8_t, 54> Filler{};
  friend bool operator==(const PcxHeader&, const PcxHeader&) = default;
};

// What a GIF save writes back of the loaded file besides the first frame and its
// colour table: the comment extensions and the application extensions but the
// loop (NETSCAPE2.0), whole (introducer, label, sub-blocks, terminator) in file
// order, written before the image. Plain-text extensions, drawn on the picture,
// and extensions of unknown kinds are left out and counted.
struct GifExtensions {
  std::vector<uint8_t> kept;
  int comments = 0;                       // kept comment extensions
  std::vector<std::string> applications;  // identifiers of the kept application ones
  int plain_texts = 0;                    // left out
  int unknown = 0;                        // left out: of no known kind
  int too_large = 0;                      // left out: past what a picture keeps
  bool empty() const { return kept.empty() && plain_texts == 0 && unknown == 0 && too_large == 0; }
  friend bool operator==(const GifExtensions&, const GifExtensions&) = default;
};

// What an ILBM save writes back of the loaded file besides pixels, palette and
// ranges: its ANNO, AUTH, NAME, "(c) ", "DPI " and GRAB chunks, whole (id, length,
// data, pad byte) in file order, and its CAMG, written with the hold-and-modify and
// extra half-brite bits clear (the saved CMAP holds every entry). Every other chunk
// the reader does not take (TINY, DEST, SPRT, DRNG, DPPS, unknown ones) depends on
// the pixels or the palette's order and is left out, its id in `dropped`.
struct IlbmChunks {
  std::vector<uint8_t> kept;
  std::optional<uint32_t> camg;
  std::vector<std::string> dropped;  // ids in file order, once each
  bool empty() const { return kept.empty() && !camg && dropped.empty(); }
  friend bool operator==(const IlbmChunks&, const IlbmChunks&) = default;
};

// What a PNG save of a loaded picture writes back of its file besides the pixels,
// palette, transparency and ranges.
//
// The ancillary chunks the PNG rules mark safe to copy (text, resolution and every
// other whose fourth letter is lower case; never `crNg`, which is the editor's own)
// are kept whole as they were in the file (length, type, data, CRC), in three groups
// by where they stood: before PLTE, between PLTE and the image data, after it.
//
// Of the chunks not safe to copy, those a palette edit leaves true are kept too:
// the colour space (gAMA, cHRM and iCCP or sRGB, never both: iCCP wins) whole and
// written before PLTE; sBIT's bit counts, written only while every saved entry is
// exactly what they can hold (PngSignificantBitsHold); bKGD's index, which the
// saver moves where its entry went (the palette grows to hold it); hIST and tIME,
// written anew at each save (the usage of the saved pixels, the time of the save).
// Every other chunk not safe to copy is left out, its type in `dropped`.
struct PngChunks {
  std::vector<uint8_t> before_plte, before_idat, after_idat;
  std::vector<uint8_t> colour_space;
  std::optional<std::array<uint8_t, 3>> significant_bits;  // sBIT: red, green, blue
  std::optional<uint8_t> background;                       // bKGD's palette index
  bool histogram = false;                                  // the file had hIST
  bool time = false;                                       // the file had tIME
  std::vector<std::string> dropped;                        // types, in file order, once each
  bool empty() const {
    return before_plte.empty() && before_idat.empty() && after_idat.empty() &&
           colour_space.empty() && !significant_bits && !background && !histogram && !time &&
           dropped.empty();
  }
  friend bool operator==(const PngChunks&, const PngChunks&) = default;
};

// How a frame leaves the screen before the next is drawn: GIF's disposal values 0
// to 3 (4 to 7 read as Unspecified).
enum class FrameDisposal : uint8_t { Unspecified, None, Background, Previous };

// Where a frame of an animation sits on the picture and how long it shows, as the
// file gave them.
struct FrameTiming {
  int32_t x = 0, y = 0, width = 0, height = 0;
  uint32_t delay_ms = 0;
  FrameDisposal dispose = FrameDisposal::Unspecified;
  friend bool operator==(const FrameTiming&, const FrameTiming&) = default;
};

// What a picture file carried besides its first frame's pixels, its palette and its
// cycle ranges: how many frames it holds, and what of its format a save in that
// format writes back. A save in another format keeps none of them (save_losses.h
// names them) but the PCX header's fields, which stay with the picture so that a
// later PCX save writes what the PCX file had.
struct PictureExtras {
  PictureFormat format = PictureFormat::Pcx;  // of the file they came from
  // A GIF's images, an APNG's frames (its acTL count); 1 for every still picture.
  // Only the first is loaded.
  uint64_t frames = 1;
  // A GIF's frames, one for each image, in file order; empty for a still picture.
  std::vector<FrameTiming> frame_list;
  // How many times the animation plays, 0 for ever (a GIF without a loop
  // extension plays once).
  uint32_t plays = 1;
  // The PCX header as read; for the other formats a fresh 8-bit header of the size.
  PcxHeader pcx{};
  PngChunks png;
  IlbmChunks ilbm;
  GifExtensions gif;
  friend bool operator==(const PictureExtras&, const PictureExtras&) = default;
};

// An 8-bit indexed picture as a file held it: what every decoder returns. Pixels are
// one byte each, row-major from the top; entries past the file's palette are black
// and opaque, and pixel values past it are kept (they show black).
struct DecodedPicture {
  PictureFormat format = PictureFormat::Pcx;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
  BoardEntries entries{};
  int palette_count = 256;  // entries the file's palette had
  // The bits per pixel the file stores: a PCX's BitsPerPixel, a PNG's image data (1,
  // 2, 4 or 8), a BMP's, a GIF's colour table size, an ILBM's planes (8 for a PBM).
  int bit_depth = 8;
  CycleRanges cycles;  // a PNG's crNg ranges, an ILBM's CRNG and CCRT; the others none
  // What the load left out that the user should hear of (an ILBM's ranges past the
  // 16th, a PNG's crNg chunk left aside), for the status line; empty for most files.
  std::string note;
  PictureExtras extras;
};

}  // namespace hw
