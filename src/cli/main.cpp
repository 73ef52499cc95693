// huewright-cli: inspect, rewrite and convert 8-bit indexed pictures and palettes
// from scripts.
//
//   huewright-cli info FILE        one JSON object describing the picture (PCX or PNG)
//   huewright-cli indices FILE     the row-major pixel indices (no row filler), binary
//   huewright-cli palette FILE     the 768 palette bytes (RGB of all 256 entries), binary
//   huewright-cli rewrite IN OUT   decode a PCX picture and write it back through our own
//                                  writer (OUT "-" is standard output; "./-" names a file "-")
//   huewright-cli convert IN OUT   the kind OUT's extension names: .pcx or .png a picture
//                                  (IN a picture), .gpl, .pal, .act, .hex or .txt a palette
//                                  (IN a picture or any palette file); OUT "-" is refused
//   huewright-cli convert --palette-strip IN OUT.png
//                                  IN's palette as a PNG strip: 256 x 1, pixel k index k
//
// Every failure prints exactly one line on stderr naming the file and the cause and
// exits non-zero: 2 for a usage error, 1 for anything else, running out of memory
// included. A convert whose output cannot hold something the input has (alpha, in
// PCX or most palette formats) writes the file and prints one "warning:" line.
#include <nettle/sha2.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/faults.h"
#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/picture_io.h"
#include "formats/picture_opener.h"
#include "formats/result.h"
#include "formats/save_losses.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: huewright-cli info FILE | indices FILE | palette FILE | rewrite IN OUT|- | "
    "convert [--palette-strip] IN OUT";

// The file being worked on, for the one line printed when memory or threads run out.
std::string current_file;

