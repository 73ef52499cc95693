#include "cli/picture_commands.h"

#include <nettle/sha2.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "cli/output.h"
#include "formats/files/file_io.h"
#include "formats/picture_io.h"
#include "formats/picture_opener.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/picture_formats.h"
#include "formats/save_losses.h"
#include "pixels/histogram.h"

namespace hw::cli {

namespace {

// Opens a picture of either kind (or only of the kind `only` names) through the one
// opener of the formats layer, which refuses anything but a plain file at once: a
// named pipe would otherwise keep the command waiting for a writer. The error names
// the file.
hw::Result<hw::OpenedPicture> Open(const std::string& path,
                                   std::optional<hw::PictureFormat> only = std::nullopt) {
  current_file = path;
  return hw::OpenedPicture::Open(path, only);
}

std::span<const uint8_t> PaletteBytes(const hw::Palette& palette) {
  return {reinterpret_cast<const uint8_t*>(palette.data()), hw::kPaletteBytes};
}

// Writes everything to stdout and reports whether it all arrived.
bool WriteStdout(std::span<const uint8_t> data) {
  if (!data.empty() && std::fwrite(data.data(), 1, data.size(), stdout) != data.size()) {
    return false;
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// Calls take(span) for each slice of the picture's pixels in order, one byte each,
// row-major (a PCX is decoded slice by slice as its file is read, a PNG was decoded
// whole); stops at the first error (a damaged PCX shows only part way through) or
// the first false from take.
template <typename Take>
hw::Status ForEachSlice(hw::OpenedPicture& picture, Take take) {
  return picture.ForEachSlice([&take](std::span<const uint8_t> slice) -> hw::Status {
    if (!take(slice)) return hw::Error{"stopped"};
    return hw::Ok{};
  });
}

// PCX pictures report their header's fields; the others the file's bit depth (the
// indices and the hashes are one byte per pixel all the same).
// An animation's loop and frames, for info: nothing for a still picture.
std::string FrameListJson(const hw::PictureExtras& extras) {
  if (extras.frame_list.size() < 2) return {};
  static constexpr const char* kDisposals[] = {"unspecified", "none", "background", "previous"};
  std::string json = ",\"loop\":" + std::to_string(extras.plays) + ",\"frame_list\":[";
  for (size_t i = 0; i < extras.frame_list.size(); ++i) {
    const hw::FrameTiming& f = extras.frame_list[i];
    json += std::string(i ? "," : "") + "{\"x\":" + std::to_string(f.x) +
            ",\"y\":" + std::to_string(f.y) + ",\"width\":" + std::to_string(f.width) +
            ",\"height\":" + std::to_string(f.height) +
            ",\"delay_ms\":" + std::to_string(f.delay_ms) + ",\"dispose\":\"" +
            kDisposals[static_cast<int>(f.dispose)] + "\"}";
  }
  return json + "]";
}

std::string Json(const hw::OpenedPicture& picture, const std::string& pixels_hash,
                 const std::string& palette_hash) {
  const bool pcx = picture.format() == hw::PictureFormat::Pcx;
  std::string json = std::string("{\"format\":\"") +
                     std::string(hw::PictureFormatRowOf(picture.format()).key) +
                     "\",\"width\":" + std::to_string(picture.width()) +
                     ",\"height\":" + std::to_string(picture.height()) + ",\"bits_per_pixel\":";
  if (pcx) {
    const hw::PcxHeader& h = picture.header();
    json += std::to_string(h.BitsPerPixel) + ",\"planes\":" + std::to_string(h.NPlanes) +
            ",\"bytes_per_line\":" + std::to_string(h.BytesPerLine) +
            ",\"encoding\":" + std::to_string(h.Encoding);
  } else {
    json += std::to_string(picture.bit_depth());
  }
  json += ",\"pixels_sha256\":\"" + pixels_hash + "\",\"palette_sha256\":\"" + palette_hash +
          "\",\"frames\":" + std::to_string(picture.frames()) + FrameListJson(picture.extras()) +
          ",\"cycles\":[";
  const hw::CycleRanges& cycles = picture.cycles();
  for (size_t i = 0; i < cycles.size(); ++i) {
    const hw::CycleRange& r = cycles[i];
    json += std::string(i ? "," : "") + "{\"low\":" + std::to_string(r.low) +
            ",\"high\":" + std::to_string(r.high) + ",\"rate\":" + std::to_string(r.rate) +
            ",\"reverse\":" + (r.reverse ? "true" : "false") +
            ",\"active\":" + (r.active ? "true" : "false") + "}";
  }
  return json + "]}\n";
}

// SHA-256 fed a piece at a time (nettle: a small library, so the loader's work at
// start-up stays small for the commands that do not hash).
class Sha256 {
 public:
  Sha256() { sha256_init(&ctx_); }
  void Add(std::span<const uint8_t> data) { sha256_update(&ctx_, data.size(), data.data()); }
  std::string Hex() {
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx_, sizeof digest, digest);
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
      hex += digits[byte >> 4];
      hex += digits[byte & 15];
    }
    return hex;
  }

 private:
  sha256_ctx ctx_;
};

}  // namespace

int Info(const std::string& path) {
  auto picture = Open(path);
  if (!picture) return Fail(path, picture.error());
  if (!picture->note().empty()) Warn(path, picture->note());
  Sha256 pixels, palette;
  auto decoded = ForEachSlice(*picture, [&](std::span<const uint8_t> slice) {
    pixels.Add(slice);
    return true;
  });
  if (!decoded) return Fail(path, decoded.error());
  palette.Add(PaletteBytes(picture->palette()));
  const std::string json = Json(*picture, pixels.Hex(), palette.Hex());
  if (!WriteStdout({reinterpret_cast<const uint8_t*>(json.data()), json.size()})) {
    return Fail("stdout", "write failed");
  }
  return 0;
}

// Each slice is written as soon as it is decoded; a PCX damaged part way through
// leaves the rows before the damage on stdout, and the failure line and exit code 1.
int Indices(const std::string& path) {
  auto picture = Open(path);
  if (!picture) return Fail(path, picture.error());
  bool written = true;
  auto decoded = ForEachSlice(
      *picture, [&](std::span<const uint8_t> slice) { return written = WriteStdout(slice); });
  if (!written) return Fail("stdout", "write failed");
  if (!decoded) return Fail(path, decoded.error());
  return 0;
}

// The picture is decoded all the same (into the one slice), so that a damaged
// picture is refused as by the other commands.
int PaletteBytesOf(const std::string& path) {
  auto picture = Open(path);
  if (!picture) return Fail(path, picture.error());
  auto decoded = ForEachSlice(*picture, [](std::span<const uint8_t>) { return true; });
  if (!decoded) return Fail(path, decoded.error());
  if (!WriteStdout(PaletteBytes(picture->palette()))) return Fail("stdout", "write failed");
  return 0;
}

// Usage is counted slice by slice as the picture is decoded, so a picture of any
// size passes through the opener's few hundred KiB of buffers.
int Stats(const std::string& path) {
  auto picture = Open(path);
  if (!picture) return Fail(path, picture.error());
  UsageCounts usage{}, part{};
  auto decoded = ForEachSlice(*picture, [&](std::span<const uint8_t> slice) {
    ComputeHisto(part, slice);
    for (size_t i = 0; i < 256; ++i) usage[i] += part[i];
    return true;
  });
  if (!decoded) return Fail(path, decoded.error());
  const BoardEntries& entries = picture->entries();
  static const char* digits = "0123456789abcdef";
  int used = 0, duplicates = 0;
  std::string json = "{\"entries\": [\n";
  for (size_t i = 0; i < 256; ++i) {
    const BoardEntry& e = entries[i];
    size_t first = 0;
    while (entries[first] != e) ++first;  // stops at i at the latest
    std::string colour = "#";
    for (uint8_t v : {e.rgb.R, e.rgb.G, e.rgb.B}) {
      colour += digits[v >> 4];
      colour += digits[v & 15];
    }
    used += usage[i] > 0;
    duplicates += first < i;
    json += "  {\"index\": " + std::to_string(i) + ", \"colour\": \"" + colour +
            "\", \"alpha\": " + std::to_string(e.A) + ", \"usage\": " + std::to_string(usage[i]) +
            ", \"duplicate_of\": " + (first < i ? std::to_string(first) : "null") + "}" +
            (i < 255 ? ",\n" : "\n");
  }
  json += "], \"used\": " + std::to_string(used) + ", \"unused\": " + std::to_string(256 - used) +
          ", \"duplicates\": " + std::to_string(duplicates) + "}\n";
  if (!WriteStdout({reinterpret_cast<const uint8_t*>(json.data()), json.size()})) {
    return Fail("stdout", "write failed");
  }
  return 0;
}

// Saves the picture unchanged: header as loaded (the writer refreshes ColorMap from
// palette entries 0..15), pixels and palette. The save leaves OUT as it was unless
// the whole new file was written; OUT "-" writes the file to standard output.
int Rewrite(const std::string& in, const std::string& out) {
  auto picture = Open(in, hw::PictureFormat::Pcx);
  if (!picture) return Fail(in, picture.error());
  auto whole = picture->TakeWhole();
  if (!whole) return Fail(in, whole.error());
  current_file = out == "-" ? "stdout" : out;
  auto encoded = hw::WritePcx(whole->extras.pcx, whole->pixels, picture->palette());
  if (!encoded) return Fail(out, encoded.error());
  if (out == "-") {
    if (!WriteStdout(*encoded)) return Fail("stdout", "write failed");
    return 0;
  }
  auto written = hw::WriteFileReplacing(out, *encoded);
  if (!written) return Fail(out, written.error());
  return 0;
}

// The output kind comes from OUT's extension alone; standard output has none, so
// "-" is refused (a file called "-" is reached as "./-.png" and the like).
// With palette_strip, OUT (a .png) gets IN's palette as a strip instead of a picture.
int Convert(const std::string& in, const std::string& out, bool palette_strip) {
  enum class Kind { Picture, Palette } kind;
  hw::PaletteFormat palette_format = hw::PaletteFormat::Gpl;
  if (palette_strip) {
    if (!hw::HasExtension(out, ".png")) {
      return UsageError("convert --palette-strip writes a PNG: OUT must end in .png");
    }
    kind = Kind::Palette;
    palette_format = hw::PaletteFormat::PngStrip;
  } else if (hw::PictureFormatOfExtension(out)) {
    kind = Kind::Picture;
  } else if (auto format = hw::PaletteFormatForExtension(out)) {
    kind = Kind::Palette;
    palette_format = *format;
  } else {
    return UsageError("convert: cannot tell what to write from the name '" + out +
                      "'; OUT must end in " + hw::PictureExtensionList(", ") +
                      ", .gpl, .pal, .act, .hex or .txt");
  }
  current_file = in;
  if (kind == Kind::Palette) {
    // The palette as the window's Load Palette takes it: a picture's own, or any
    // palette file Huewright reads.
    auto palette = hw::LoadAnyPaletteFile(in);
    if (!palette) return Fail(in, palette.error());
    current_file = out;
    const hw::EntryNames* names = palette->names ? &*palette->names : nullptr;
    auto saved = hw::SavePaletteFile(out, palette_format, palette->entries, names);
    if (!saved) return Fail(out, saved.error());
    if (auto loss = hw::PaletteSaveLoses(palette_format, palette->entries, names)) {
      Warn(out, *loss);
    }
    return 0;
  }
  // A PCX picture keeps its header when it stays PCX; a PNG gets a fresh one. The
  // error names the file at fault.
  hw::SaveLoss loss;
  std::string note;
  auto converted = hw::ConvertPictureFile(in, out, &loss, &note);
  if (!converted) return Fail(in, converted.error());
  if (!note.empty()) Warn(in, note);
  WarnLoss(out, loss);
  return 0;
}

// One side is a console palette of the format named. Its entries are read, or
// written snapped to the format's depth: 16 or 32 of them when IN has that many,
// else 256; the warning line says how many the format changed.
int ConvertConsole(const std::string& in, const std::string& out, hw::PaletteFormat console) {
  const bool out_known = hw::HasExtension(out, ".pcx") || hw::HasExtension(out, ".png") ||
                         hw::PaletteFormatForExtension(out).has_value();
  const hw::PaletteFormat out_format =
      out_known ? hw::PaletteFormatForExtension(out).value_or(hw::PaletteFormat::Pcx) : console;
  current_file = in;
  auto palette = out_known ? hw::LoadPaletteFileAs(in, console) : hw::LoadAnyPaletteFile(in);
  if (!palette) return Fail(in, palette.error());
  current_file = out;
  const hw::EntryNames* names = palette->names ? &*palette->names : nullptr;
  auto saved = hw::SavePaletteFile(out, out_format, palette->entries, names, palette->count);
  if (!saved) return Fail(out, saved.error());
  if (auto loss = hw::PaletteSaveLoses(out_format, palette->entries, names, palette->count)) {
    Warn(out, *loss);
  }
  return 0;
}

}  // namespace hw::cli
