// PCX pictures read from a file a few rows at a time (PcxRowDecoder over the file),
// so that a picture of any size passes through buffers of a few tens of KiB.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "formats/files/file_io.h"
#include "formats/pictures/pcx.h"

namespace hw {

class PcxFileRows {
 public:
  // Takes a plain file already opened (see picture_opener.h, which tells PCX from
  // other files), reads its header and trailing palette and makes every check
  // DecodePcx makes before decoding. Errors name the file as `path` ("cannot load
  // 'x': ...").
  static Result<std::unique_ptr<PcxFileRows>> Open(
      FileReader file, const std::string& path,
      size_t input_bytes = PcxRowDecoder::kDefaultInputBytes);
  ~PcxFileRows();
  PcxFileRows(const PcxFileRows&) = delete;
  PcxFileRows& operator=(const PcxFileRows&) = delete;

  const PcxHeader& header() const { return decoder_->header(); }
  const PcxSize& size() const { return decoder_->size(); }
  const Palette& palette() const { return palette_; }
  int32_t rows_done() const { return decoder_->rows_done(); }
  bool done() const { return decoder_->done(); }

  // As PcxRowDecoder::ReadRows; errors name the file.
  Result<int32_t> ReadRows(std::span<uint8_t> out);

  // Starts again at the first row, reading the same open file once more (also after
  // an error).
  Status Rewind();

  // Decodes the rows not yet read a slice at a time, into one buffer of about
  // kSliceBytes (at least a row), and calls take(rows) with each slice's whole rows
  // in order. Stops at the first error, from decoding or from take (a Status).
  static constexpr size_t kSliceBytes = size_t{64} << 10;
  template <typename Take>
  Status ForEachSlice(Take take) {
    const auto width = static_cast<size_t>(size().width);
    std::vector<uint8_t> slice(std::max<size_t>(1, kSliceBytes / width) * width);
    while (!done()) {
      auto got = ReadRows(slice);
      if (!got) return got.error();
      if (*got == 0) break;
      Status taken = take(std::span<const uint8_t>(slice).first(static_cast<size_t>(*got) * width));
      if (!taken) return taken;
    }
    return Ok{};
  }

 private:
  PcxFileRows(FileReader file, const std::string& path, size_t input_bytes)
      : path_(path), file_(std::move(file)), input_bytes_(input_bytes) {}
  // A decoder from the first row, pulling the pixel data from file_.
  Status StartDecoder();

  std::string path_;
  FileReader file_;
  size_t input_bytes_;
  std::array<uint8_t, kPcxHeaderSize> head_{};
  size_t head_size_ = 0;  // less than the header when the file is shorter
  uint64_t offset_ = 0;   // of the next byte the decoder takes
  Palette palette_{};
  std::unique_ptr<PcxRowDecoder> decoder_;
};

}  // namespace hw