// Keeps a message on one line whatever a file name or a lower layer put in it. A
// backslash is doubled, so that a name spelling out a backslash, x, 0 and a reads
// apart from one holding a line break.
std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (u < 0x20 || u == 0x7f) {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// The lower layers' messages usually name the file already ("cannot load 'x': ...");
// the file name is put in front only when the message lacks it.
int Fail(const std::string& file, const std::string& cause, int code = kExitFailure) {
  std::string text = cause.find(file) != std::string::npos ? cause : file + ": " + cause;
  std::string line = "huewright-cli: " + OneLine(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  return code;
}

// What a save left out that the input had; the file is written all the same.
void Warn(const std::string& file, const std::string& loss) {
  std::string line = "warning: '" + OneLine(file) + "': " + OneLine(loss) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

int UsageError(std::string_view cause) {
  std::string line = "huewright-cli: " + OneLine(cause) + "; " + kUsage + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  return kExitUsage;
}

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

// PCX pictures report their header's fields; PNG pictures the file's bit depth (the
// indices and the hashes are one byte per pixel all the same).
std::string Json(const hw::OpenedPicture& picture, const std::string& pixels_hash,
                 const std::string& palette_hash) {
  const bool pcx = picture.format() == hw::PictureFormat::Pcx;
  std::string json = std::string("{\"format\":\"") + (pcx ? "pcx" : "png") +
                     "\",\"width\":" + std::to_string(picture.width()) +
                     ",\"height\":" + std::to_string(picture.height()) + ",\"bits_per_pixel\":";
  if (pcx) {
    const hw::PcxHeader& h = picture.header();
    json += std::to_string(h.BitsPerPixel) + ",\"planes\":" + std::to_string(h.NPlanes) +
            ",\"bytes_per_line\":" + std::to_string(h.BytesPerLine) +
            ",\"encoding\":" + std::to_string(h.Encoding);
  } else {
    json += std::to_string(picture.png_bit_depth());
  }
  return json + ",\"pixels_sha256\":\"" + pixels_hash + "\",\"palette_sha256\":\"" + palette_hash +
         "\"}\n";
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

int Info(const std::string& path) {
  auto picture = Open(path);
  if (!picture) return Fail(path, picture.error().message);
  Sha256 pixels, palette;
  auto decoded = ForEachSlice(*picture, [&](std::span<const uint8_t> slice) {
    pixels.Add(slice);
    return true;
  });
  if (!decoded) return Fail(path, decoded.error().message);
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
  if (!picture) return Fail(path, picture.error().message);
  bool written = true;
  auto decoded = ForEachSlice(
      *picture, [&](std::span<const uint8_t> slice) { return written = WriteStdout(slice); });
  if (!written) return Fail("stdout", "write failed");
  if (!decoded) return Fail(path, decoded.error().message);
  return 0;
}

// The picture is decoded all the same (into the one slice), so that a damaged
// picture is refused as by the other commands.
int PaletteCommand(const std::string& path) {
  auto picture = Open(path);
  if (!picture) return Fail(path, picture.error().message);
  auto decoded = ForEachSlice(*picture, [](std::span<const uint8_t>) { return true; });
  if (!decoded) return Fail(path, decoded.error().message);
  if (!WriteStdout(PaletteBytes(picture->palette()))) return Fail("stdout", "write failed");
  return 0;
}

// Saves the picture unchanged: header as loaded (the writer refreshes ColorMap from
// palette entries 0..15), pixels and palette. The save leaves OUT as it was unless
// the whole new file was written; OUT "-" writes the file to standard output.
int Rewrite(const std::string& in, const std::string& out) {
  auto picture = Open(in, hw::PictureFormat::Pcx);
  if (!picture) return Fail(in, picture.error().message);
  auto whole = picture->TakeWhole();
  if (!whole) return Fail(in, whole.error().message);
  current_file = out == "-" ? "stdout" : out;
  auto encoded = hw::WritePcx(whole->pcx_header, whole->pixels, picture->palette());
  if (!encoded) return Fail(out, encoded.error().message);
  if (out == "-") {
    if (!WriteStdout(*encoded)) return Fail("stdout", "write failed");
    return 0;
  }
  auto written = hw::WriteFileReplacing(out, *encoded);
  if (!written) return Fail(out, written.error().message);
  return 0;
}

// The output kind comes from OUT's extension alone; standard output has none, so
// "-" is refused (a file called "-" is reached as "./-.png" and the like).
// With --palette-strip, OUT (a .png) gets IN's palette as a strip instead of a picture.
int Convert(const std::string& in, const std::string& out, bool palette_strip) {
  enum class Kind { Picture, Palette } kind;
  hw::PaletteFormat palette_format = hw::PaletteFormat::Gpl;
  if (palette_strip) {
    if (!hw::HasExtension(out, ".png")) {
      return UsageError("convert --palette-strip writes a PNG: OUT must end in .png");
    }
    kind = Kind::Palette;
    palette_format = hw::PaletteFormat::PngStrip;
  } else if (hw::HasExtension(out, ".pcx") || hw::HasExtension(out, ".png")) {
    kind = Kind::Picture;
  } else if (auto format = hw::PaletteFormatForExtension(out)) {
    kind = Kind::Palette;
    palette_format = *format;
  } else {
    return UsageError("convert: cannot tell what to write from the name '" + out +
                      "'; OUT must end in .pcx, .png, .gpl, .pal, .act, .hex or .txt");
  }
  current_file = in;
  if (kind == Kind::Palette) {
    // The palette as the window's Load Palette takes it: a picture's own, or any
    // palette file Huewright reads.
    auto palette = hw::LoadAnyPaletteFile(in);
    if (!palette) return Fail(in, palette.error().message);
    current_file = out;
    const hw::EntryNames* names = palette->names ? &*palette->names : nullptr;
    auto saved = hw::SavePaletteFile(out, palette_format, palette->entries, names);
    if (!saved) return Fail(out, saved.error().message);
    if (auto loss = hw::PaletteSaveLoses(palette_format, palette->entries, names)) {
      Warn(out, *loss);
    }
    return 0;
  }
  // A PCX picture keeps its header when it stays PCX; a PNG gets a fresh one. The
  // error names the file at fault.
  std::string loss;
  auto converted = hw::ConvertPictureFile(in, out, &loss);
  if (!converted) {
    const std::string& cause = converted.error().message;
    return Fail(cause.find("'" + out + "'") != std::string::npos ? out : in, cause);
  }
  if (!loss.empty()) Warn(out, loss);
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("no command given");
  const std::string& command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const size_t operands = args.size() - 1;
  if (command == "info" || command == "indices" || command == "palette") {
    if (operands != 1) return UsageError(command + " takes exactly one FILE");
    if (command == "info") return Info(args[1]);
    if (command == "indices") return Indices(args[1]);
    return PaletteCommand(args[1]);
  }
  if (command == "rewrite") {
    if (operands != 2) return UsageError("rewrite takes IN and OUT");
    return Rewrite(args[1], args[2]);
  }
  if (command == "convert") {
    const bool strip = operands >= 1 && args[1] == "--palette-strip";
    if (operands != (strip ? 3u : 2u)) return UsageError("convert takes IN and OUT");
    const std::string& in = args[strip ? 2 : 1];
    const std::string& out = args[strip ? 3 : 2];
    if (out == "-") return UsageError("convert writes files only: OUT's extension names the kind");
    return Convert(in, out, strip);
  }
  return UsageError("unknown command '" + command + "'");
}

// Sanitizer builds serve only for testing, and there the address-space limits that
// make the ordinary build run out of memory do not work (the sanitizer reserves
// terabytes up front, and dies instead of throwing when an allocation fails). Those
// builds alone take the injected failure from the environment; the shipped program
// has no such switch.
#if defined(__SANITIZE_ADDRESS__)
#define HW_CLI_FAULT_INJECTION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HW_CLI_FAULT_INJECTION 1
#endif
#endif

void InjectFaultsForTests() {
#if defined(HW_CLI_FAULT_INJECTION)
  if (const char* n = std::getenv("HW_TEST_FAIL_ALLOCATIONS_AFTER")) {
    hw::faults::FailAllocationsAfter(std::atol(n));
  }
#endif
}

}  // namespace

int main(int argc, char** argv) {
  try {
    InjectFaultsForTests();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Run(args);
  } catch (const std::bad_alloc&) {
    return Fail(current_file.empty() ? "huewright-cli" : current_file, "not enough memory");
  } catch (const std::system_error& e) {
    return Fail(current_file.empty() ? "huewright-cli" : current_file, e.what());
  }
}
