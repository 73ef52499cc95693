// PCX pictures and palettes from and to files, over the file layer of file_io.cpp.
#include "formats/pcx_file.h"

#include <new>

#include "formats/png.h"

namespace hw {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

Result<PcxPicture> LoadPcxFile(const std::string& path) {
  try {
    auto bytes = ReadFileBytes(path);
    if (!bytes) return bytes.error();
    auto pic = DecodePcx(*bytes);
    if (!pic && HasPngSignature(*bytes)) {
      return Error{"cannot load " + Quoted(path) + ": a PNG picture where a PCX one is needed"};
    }
    if (!pic) return Error{"cannot load " + Quoted(path) + ": " + pic.error().message};
    return pic;
  } catch (const std::bad_alloc&) {
    return Error{"cannot load " + Quoted(path) + ": not enough memory"};
  }
}

Result<Palette> LoadPaletteFile(const std::string& path) {
  // A palette is the last 768 bytes of any file; only those are read, so a file of
  // any size loads in little memory.
  auto tail = ReadFileTail(path, kPaletteBytes);
  if (!tail) return tail.error();
  auto pal = ReadPcxPalette(*tail);
  if (!pal) return Error{"cannot load " + Quoted(path) + ": " + pal.error().message};
  return pal;
}

Status SavePcxFile(const std::string& path, PcxHeader& header, const std::vector<uint8_t>& pixels,
                   const Palette& palette) {
  try {
    auto bytes = WritePcx(header, pixels, palette);
    if (!bytes) return Error{"cannot save " + Quoted(path) + ": " + bytes.error().message};
    return WriteFileReplacing(path, *bytes);
  } catch (const std::bad_alloc&) {
    return Error{"cannot save " + Quoted(path) + ": not enough memory"};
  }
}

}  // namespace hw
