// What a palette file holds once read, and the sizes of the palette formats: the
// part of palette_files.h that the decoder of each format needs.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "colour/colour.h"

namespace hw {

// Ase (Adobe swatch exchange) and Aco (Adobe colour swatches) are read only;
// PngStrip is written only (a PNG read as a palette is a picture, Pcx). The console
// formats (Vga6, Bgr15, Md9, Amiga12) hold bare channel values that no byte tells
// apart: they are read and written only when named (palette_console.h).
enum class PaletteFormat {
  Gpl,
  Jasc,
  Act,
  Hex,
  Riff,
  Pcx,
  Ase,
  Aco,
  PaintNet,
  PngStrip,
  Vga6,
  Bgr15,
  Md9,
  Amiga12
};

// What a palette file held. File entry k lands at position k; positions the file
// did not reach stay black and opaque, and `count` says how many entries it had
// (1..256). PNG pictures, GIMP palettes with RGBA channels and Paint.NET palettes
// carry any alpha, Adobe colour tables one transparent entry, the rest none. `format` is Pcx for
// every palette taken from a picture, PNG included, and for raw colours: the kinds that have no
// palette format of their own.
struct PaletteFile {
  BoardEntries entries{};
  int count = 0;
  PaletteFormat format = PaletteFormat::Pcx;
  // Entry names from GIMP palettes, swatch exchange files and version 2 colour
  // swatches; nullopt when the file named none of its entries.
  std::optional<EntryNames> names;
};

// Text palettes (GIMP, JASC, hex) larger than this are refused; the file layer
// should refuse them before reading them whole.
inline constexpr size_t kMaxTextPaletteBytes = size_t{1} << 20;
// RIFF palettes may carry other chunks besides the colours; same bound. Adobe
// swatch files (.ase, .aco) too: 256 named colours take far less.
inline constexpr size_t kMaxRiffPaletteBytes = size_t{1} << 20;
inline constexpr size_t kMaxSwatchBytes = size_t{1} << 20;
// An Adobe colour table: 768 bytes of colours, optionally a 4-byte trailer.
inline constexpr size_t kActBytes = 768;
inline constexpr size_t kActWithTrailerBytes = 772;
// A PCX picture ends in the byte 12 and 768 bytes of colours.
inline constexpr size_t kPcxPaletteTailBytes = 769;

}  // namespace hw
