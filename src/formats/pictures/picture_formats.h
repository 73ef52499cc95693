// Every picture format Huewright reads and writes, a row each: what it is called,
// how its files are named and told apart, its encoder and what it keeps. The
// opener, the save, the loss rules, the command line's extension checks and the
// window's file dialogs all read this table, so a new format is its codec and one
// row here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "colour/cycle_ranges.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/picture_extras.h"
#include "formats/pictures/picture_format.h"

namespace hw {

// How much of the entries' opacity a file of the format holds.
enum class AlphaKept {
  None,      // every entry is opaque
  OneClear,  // one fully transparent entry (a transparent index or colour)
  All,       // every entry's alpha
};

// A picture handed to a format's encoder.
struct PictureToWrite {
  int32_t width = 0;
  int32_t height = 0;
  std::span<const uint8_t> pixels;
  const BoardEntries* entries = nullptr;
  const CycleRanges* cycles = nullptr;
  // What the picture's file carried, when it is of this format (written back);
  // null otherwise.
  const PictureExtras* own = nullptr;
  // The PCX header whose fields a PCX keeps: in, as the picture has it; out, as
  // written. Unused by the other formats.
  PcxHeader* pcx_header = nullptr;
  int64_t save_time = 0;  // seconds since 1970, for a PNG's tIME
};

// The bytes of the file, and what the writer changed of the file's kind ("written at
// 8 bits per pixel: ..."), empty most of the time.
struct EncodedPicture {
  std::vector<uint8_t> bytes;
  std::string note;
};

struct PictureFormatRow {
  PictureFormat format;
  std::string_view key;   // "pcx": as `info` reports it
  std::string_view name;  // "PCX": as messages name it ("a PCX picture")
  std::string_view file;  // "a PCX file": as the loss words name it
  // Lower case with the dot; the first is the one a save offers. A name with none
  // of a row's extensions is saved as PCX.
  std::array<std::string_view, 2> extensions;
  // True when a file starting with these bytes is of this format (the first 12
  // bytes tell every format).
  bool (*signature)(std::span<const uint8_t> head);
  // The whole file, its picture decoded or written; errors name no file.
  Result<DecodedPicture> (*decode)(std::span<const uint8_t> file);
  Result<EncodedPicture> (*encode)(const PictureToWrite& picture);
  AlphaKept alpha;
  bool cycles;  // the picture's cycle ranges
};

// In the order a file's first bytes are tested, which is also the order the dialogs
// and the messages list them.
std::span<const PictureFormatRow> PictureFormatRows();
const PictureFormatRow& PictureFormatRowOf(PictureFormat format);
// The picture of a whole file of `format`; a picture of another format than PCX
// takes a fresh 8-bit PCX header of its size (PictureExtras::pcx).
Result<DecodedPicture> DecodeWholePicture(PictureFormat format, std::span<const uint8_t> file);
// The format whose signature `head` starts with, if any.
std::optional<PictureFormat> PictureFormatOf(std::span<const uint8_t> head);
// The format whose extension ends `path` (in any case), if any.
std::optional<PictureFormat> PictureFormatOfExtension(std::string_view path);
// ".pcx, .png, ... or .iff": every picture extension, for messages; `last` joins
// the last two (" or ", or ", " when more follow).
std::string PictureExtensionList(std::string_view last = " or ");

}  // namespace hw
