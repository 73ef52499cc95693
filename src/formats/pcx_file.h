// Thin file layer under the PCX codec: bounded reads and safe replacing writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/pcx.h"
#include "formats/result.h"

namespace hw {

// Reads a whole file. Files above max_bytes are refused before reading.
Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path,
                                           uint64_t max_bytes = uint64_t{1} << 31);

// Writes bytes to a temporary file beside `path`, flushes it, and renames it over
// `path` only when every byte was written; on failure the old file is untouched.
Status WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

// Convenience wrappers with error messages that name the file.
Result<PcxPicture> LoadPcxFile(const std::string& path);
Result<Palette> LoadPaletteFile(const std::string& path);
Status SavePcxFile(const std::string& path, PcxHeader& header, const std::vector<uint8_t>& pixels,
                   const Palette& palette);

}  // namespace hw
