// Reading and saving whole files without ever losing the user's data.
//
// Reads are bounded and refuse anything but plain files. A save either
//  - replaces the file through a temporary in the same folder (an unnamed O_TMPFILE
//    where the file system has them, else ".NAME.hw-save-XXXXXX", which a killed save
//    can leave behind and the next save of NAME removes once it is a day old), so a
//    crash leaves the old file or the complete new one, never a mixture; the new file
//    keeps the old one's mode, owner and group as far as the system allows, and its
//    ACL and extended attributes, or the save is refused; or
//  - writes over the file in place, when the file has other hard links (replacing it
//    would part them from the new content) or its folder may not be written (there is
//    nowhere to put a temporary). Not crash-safe: an interruption can leave a mixture;
//    the complete new content is built in memory and the disk space it needs reserved
//    before the first byte is written (a save the disk cannot hold is refused).
// Targets that are not plain files (folders, devices, pipes, sockets) are refused, as
// are files the user may not write. Symbolic links are followed, also to a file that
// does not exist yet.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"

namespace hw {

// Reads a whole file. Files above max_bytes are refused before reading.
Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path,
                                           uint64_t max_bytes = uint64_t{1} << 31);

// Reads the last `count` bytes of a file (the whole file when it is shorter) without
// reading the rest, so the size of the file does not matter.
Result<std::vector<uint8_t>> ReadFileTail(const std::string& path, size_t count);

// A plain file opened for reading, for readers that take it a piece at a time:
// refuses what ReadFileBytes refuses, and reads in order or at offsets.
class FileReader {
 public:
  static Result<FileReader> Open(const std::string& path);
  FileReader(FileReader&& other) noexcept;
  FileReader& operator=(FileReader&& other) noexcept;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  // The size when opened; a file that changes meanwhile reads short, never past.
  uint64_t size() const { return size_; }
  // Fills `into` from the current position as far as the file goes; returns the
  // count, less than asked only at the end of the file.
  Result<size_t> Read(std::span<uint8_t> into);
  // The same at an offset, leaving the current position alone.
  Result<size_t> ReadAt(uint64_t offset, std::span<uint8_t> into);
  // The whole file as it is now, from its start (to its end even when it grew since
  // it was opened); a file above max_bytes is refused, as ReadFileBytes refuses it.
  Result<std::vector<uint8_t>> ReadAll(uint64_t max_bytes = uint64_t{1} << 31);

 private:
  FileReader(int fd, uint64_t size, std::string path)
      : fd_(fd), size_(size), path_(std::move(path)) {}
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  std::string path_;
};

// How a successful save reached the disk.
enum class SaveMethod {
  kReplaced,  // through a temporary file renamed over the target: crash-safe
  kInPlace,   // written over the existing file: see above
};

// Saves bytes to path as described above; on failure the old file is untouched
// (except after a failed in-place write, which the message then says).
Result<SaveMethod> SaveFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Content made a piece at a time: a ContentWriter hands each piece to `put` in
// order and returns put's first error, or its own when it cannot go on.
using ContentPut = std::function<Status(std::span<const uint8_t>)>;
using ContentWriter = std::function<Status(const ContentPut& put)>;

// Saves as SaveFileBytes does, the content coming from `write` while it is made: a
// save that replaces the file writes each piece straight into the temporary, so
// nothing of the file's size is held in memory. A save in place collects the whole
// content first (calling `write` again when the need shows only after a temporary
// was written). When `write` fails the old file is untouched and its error is
// returned as it is.
Result<SaveMethod> SaveFileStreamed(const std::string& path, const ContentWriter& write);

// The same, for callers that only need to know whether it worked.
Status WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace hw
