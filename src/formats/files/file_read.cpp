// Bounded reads of plain files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "base/faults.h"
#include "formats/files/file_handle.h"
#include "formats/files/file_io.h"

namespace hw {

using file_io::Cause;
using file_io::Fd;

namespace {

Result<struct stat> OpenForReading(const std::string& path, Fd& fd) {
  int raw;
  do {
    // Non-blocking, so that opening a named pipe cannot wait for a writer.
    raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) return CannotLoad(path, Cause(errno));
  fd.Reset(raw);
  struct stat st {};
  if (::fstat(raw, &st) != 0) return CannotLoad(path, Cause(errno));
  if (S_ISDIR(st.st_mode)) return CannotLoad(path, Cause(EISDIR));
  // Pictures are plain files; devices and pipes could block or never end.
  if (!S_ISREG(st.st_mode)) return CannotLoad(path, "not a regular file");
  return st;
}

}  // namespace

Result<FileReader> FileReader::Open(const std::string& path) {
  Fd fd;
  auto st = OpenForReading(path, fd);
  if (!st) return st.error();
  const int raw = fd.get();
  fd.Release();
  // Readers that take a file a piece at a time mostly go from start to end.
  ::posix_fadvise(raw, 0, 0, POSIX_FADV_SEQUENTIAL);
  return FileReader(raw, static_cast<uint64_t>(st->st_size), path);
}

FileReader::FileReader(FileReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      position_(other.position_),
      path_(std::move(other.path_)) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    position_ = other.position_;
    path_ = std::move(other.path_);
  }
  return *this;
}

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

Result<size_t> FileReader::Read(std::span<uint8_t> into) {
  auto got = ReadAt(position_, into);
  if (got) position_ += *got;
  return got;
}

Result<size_t> FileReader::ReadAt(uint64_t offset, std::span<uint8_t> into) {
  size_t got = 0;
  // Never past the size the file had when opened.
  const uint64_t left = offset < size_ ? size_ - offset : 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(into.size(), left));
  while (got < want) {
    const ssize_t n = ::pread(fd_, into.data() + got, want - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return CannotLoad(path_, Cause(errno));
    }
    if (n == 0) break;  // the file shrank
    got += static_cast<size_t>(n);
  }
  return got;
}

Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path, uint64_t max_bytes) {
  auto file = FileReader::Open(path);
  if (!file) return file.error();
  return file->ReadAll(max_bytes);
}

Result<std::vector<uint8_t>> FileReader::ReadAll(uint64_t max_bytes) {
  if (size_ > max_bytes) {
    return CannotLoad(path_, "file is too large (" + std::to_string(size_) + " bytes, at most " +
                                 std::to_string(max_bytes) + ")");
  }
  std::vector<uint8_t> bytes = AllocateBuffer<uint8_t>(static_cast<size_t>(size_));
  const auto read_at = [this](uint8_t* into, size_t count, uint64_t offset) -> Result<size_t> {
    for (;;) {
      const ssize_t n = ::pread(fd_, into, count, static_cast<off_t>(offset));
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) return CannotLoad(path_, Cause(errno));
    }
  };
  size_t got = 0;
  while (got < bytes.size()) {
    auto n = read_at(bytes.data() + got, bytes.size() - got, got);
    if (!n) return n.error();
    if (*n == 0) break;
    got += *n;
  }
  if (got < bytes.size()) {
    bytes.resize(got);  // the file shrank since it was opened
    return bytes;
  }
  // The file may also have grown meanwhile: read on to its end, within the bound.
  uint8_t chunk[65536];
  for (;;) {
    auto n = read_at(chunk, sizeof chunk, bytes.size());
    if (!n) return n.error();
    if (*n == 0) break;
    if (bytes.size() + *n > max_bytes) {
      return CannotLoad(path_,
                        "file is too large (more than " + std::to_string(max_bytes) + " bytes)");
    }
    bytes.insert(bytes.end(), chunk, chunk + *n);
  }
  return bytes;
}

Result<std::vector<uint8_t>> ReadFileTail(const std::string& path, size_t count) {
  Fd fd;
  auto st = OpenForReading(path, fd);
  if (!st) return st.error();
  const uint64_t size = static_cast<uint64_t>(st->st_size);
  const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size));
  std::vector<uint8_t> bytes(n);
  size_t got = 0;
  while (got < n) {
    const ssize_t r =
        ::pread(fd.get(), bytes.data() + got, n - got, static_cast<off_t>(size - n + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return CannotLoad(path, Cause(errno));
    }
    if (r == 0) return CannotLoad(path, "the file shrank while being read");
    got += static_cast<size_t>(r);
  }
  return bytes;
}

}  // namespace hw
