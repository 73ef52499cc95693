// Reads a PCX file through plain read() calls into the decoder's one reused buffer:
// no mapping, so a file that shrinks underneath shows as a short read, not a signal.
#include "formats/pcx_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hw {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Reads up to size bytes at offset (or at the file position when offset is -1), as
// many as the file has; returns the count or an errno.
Result<size_t> ReadFully(int fd, uint8_t* into, size_t size, off_t offset) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = offset < 0
                          ? ::read(fd, into + got, size - got)
                          : ::pread(fd, into + got, size - got, offset + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error{std::strerror(errno)};
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace

PcxFileRows::~PcxFileRows() {
  if (fd_ >= 0) ::close(fd_);
}

Result<std::unique_ptr<PcxFileRows>> PcxFileRows::Open(const std::string& path,
                                                       size_t input_bytes) {
  std::unique_ptr<PcxFileRows> rows(new PcxFileRows());
  rows->path_ = path;
  do {
    // Non-blocking, so that opening a named pipe cannot wait for a writer.
    rows->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (rows->fd_ < 0 && errno == EINTR);
  if (rows->fd_ < 0) return Error{"cannot open " + Quoted(path) + ": " + std::strerror(errno)};
  const int fd = rows->fd_;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    return Error{"cannot read " + Quoted(path) + ": " + std::strerror(errno)};
  }
  if (S_ISDIR(st.st_mode))
    return Error{"cannot read " + Quoted(path) + ": " + std::strerror(EISDIR)};
  // Pictures are plain files; devices and pipes could block or never end.
  if (!S_ISREG(st.st_mode)) return Error{"cannot read " + Quoted(path) + ": not a regular file"};
  const auto file_size = static_cast<uint64_t>(st.st_size);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  uint8_t head[kPcxHeaderSize];
  auto got = ReadFully(fd, head, sizeof head, 0);
  if (!got) return Error{"cannot read " + Quoted(path) + ": " + got.error().message};
  if (file_size >= kPaletteBytes) {
    auto pal = ReadFully(fd, reinterpret_cast<uint8_t*>(rows->palette_.data()), kPaletteBytes,
                         static_cast<off_t>(file_size - kPaletteBytes));
    if (!pal) return Error{"cannot read " + Quoted(path) + ": " + pal.error().message};
  }
  if (::lseek(fd, static_cast<off_t>(kPcxHeaderSize), SEEK_SET) < 0) {
    return Error{"cannot read " + Quoted(path) + ": " + std::strerror(errno)};
  }
  auto decoder = PcxRowDecoder::Open(
      std::span<const uint8_t>(head, std::min<size_t>(*got, sizeof head)), file_size,
      [fd](std::span<uint8_t> into) { return ReadFully(fd, into.data(), into.size(), -1); },
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
