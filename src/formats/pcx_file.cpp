// File access under the PCX codec: whole-file reads with a size bound, and writes
// that go to a temporary file first so a failed save never damages the target.
#include "formats/pcx_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace hw {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }
std::string Cause(int err) { return std::strerror(err); }

// Closes a descriptor on scope exit unless released.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const uint8_t* data, size_t size, int& err) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (n == 0) {
      err = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is replaced through: the file it points at gets the new content.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf) != nullptr) return buf;
  }
  return path;
}

}  // namespace

Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path, uint64_t max_bytes) {
  int fd;
  do {
    // Non-blocking, so that opening a named pipe cannot wait for a writer.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Error{"cannot open " + Quoted(path) + ": " + Cause(errno)};
  Fd guard(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Error{"cannot read " + Quoted(path) + ": " + Cause(errno)};
  if (S_ISDIR(st.st_mode)) return Error{"cannot read " + Quoted(path) + ": " + Cause(EISDIR)};
  // Pictures are plain files; devices and pipes could block or never end.
  if (!S_ISREG(st.st_mode)) return Error{"cannot read " + Quoted(path) + ": not a regular file"};
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    return Error{"cannot read " + Quoted(path) + ": file is too large (" +
                 std::to_string(st.st_size) + " bytes, at most " + std::to_string(max_bytes) + ")"};
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(st.st_size));
  // Read until end of file; the size may differ from what fstat said if the file
  // changes meanwhile.
  uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error{"cannot read " + Quoted(path) + ": " + Cause(errno)};
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<uint64_t>(n) > max_bytes) {
      return Error{"cannot read " + Quoted(path) + ": file is too large (more than " +
                   std::to_string(max_bytes) + " bytes)"};
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

Status WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string fail = "cannot save " + Quoted(path) + ": ";
  if (path.empty() || path.back() == '/') return Error{fail + "not a file name"};
  const std::string target = ResolveTarget(path);
  const std::string dir = DirectoryOf(target);

  // The new file keeps the permissions of the one it replaces; a new file gets the
  // usual 0666 less the umask.
  mode_t mode;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Error{fail + Cause(EISDIR)};
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  std::string temp = dir + "/." + BaseOf(target) + ".tmp-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return Error{fail + "cannot create a temporary file in " + Quoted(dir) + ": " + Cause(errno)};
  Fd guard(fd);
  auto abandon = [&](const std::string& what, int err) -> Status {
    ::close(guard.release());
    ::unlink(temp.c_str());
    return Error{fail + what + Cause(err)};
  };

  int err = 0;
  if (!WriteAll(fd, bytes.data(), bytes.size(), err)) return abandon("", err);
  if (::fchmod(fd, mode) != 0) return abandon("", errno);
  if (::fsync(fd) != 0) return abandon("", errno);
  if (::close(guard.release()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    return Error{fail + Cause(e)};
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    return Error{fail + Cause(e)};
  }
  // Make the rename itself durable; a failure here no longer endangers either file.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return Ok{};
}

Result<PcxPicture> LoadPcxFile(const std::string& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return bytes.error();
  auto pic = DecodePcx(*bytes);
  if (!pic) return Error{"cannot load " + Quoted(path) + ": " + pic.error().message};
  return pic;
}

Result<Palette> LoadPaletteFile(const std::string& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return bytes.error();
  auto pal = ReadPcxPalette(*bytes);
  if (!pal) return Error{"cannot load a palette from " + Quoted(path) + ": " + pal.error().message};
  return pal;
}

Status SavePcxFile(const std::string& path, PcxHeader& header, const std::vector<uint8_t>& pixels,
                   const Palette& palette) {
  auto bytes = WritePcx(header, pixels, palette);
  if (!bytes) return Error{"cannot save " + Quoted(path) + ": " + bytes.error().message};
  return WriteFileReplacing(path, *bytes);
}

}  // namespace hw
