#include "qt/recovery_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace hw {

namespace {

int WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

std::string TemporaryFor(const std::string& name) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    bits = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL ^
           static_cast<uint64_t>(::time(nullptr));
  }
  std::string out = "." + name + ".tmp-";
  for (int i = 0; i < 8; ++i) {
    out += letters[bits % 36];
    bits /= 36;
  }
  return out;
}

// Why a folder may not be used, or "".
std::string Untrusted(const std::string& path, const struct stat& st) {
  if (st.st_uid != ::geteuid()) return "recovery is off: '" + path + "' is not yours";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return "recovery is off: '" + path + "' is writable by others";
  return "";
}

std::string Parent(const std::string& path) {
  const size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return "/";
  const size_t slash = path.find_last_of('/', end);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// mkdir -p with mode 0700 for what is missing; what exists is left as it is.
int MakeFolders(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT) return errno;
  const std::string parent = Parent(path);
  if (parent != path) {
    if (const int err = MakeFolders(parent); err != 0) return err;
  }
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return 0;
}

}  // namespace

std::string RecoveryCause(int err) {
  switch (err) {
    case ENOSPC:
      return "the disk is full";
    case EDQUOT:
      return "the disk quota is used up";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EROFS:
      return "the file system is read-only";
    default:
      return std::strerror(err);
  }
}

int SystemRecoveryFiles::WriteNew(int dir, const std::string& name,
                                  std::span<const uint8_t> bytes) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = TemporaryFor(name);
    fd = ::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  int err = ::fchmod(fd, 0600) == 0 ? 0 : errno;  // whatever the umask
  if (err == 0) err = WriteAll(fd, bytes.data(), bytes.size());
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) err = errno;
  if (err != 0) ::unlinkat(dir, temporary.c_str(), 0);
  return err;
}

RecoveryFolder::RecoveryFolder(RecoveryFolder&& other) noexcept
    : fd(other.fd), off(std::move(other.off)) {
  other.fd = -1;
}

RecoveryFolder& RecoveryFolder::operator=(RecoveryFolder&& other) noexcept {
  if (this != &other) {
    if (fd >= 0) ::close(fd);
    fd = other.fd;
    off = std::move(other.off);
    other.fd = -1;
  }
  return *this;
}

RecoveryFolder::~RecoveryFolder() {
  if (fd >= 0) ::close(fd);
}

RecoveryFolder OpenRecoveryFolder(const std::string& path, bool create) {
  RecoveryFolder folder;
  if (create) {
    if (const int err = MakeFolders(path); err != 0) {
      folder.off = "recovery is off: cannot make '" + path + "': " + RecoveryCause(err);
      return folder;
    }
  }
  const std::string parent = Parent(path);
  const int up = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (up < 0) {
    folder.off = "recovery is off: cannot open '" + parent + "': " + RecoveryCause(errno);
    return folder;
  }
  struct stat st {};
  if (::fstat(up, &st) != 0) {
    folder.off = "recovery is off: cannot open '" + parent + "': " + RecoveryCause(errno);
    ::close(up);
    return folder;
  }
  if (std::string why = Untrusted(parent, st); !why.empty()) {
    folder.off = std::move(why);
    ::close(up);
    return folder;
  }
  // The folder itself is never reached through a link.
  std::string base = path.substr(parent.size() == 1 && parent == "/" ? 1 : parent.size() + 1);
  while (!base.empty() && base.back() == '/') base.pop_back();
  const int fd = ::openat(up, base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  const int open_err = errno;
  ::close(up);
  if (fd < 0) {
    struct stat link {};
    if (open_err == ELOOP || open_err == ENOTDIR) {
      if (::lstat(path.c_str(), &link) == 0 && link.st_uid != ::geteuid()) {
        folder.off = "recovery is off: '" + path + "' is not yours";
      } else {
        folder.off = "recovery is off: '" + path + "' is not a folder";
      }
    } else {
      folder.off = "recovery is off: cannot open '" + path + "': " + RecoveryCause(open_err);
    }
    return folder;
  }
  if (::fstat(fd, &st) != 0 || !(folder.off = Untrusted(path, st)).empty()) {
    if (folder.off.empty()) folder.off = "recovery is off: cannot open '" + path + "'";
    ::close(fd);
    return folder;
  }
  folder.fd = fd;
  return folder;
}

std::optional<int64_t> OwnRegularFile(int dir, const std::string& name) {
  struct stat st {};
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return std::nullopt;
  return static_cast<int64_t>(st.st_mtim.tv_sec);
}

std::optional<std::vector<uint8_t>> ReadOwnFile(int dir, const std::string& name,
                                                size_t max_bytes) {
  const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::vector<uint8_t>> out;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
      static_cast<uint64_t>(st.st_size) <= max_bytes) {
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + at, bytes.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    bytes.resize(at);
    out = std::move(bytes);
  }
  ::close(fd);
  return out;
}

std::vector<std::string> FolderNames(int dir) {
  std::vector<std::string> names;
  const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(d)) names.emplace_back(entry->d_name);
  ::closedir(d);
  return names;
}

}  // namespace hw
