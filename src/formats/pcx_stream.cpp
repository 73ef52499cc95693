// Reads a PCX file through plain reads into the decoder's one reused buffer: no
// mapping, so a file that shrinks underneath shows as a short read, not a signal.
#include "formats/pcx_stream.h"

#include <algorithm>

namespace hw {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

PcxFileRows::~PcxFileRows() = default;

Result<std::unique_ptr<PcxFileRows>> PcxFileRows::Open(const std::string& path,
                                                       size_t input_bytes) {
  auto file = FileReader::Open(path);
  if (!file) return file.error();
  std::unique_ptr<PcxFileRows> rows(new PcxFileRows(std::move(*file)));
  rows->path_ = path;
  FileReader& reader = rows->file_;
  const uint64_t file_size = reader.size();

  uint8_t head[kPcxHeaderSize];
  auto got = reader.ReadAt(0, head);
  if (!got) return got.error();
  if (file_size >= kPaletteBytes) {
    auto pal = reader.ReadAt(
        file_size - kPaletteBytes,
        std::span<uint8_t>(reinterpret_cast<uint8_t*>(rows->palette_.data()), kPaletteBytes));
    if (!pal) return pal.error();
  }
  rows->offset_ = kPcxHeaderSize;
  PcxFileRows* self = rows.get();
  auto decoder = PcxRowDecoder::Open(
      std::span<const uint8_t>(head, std::min<size_t>(*got, sizeof head)), file_size,
      [self](std::span<uint8_t> into) -> Result<size_t> {
        auto n = self->file_.ReadAt(self->offset_, into);
        if (n) self->offset_ += *n;
        return n;
      },
      input_bytes);
  if (!decoder) return Error{"cannot load " + Quoted(path) + ": " + decoder.error().message};
  rows->decoder_ = std::make_unique<PcxRowDecoder>(std::move(*decoder));
  return rows;
}

Result<int32_t> PcxFileRows::ReadRows(std::span<uint8_t> out) {
  auto rows = decoder_->ReadRows(out);
  if (!rows) return Error{"cannot load " + Quoted(path_) + ": " + rows.error().message};
  return rows;
}

}  // namespace hw
