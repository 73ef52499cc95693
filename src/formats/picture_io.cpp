#include "formats/picture_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <new>

#include "formats/files/file_io.h"
#include "formats/palettes/palette_console.h"
#include "formats/pictures/bmp.h"
#include "formats/pictures/gif.h"
#include "formats/pictures/ilbm.h"
#include "formats/pictures/palette_extent.h"
#include "formats/pictures/picture_formats.h"
#include "formats/pictures/png.h"
#include "formats/save_losses.h"

namespace hw {

Result<DecodedPicture> LoadPictureFile(const std::string& path) {
  auto opened = OpenedPicture::Open(path);
  if (!opened) return opened.error();
  return opened->TakeWhole();
}

bool HasExtension(const std::string& path, std::string_view extension) {
  if (path.size() < extension.size()) return false;
  return std::equal(extension.rbegin(), extension.rend(), path.rbegin(), [](char e, char c) {
    return e == std::tolower(static_cast<unsigned char>(c));
  });
}

PictureFormat PictureFormatForName(const std::string& path) {
  return PictureFormatOfExtension(path).value_or(PictureFormat::Pcx);
}

Status SavePictureFile(const std::string& path, PictureFormat format, int32_t width, int32_t height,
                       const std::vector<uint8_t>& pixels, const BoardEntries& entries,
                       PictureExtras* extras, std::string* note, const CycleRanges& cycles) {
  try {
    if (note) note->clear();
    // What the file carried is written back only in its own format. The PCX
    // writer copies entries 0..15 into the header and may widen its depth: the
    // header changes only once the file was written.
    PcxHeader written = extras != nullptr ? extras->pcx
                                          : IndexedPictureHeader(static_cast<int16_t>(width),
                                                                 static_cast<int16_t>(height));
    const PictureToWrite picture{
        width,    height,
        pixels,   &entries,
        &cycles,  extras != nullptr && extras->format == format ? extras : nullptr,
        &written, static_cast<int64_t>(std::time(nullptr))};
    auto encoded = PictureFormatRowOf(format).encode(picture);
    if (!encoded) return Within(encoded.error(), "save", path);
    auto saved = WriteFileReplacing(path, encoded->bytes);
    if (saved) {
      if (extras != nullptr) extras->pcx = written;
      if (note) *note = std::move(encoded->note);
    }
    return saved;
  } catch (const std::bad_alloc&) {
    return CannotSave(path, "not enough memory");
  }
}

namespace {

// The file of a PCX picture in `format`, made a slice of rows at a time from the
// opened `picture`. A decoding failure names its file, an encoding one `out`.
Status StreamPcxAs(OpenedPicture& picture, PictureFormat format, const std::string& out,
                   const ContentPut& put) {
  const auto failed = [&out](const Error& e) { return Within(e, "save", out); };
  if (format == PictureFormat::Png) {
    // The palette's length needs the highest index used: one pass to find it, then
    // the pixels again from the first row.
    uint8_t top = 0;
    auto scanned = picture.ForEachSlice([&top](std::span<const uint8_t> pixels) -> Status {
      if (!pixels.empty()) top = std::max(top, *std::max_element(pixels.begin(), pixels.end()));
      return Ok{};
    });
    if (!scanned) return scanned;
    if (auto rewound = picture.Rewind(); !rewound) return rewound;
    const std::array<uint8_t, 1> highest{top};
    const int length = UsedPaletteLength(highest, picture.entries());
    auto encoder =
        PngRowEncoder::Start(picture.width(), picture.height(), picture.entries(), put, length);
    if (!encoder) return failed(encoder.error());
    return picture.ForEachSlice(
        [&](std::span<const uint8_t> pixels) { return (*encoder)->AppendRows(pixels); });
  }
  PcxHeader header = picture.header();
  auto encoder = PcxRowEncoder::Start(header, picture.palette());
  if (!encoder) return failed(encoder.error());
  std::vector<uint8_t> bytes;
  const auto head = encoder->Head();
  bytes.assign(head.begin(), head.end());
  if (auto sent = put(bytes); !sent) return sent;
  auto decoded = picture.ForEachSlice([&](std::span<const uint8_t> pixels) {
    bytes.clear();
    encoder->AppendRows(pixels, bytes);
    return put(bytes);
  });
  if (!decoded) return decoded;
  bytes.clear();
  encoder->AppendTail(bytes);
  return put(bytes);
}

}  // namespace

Status ConvertPictureFile(const std::string& in, const std::string& out, SaveLoss* loss,
                          std::string* note) {
  try {
    if (note) note->clear();
    const PictureFormat format = PictureFormatForName(out);
    // Opened (and checked) before the save begins.
    auto opened = OpenedPicture::Open(in);
    if (!opened) return opened.error();
    OpenedPicture& picture = *opened;
    if (note) *note = picture.note();
    if (picture.format() == PictureFormat::Pcx &&
        (format == PictureFormat::Pcx || format == PictureFormat::Png)) {
      bool started = false;
      auto saved = SaveFileStreamed(out, [&](const ContentPut& put) -> Status {
        // A save that must call the writer again reads the file again from its start.
        if (started) {
          if (auto rewound = picture.Rewind(); !rewound) return rewound;
        }
        started = true;
        return StreamPcxAs(picture, format, out, put);
      });
      if (!saved) return saved.error();
      if (loss) *loss = SaveLoss{};  // a PCX has no alpha, frames or chunks to lose
      return Ok{};
    }
    auto whole = picture.TakeWhole();
    if (!whole) return whole.error();
    auto saved = SavePictureFile(out, format, whole->width, whole->height, whole->pixels,
                                 whole->entries, &whole->extras, nullptr, whole->cycles);
    if (saved && loss) {
      *loss = PictureSaveLoss(format, whole->entries, whole->cycles.size(), whole->pixels,
                              whole->extras);
    }
    return saved;
  } catch (const std::bad_alloc&) {
    Error error = Failure("convert", in, "not enough memory");
    error.to = out;
    return error;
  }
}

namespace {

Result<PaletteFile> LoadPaletteFrom(const std::string& path);

}  // namespace

Result<PaletteFile> LoadAnyPaletteFile(const std::string& path) {
  auto loaded = LoadPaletteFrom(path);
  if (!loaded) return Within(loaded.error(), "load", path);
  return loaded;
}

namespace {

Result<PaletteFile> LoadPaletteFrom(const std::string& path) {
  try {
    auto file = FileReader::Open(path);
    if (!file) return file.error();
    const uint64_t size = file->size();
    std::array<uint8_t, kPaletteSniffBytes> head_bytes{};
    auto got = file->ReadAt(0, head_bytes);
    if (!got) return got.error();
    const std::span<const uint8_t> head(head_bytes.data(), *got);
    // Every kind is read through the file opened here, never opened again.
    if (HasPngSignature(head)) {
      // The whole file, as the picture loader reads it; only its header chunks are
      // decoded.
      auto bytes = file->ReadAll();
      if (!bytes) return bytes.error();
      return DecodePaletteFile(*bytes, path);
    }
    if (const auto picture_format = PictureFormatOf(head);
        picture_format && *picture_format != PictureFormat::Pcx) {
      // The palette of any other picture (a GIF, BMP or ILBM), read as the picture is.
      auto opened = OpenedPicture::Open(std::move(*file), path);
      if (!opened) return opened.error();
      auto picture = opened->TakeWhole();
      if (!picture) return picture.error();
      PaletteFile out;
      out.entries = picture->entries;
      out.count = picture->palette_count;
      out.format = PaletteFormat::Pcx;
      return out;
    }
    if (HasPcxSignature(head)) {
      // A PCX gives the palette it is shown with, read as the picture load reads it:
      // a low-depth picture's header colours, an 8-bit one's palette at the end. Its
      // pixels are not read.
      auto picture = OpenedPicture::Open(std::move(*file), path, PictureFormat::Pcx);
      if (picture) {
        PaletteFile out;
        out.entries = picture->entries();
        out.count = picture->palette_count();
        out.format = PaletteFormat::Pcx;
        return out;
      }
      // A colour table or text list that merely starts with the byte 10 is small: read
      // whole below, where its name decides.
      const bool named_otherwise =
          HasExtension(path, ".act") || HasExtension(path, ".hex") || HasExtension(path, ".txt");
      if (!named_otherwise || size > kMaxTextPaletteBytes) return picture.error();
      // The opener took the file: such a rare file is opened again.
      file = FileReader::Open(path);
      if (!file) return file.error();
    }
    // Every other kind is small; a larger file is refused before it is read.
    if (size > kMaxTextPaletteBytes) {
      const PaletteFormat format = SniffPaletteFormat(head, path);
      if (format == PaletteFormat::Pcx) {
        return CannotLoad(path,
                          "not a palette file Huewright reads (no PNG, PCX, GIMP, JASC, RIFF or "
                          "swatch exchange signature, and " +
                              std::to_string(size) + " bytes where raw colours are 768)");
      }
      return CannotLoad(path,
                        "a " + std::string(PaletteFormatName(format)) + " file larger than 1 MiB");
    }
    auto bytes = file->ReadAll(kMaxTextPaletteBytes);
    if (!bytes) return bytes.error();
    return DecodePaletteFile(*bytes, path);
  } catch (const std::bad_alloc&) {
    return CannotLoad(path, "not enough memory");
  }
}

}  // namespace

Result<PaletteFile> LoadPaletteFileAs(const std::string& path, PaletteFormat format) {
  if (!IsConsoleFormat(format)) return LoadAnyPaletteFile(path);
  try {
    auto file = FileReader::Open(path);
    if (!file) return Within(file.error(), "load", path);
    if (file->size() > kMaxConsolePaletteBytes) {
      return CannotLoad(path, "a " + std::string(ConsoleFormatKey(format)) +
                                  " palette holds 4, 16, 32 or 256 entries, this file " +
                                  std::to_string(file->size()) + " bytes");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(file->size()));
    auto got = file->ReadAt(0, bytes);
    if (!got) return Within(got.error(), "load", path);
    bytes.resize(*got);
    auto decoded = DecodePaletteFileAs(format, bytes, path);
    if (!decoded) return Within(decoded.error(), "load", path);
    return decoded;
  } catch (const std::bad_alloc&) {
    return CannotLoad(path, "not enough memory");
  }
}

PaletteFormat PaletteFormatForName(const std::string& path) {
  return PaletteFormatForExtension(path).value_or(PaletteFormat::Pcx);
}

namespace {

template <typename Encode>
Status SavePalette(const std::string& path, PaletteFormat format, Encode encode) {
  if (format == PaletteFormat::Ase || format == PaletteFormat::Aco) {
    return CannotSave(path, "Huewright does not write a " + std::string(PaletteFormatName(format)));
  }
  try {
    return WriteFileReplacing(path, encode());
  } catch (const std::bad_alloc&) {
    return CannotSave(path, "not enough memory");
  }
}

}  // namespace

Status SavePaletteFile(const std::string& path, PaletteFormat format, const BoardEntries& entries,
                       const EntryNames* names, int count) {
  return SavePalette(path, format,
                     [&] { return EncodePaletteFile(entries, format, names, count); });
}

Status SavePaletteEntries(const std::string& path, PaletteFormat format,
                          std::span<const BoardEntry> entries, const EntryNames* names) {
  return SavePalette(path, format, [&] { return EncodePaletteEntries(entries, format, names); });
}

}  // namespace hw
