#include "formats/bmp_stream.h"

#include "base/faults.h"

namespace hw {

Result<int32_t> BmpFileRows::ReadRows(std::span<uint8_t> out) {
  const auto width = static_cast<size_t>(layout_.width);
  const bool in_place = layout_.top_down && layout_.bits_per_pixel == 8 && layout_.stride == width;
  // Rows that go through stored_ are read a slice at a time, so that it stays small.
  const uint64_t most =
      in_place ? out.size() / width
               : std::min<uint64_t>(out.size() / width,
                                    std::max<uint64_t>(1, kSliceBytes / layout_.stride));
  const int32_t n = static_cast<int32_t>(
      std::min<uint64_t>(most, static_cast<uint64_t>(layout_.height - rows_done_)));
  if (n <= 0) return 0;
  // Rows rows_done_ .. rows_done_ + n - 1 from the top are one run of the file,
  // from its first row stored: the top's in a top-down file, else the bottom's.
  const int32_t first_stored = layout_.top_down ? rows_done_ : layout_.height - rows_done_ - n;
  const uint64_t offset =
      layout_.data_offset + static_cast<uint64_t>(first_stored) * layout_.stride;
  const size_t run = static_cast<size_t>(n) * static_cast<size_t>(layout_.stride);
  // The last row stored may lack its padding.
  const size_t needed = run - static_cast<size_t>(layout_.stride) +
                        (width * static_cast<size_t>(layout_.bits_per_pixel) + 7) / 8;
  std::span<uint8_t> into = out.first(std::min(run, out.size()));
  if (!in_place) {
    if (stored_.size() < run) {
      if (faults::AllocationShouldFail()) throw std::bad_alloc();
      stored_.resize(run);
    }
    into = std::span<uint8_t>(stored_).first(run);
  }
  auto got = file_.ReadAt(offset, into);
  if (!got) return got.error();
  if (*got < needed) {
    return CannotLoad(path_, "the BMP's pixel rows end early (the file shrank)");
  }
  if (!in_place) {
    for (int32_t k = 0; k < n; ++k) {
      const int32_t stored_row = layout_.top_down ? k : n - 1 - k;
      UnpackBmpRow(layout_, stored_.data() + static_cast<size_t>(stored_row) * layout_.stride,
                   out.data() + static_cast<size_t>(k) * width);
    }
  }
  rows_done_ += n;
  return n;
}

}  // namespace hw
