// Thin file layer under the PCX codec: bounded reads and safe saves (file_io.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/file_io.h"
#include "formats/pcx.h"
#include "formats/result.h"

namespace hw {

// Convenience wrappers with error messages that name the file. Running out of
// memory is reported as an error, not thrown.
Result<PcxPicture> LoadPcxFile(const std::string& path);
// The last 768 bytes of the file, read without reading the rest.
Result<Palette> LoadPaletteFile(const std::string& path);
Status SavePcxFile(const std::string& path, PcxHeader& header, const std::vector<uint8_t>& pixels,
                   const Palette& palette);

}  // namespace hw
