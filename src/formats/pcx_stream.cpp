// Reads a PCX file through plain reads into the decoder's one reused buffer: no
// mapping, so a file that shrinks underneath shows as a short read, not a signal.
#include "formats/pcx_stream.h"

#include <algorithm>

namespace hw {

PcxFileRows::~PcxFileRows() = default;

Result<std::unique_ptr<PcxFileRows>> PcxFileRows::Open(FileReader file, const std::string& path,
                                                       size_t input_bytes) {
  std::unique_ptr<PcxFileRows> rows(new PcxFileRows(std::move(file), path, input_bytes));
  FileReader& reader = rows->file_;
  const uint64_t file_size = reader.size();
  auto got = reader.ReadAt(0, rows->head_);
  if (!got) return got.error();
  rows->head_size_ = *got;
  if (file_size >= kPaletteBytes) {
    auto pal = reader.ReadAt(
        file_size - kPaletteBytes,
        std::span<uint8_t>(reinterpret_cast<uint8_t*>(rows->palette_.data()), kPaletteBytes));
    if (!pal) return pal.error();
  }
  if (auto started = rows->StartDecoder(); !started) return started.error();
  // A low-depth picture's colours are in its header.
  if (PcxIsLowDepth(rows->header())) rows->palette_ = PcxHeaderPalette(rows->header());
  return rows;
}

Status PcxFileRows::StartDecoder() {
  offset_ = kPcxHeaderSize;
  auto decoder = PcxRowDecoder::Open(
      std::span<const uint8_t>(head_).first(head_size_), file_.size(),
      [this](std::span<uint8_t> into) -> Result<size_t> {
        auto n = file_.ReadAt(offset_, into);
        if (n) offset_ += *n;
        return n;
      },
      input_bytes_);
  if (!decoder) return Within(decoder.error(), "load", path_);
  decoder_ = std::make_unique<PcxRowDecoder>(std::move(*decoder));
  return Ok{};
}

Status PcxFileRows::Rewind() { return StartDecoder(); }

Result<int32_t> PcxFileRows::ReadRows(std::span<uint8_t> out) {
  auto rows = decoder_->ReadRows(out);
  if (!rows) return Within(rows.error(), "load", path_);
  return rows;
}

}  // namespace hw
