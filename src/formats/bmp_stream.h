// Uncompressed BMP pictures read from a file a slice of rows at a time, from the
// top row down whichever way the file stores them, so that a picture of any size
// passes through buffers of a few hundred KiB and no row is copied more than once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "formats/files/file_io.h"
#include "formats/pictures/bmp.h"

namespace hw {

class BmpFileRows {
 public:
  // Takes the open file and what its headers say (ReadBmpLayout, uncompressed,
  // its rows checked to fit in the file). Errors name the file as `path`.
  BmpFileRows(FileReader file, const std::string& path, const BmpLayout& layout)
      : path_(path), file_(std::move(file)), layout_(layout) {}

  const BmpLayout& layout() const { return layout_; }
  int32_t rows_done() const { return rows_done_; }
  bool done() const { return rows_done_ >= layout_.height; }

  // Fills `out` with whole rows from the first not yet read, as many as fit (at
  // most a slice's when they need unpacking or turning upside down); returns how
  // many (0 when done). A file that shrank since it was opened is
  // refused.
  Result<int32_t> ReadRows(std::span<uint8_t> out);

  // Starts again at the first row.
  void Rewind() { rows_done_ = 0; }

  // Calls take(rows) with the rows not yet read, a slice of about kSliceBytes (at
  // least a row) at a time, in order. Stops at the first error, from reading or
  // from take (a Status).
  static constexpr size_t kSliceBytes = size_t{256} << 10;
  template <typename Take>
  Status ForEachSlice(Take take) {
    const auto width = static_cast<size_t>(layout_.width);
    std::vector<uint8_t> slice(std::max<size_t>(1, kSliceBytes / width) * width);
    while (!done()) {
      auto got = ReadRows(slice);
      if (!got) return got.error();
      Status taken = take(std::span<const uint8_t>(slice).first(static_cast<size_t>(*got) * width));
      if (!taken) return taken;
    }
    return Ok{};
  }

 private:
  std::string path_;
  FileReader file_;
  BmpLayout layout_;
  int32_t rows_done_ = 0;
  std::vector<uint8_t> stored_;  // rows as the file holds them, when they need unpacking
};

}  // namespace hw
