// Palette files: which format a file is, and the decoder or encoder of that format
// (palette_<format>.cpp).
#include "formats/palettes/palette_files.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "formats/palettes/palette_aco.h"
#include "formats/palettes/palette_act.h"
#include "formats/palettes/palette_ase.h"
#include "formats/palettes/palette_common.h"
#include "formats/palettes/palette_console.h"
#include "formats/palettes/palette_gpl.h"
#include "formats/palettes/palette_hex.h"
#include "formats/palettes/palette_jasc.h"
#include "formats/palettes/palette_paintnet.h"
#include "formats/palettes/palette_picture.h"
#include "formats/palettes/palette_riff.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/png.h"

namespace hw {
namespace {

std::string LowerExtension(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

}  // namespace

PaletteFormat SniffPaletteFormat(std::span<const uint8_t> first_bytes, std::string_view file_name) {
  const std::string_view text = palette_files::WithoutBom(palette_files::AsText(first_bytes));
  if (text.starts_with(palette_files::kGimpSignature)) return PaletteFormat::Gpl;
  if (text.starts_with(palette_files::kJascSignature)) return PaletteFormat::Jasc;
  if (text.starts_with(palette_files::kAseSignature)) return PaletteFormat::Ase;
  // Paint.NET palettes have no signature; the comment their writers start with will do.
  if (StartsWithNoCase(text, palette_files::kPaintNetSignature.substr(0, 11))) {
    return PaletteFormat::PaintNet;
  }
  if (first_bytes.size() >= 12 && std::memcmp(first_bytes.data(), "RIFF", 4) == 0 &&
      std::memcmp(first_bytes.data() + 8, "PAL ", 4) == 0) {
    return PaletteFormat::Riff;
  }
  // Pictures, by their content before any extension.
  if (HasPngSignature(first_bytes) || HasPcxSignature(first_bytes)) {
    return PaletteFormat::Pcx;
  }
  const std::string ext = LowerExtension(file_name);
  if (ext == ".act") return PaletteFormat::Act;
  if (ext == ".hex") return PaletteFormat::Hex;
  if (ext == ".aco") return PaletteFormat::Aco;
  if (ext == ".txt") return PaletteFormat::PaintNet;
  return PaletteFormat::Pcx;
}

Result<PaletteFile> DecodePaletteFileAs(PaletteFormat format, std::span<const uint8_t> bytes,
                                        std::string_view file_name) {
  switch (format) {
    case PaletteFormat::Gpl:
      return palette_files::DecodeGpl(bytes, file_name);
    case PaletteFormat::Jasc:
      return palette_files::DecodeJasc(bytes, file_name);
    case PaletteFormat::Act:
      return palette_files::DecodeAct(bytes, file_name);
    case PaletteFormat::Hex:
      return palette_files::DecodeHex(bytes, file_name);
    case PaletteFormat::Riff:
      return palette_files::DecodeRiff(bytes, file_name);
    case PaletteFormat::Ase:
      return palette_files::DecodeAse(bytes, file_name);
    case PaletteFormat::Aco:
      return palette_files::DecodeAco(bytes, file_name);
    case PaletteFormat::PaintNet:
      return palette_files::DecodePaintNet(bytes, file_name);
    case PaletteFormat::Vga6:
    case PaletteFormat::Bgr15:
    case PaletteFormat::Md9:
    case PaletteFormat::Amiga12:
      return palette_files::DecodeConsole(format, bytes, file_name);
    case PaletteFormat::Pcx:
    case PaletteFormat::PngStrip:
      break;
  }
  return palette_files::DecodeRawOrPicture(bytes, file_name);
}

Result<PaletteFile> DecodePaletteFile(std::span<const uint8_t> bytes, std::string_view file_name) {
  const auto head = bytes.first(std::min(bytes.size(), kPaletteSniffBytes));
  const PaletteFormat format = SniffPaletteFormat(head, file_name);
  auto decoded = DecodePaletteFileAs(format, bytes, file_name);
  if (decoded) return decoded;
  // A colour table is raw colours: its first entries can spell a signature, or start
  // with the byte a PCX file starts with; a hex list or Paint.NET palette may start
  // with an empty line (that same byte). When the format the content suggests cannot read the file,
  // the name decides.
  const std::string ext = LowerExtension(file_name);
  if (format != PaletteFormat::Act && ext == ".act" &&
      (bytes.size() == kActBytes || bytes.size() == kActWithTrailerBytes)) {
    return palette_files::DecodeAct(bytes, file_name);
  }
  if (format == PaletteFormat::Pcx && ext == ".hex" && bytes.size() <= kMaxTextPaletteBytes) {
    return palette_files::DecodeHex(bytes, file_name);
  }
  if (format == PaletteFormat::Pcx && ext == ".txt" && bytes.size() <= kMaxTextPaletteBytes) {
    return palette_files::DecodePaintNet(bytes, file_name);
  }
  return decoded;
}

std::vector<uint8_t> EncodePaletteEntries(std::span<const BoardEntry> entries, PaletteFormat format,
                                          const EntryNames* names) {
  switch (format) {
    case PaletteFormat::Vga6:
    case PaletteFormat::Bgr15:
    case PaletteFormat::Md9:
    case PaletteFormat::Amiga12:
      return palette_files::EncodeConsole(format, entries);
    case PaletteFormat::Gpl:
      return palette_files::EncodeGpl(entries, names);
    case PaletteFormat::Jasc:
      return palette_files::EncodeJasc(entries);
    case PaletteFormat::Act:
      return palette_files::EncodeAct(entries);
    case PaletteFormat::Hex:
      return palette_files::EncodeHex(entries);
    case PaletteFormat::Riff:
      return palette_files::EncodeRiff(entries);
    case PaletteFormat::PaintNet:
      return palette_files::EncodePaintNet(entries);
    case PaletteFormat::PngStrip:
      return palette_files::EncodePngStrip(entries);
    case PaletteFormat::Ase:
    case PaletteFormat::Aco:
      return {};
    case PaletteFormat::Pcx:
      break;
  }
  return palette_files::EncodePcxPalette(entries);
}

std::vector<uint8_t> EncodePaletteFile(const BoardEntries& entries, PaletteFormat format,
                                       const EntryNames* names, int count) {
  const bool short_console = IsConsoleFormat(format) && (count == 16 || count == 32);
  return EncodePaletteEntries(std::span(entries).first(short_console ? count : 256), format, names);
}

std::optional<PaletteFormat> PaletteFormatForExtension(std::string_view file_name) {
  const std::string ext = LowerExtension(file_name);
  if (ext == ".gpl") return PaletteFormat::Gpl;
  if (ext == ".pal") return PaletteFormat::Jasc;
  if (ext == ".act") return PaletteFormat::Act;
  if (ext == ".hex") return PaletteFormat::Hex;
  if (ext == ".pcx") return PaletteFormat::Pcx;
  if (ext == ".txt") return PaletteFormat::PaintNet;
  if (ext == ".png") return PaletteFormat::PngStrip;
  return std::nullopt;
}

std::string_view PaletteFormatTitle(PaletteFormat format) {
  switch (format) {
    case PaletteFormat::Gpl:
      return "GIMP palette";
    case PaletteFormat::Jasc:
      return "JASC palette";
    case PaletteFormat::Act:
      return "Adobe colour table";
    case PaletteFormat::Hex:
      return "hex list";
    case PaletteFormat::Riff:
      return "RIFF palette";
    case PaletteFormat::Ase:
      return "Adobe swatch exchange";
    case PaletteFormat::Aco:
      return "Adobe colour swatches";
    case PaletteFormat::PaintNet:
      return "Paint.NET palette";
    case PaletteFormat::PngStrip:
      return "PNG strip";
    case PaletteFormat::Vga6:
      return "vga6";
    case PaletteFormat::Bgr15:
      return "bgr15";
    case PaletteFormat::Md9:
      return "md9";
    case PaletteFormat::Amiga12:
      return "amiga12";
    case PaletteFormat::Pcx:
      break;
  }
  return "PCX palette picture";
}

std::string_view PaletteFormatName(PaletteFormat format) {
  switch (format) {
    case PaletteFormat::Gpl:
      return "GIMP palette";
    case PaletteFormat::Jasc:
      return "JASC palette";
    case PaletteFormat::Act:
      return "Adobe colour table";
    case PaletteFormat::Hex:
      return "hex colour list";
    case PaletteFormat::Riff:
      return "RIFF palette";
    case PaletteFormat::Ase:
      return "swatch exchange file";
    case PaletteFormat::Aco:
      return "colour swatch file";
    case PaletteFormat::PaintNet:
      return "Paint.NET palette";
    case PaletteFormat::PngStrip:
      return "PNG palette strip";
    case PaletteFormat::Vga6:
      return "vga6 palette";
    case PaletteFormat::Bgr15:
      return "bgr15 palette";
    case PaletteFormat::Md9:
      return "md9 palette";
    case PaletteFormat::Amiga12:
      return "amiga12 palette";
    case PaletteFormat::Pcx:
      break;
  }
  return "PCX palette";
}

}  // namespace hw
