// Saves; see file_io.h for what a save promises.
#include "formats/files/file_io.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "base/faults.h"
#include "formats/files/file_handle.h"

namespace hw {

using file_io::Cause;
using file_io::Fd;

namespace {

// Writes in pieces so that a test can follow (and stop) a long save.
constexpr size_t kWritePiece = size_t{1} << 20;

// Writes everything; returns 0 or the errno of the failure. `written` counts the
// bytes of the whole save so far.
int WriteAll(int fd, const uint8_t* data, size_t size, uint64_t& written) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, std::min(size, kWritePiece));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<size_t>(n);
    written += static_cast<uint64_t>(n);
    faults::ReportWriteProgress(written);
  }
  return 0;
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

std::string KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "not a regular file (a named pipe)";
  if (S_ISCHR(mode)) return "not a regular file (a character device)";
  if (S_ISBLK(mode)) return "not a regular file (a block device)";
  if (S_ISSOCK(mode)) return "not a regular file (a socket)";
  return "not a regular file";
}

// Follows symbolic links in the last part of the path to the name they finally
// lead to, which need not exist yet: saving through a dangling link creates the
// file it points at. Links in the folders above are left to the kernel.
Result<std::string> FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string to(4096, '\0');
    ssize_t n;
    for (;;) {
      n = ::readlink(at.c_str(), to.data(), to.size());
      if (n < 0) return Error{Cause(errno)};
      if (static_cast<size_t>(n) < to.size() || to.size() >= (size_t{1} << 20)) break;
      to.resize(to.size() * 2);
    }
    to.resize(static_cast<size_t>(n));
    if (to.empty()) return Error{Cause(ENOENT)};
    at = to[0] == '/' ? to : DirectoryOf(at) + "/" + to;
  }
  return Error{Cause(ELOOP)};
}

// Temporaries are named after their target, ".NAME.hw-save-XXXXXX", so that one a
// killed save leaves behind says what it was for, and the next save of that target
// can find it. NAME is cut short (between characters) where the whole would pass
// the longest name a folder allows.
constexpr size_t kLongestName = 255;
constexpr std::string_view kTemporaryMark = ".hw-save-";
constexpr size_t kTemporaryTail = 6;
constexpr std::string_view kTemporaryLetters = "abcdefghijklmnopqrstuvwxyz0123456789";

std::string TemporaryPrefix(const std::string& target_name) {
  size_t keep =
      std::min(target_name.size(), kLongestName - 1 - kTemporaryMark.size() - kTemporaryTail);
  // Not in the middle of a UTF-8 sequence: back up over its continuation bytes.
  while (keep > 0 && keep < target_name.size() &&
         (static_cast<unsigned char>(target_name[keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return "." + target_name.substr(0, keep) + std::string(kTemporaryMark);
}

std::string TemporaryName(const std::string& target_name) {
  static std::atomic<uint64_t> counter{0};
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    bits = (static_cast<uint64_t>(ts.tv_nsec) << 20) ^ static_cast<uint64_t>(ts.tv_sec) ^
           (static_cast<uint64_t>(::getpid()) << 40);
  }
  bits += counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL;
  std::string name = TemporaryPrefix(target_name);
  for (size_t i = 0; i < kTemporaryTail; ++i) {
    name += kTemporaryLetters[bits % kTemporaryLetters.size()];
    bits /= kTemporaryLetters.size();
  }
  return name;
}

// Removes what earlier saves of this target left when they were killed: files named
// exactly as TemporaryName names them for it and last written more than a day ago
// (a save still writing keeps its temporary's time fresh). Nothing else is touched;
// a folder that cannot be listed is left alone.
void RemoveStaleTemporaries(int dfd, const std::string& target_name) {
  const int fd = ::openat(dfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return;
  }
  const std::string prefix = TemporaryPrefix(target_name);
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() != prefix.size() + kTemporaryTail || !name.starts_with(prefix) ||
        name.find_first_not_of(kTemporaryLetters, prefix.size()) != std::string_view::npos) {
      continue;
    }
    struct stat st {};
    if (::fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        now.tv_sec - st.st_mtim.tv_sec > 24 * 60 * 60) {
      stale.emplace_back(name);
    }
  }
  ::closedir(dir);
  for (const std::string& name : stale) ::unlinkat(dfd, name.c_str(), 0);
}

struct AclFree {
  void operator()(void* p) const { ::acl_free(p); }
};
using Acl = std::unique_ptr<std::remove_pointer_t<acl_t>, AclFree>;

// What a replacing file takes over from the file it replaces.
struct OldFile {
  struct stat st {};
  Acl acl;  // only an ACL with more than the mode says; null for none
  std::vector<std::pair<std::string, std::string>> attributes;  // name and value, ACLs apart
  std::string unreadable;  // why they could not all be read; "" when they were
};

// Reads an extended attribute's value or the list of names through `get`, growing
// the buffer while the value grows under it. Returns false with errno set.
template <class Get>
bool ReadGrowing(std::string& into, const Get& get) {
  for (;;) {
    const ssize_t size = get(nullptr, 0);
    if (size < 0) return false;
    into.resize(static_cast<size_t>(size));
    if (size == 0) return true;
    const ssize_t n = get(into.data(), into.size());
    if (n >= 0) {
      into.resize(static_cast<size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

constexpr const char* kAccessAcl = "system.posix_acl_access";
constexpr const char* kDefaultAcl = "system.posix_acl_default";

// Reads the ACL and extended attributes of the file about to be replaced, before
// anything is written. What cannot be read stops a save that replaces the file, not
// one in place, which keeps them anyway. The file is reached through /proc when it
// can be, as it may be one the saver can write but not open for reading.
OldFile ReadOldFile(int dfd, const std::string& name, const std::string& target,
                    const struct stat& st) {
  OldFile old;
  old.st = st;
  const auto fail = [&old](std::string why) {
    old.unreadable = std::move(why);
    return std::move(old);
  };
  Fd file(::openat(dfd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!file.ok()) return fail(Cause(errno));
  std::string at = "/proc/self/fd/" + std::to_string(file.get());
  if (::access(at.c_str(), F_OK) != 0) at = target;
  std::string names;
  const auto list = [&](char* buf, size_t size) { return ::listxattr(at.c_str(), buf, size); };
  if (!ReadGrowing(names, list)) {
    if (errno == EOPNOTSUPP || errno == ENOSYS) return old;
    return fail("cannot keep its extended attributes: " + Cause(errno));
  }
  for (size_t pos = 0; pos < names.size();) {
    const std::string attr = names.c_str() + pos;
    pos += attr.size() + 1;
    if (attr.empty() || attr == kDefaultAcl) continue;
    if (attr == kAccessAcl) {
      Acl acl(::acl_get_file(at.c_str(), ACL_TYPE_ACCESS));
      if (!acl) return fail("cannot keep its access control list: " + Cause(errno));
      if (::acl_equiv_mode(acl.get(), nullptr) != 0) old.acl = std::move(acl);
      continue;
    }
    std::string value;
    if (!ReadGrowing(value, [&](char* buf, size_t size) {
          return ::getxattr(at.c_str(), attr.c_str(), buf, size);
        })) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return fail("cannot keep its extended attribute '" + attr + "': " + Cause(errno));
    }
    old.attributes.emplace_back(attr, std::move(value));
  }
  return old;
}

// Gives the new file the replaced one's owner, group, permissions, ACL and extended
// attributes; returns what could not be kept, or "". A file whose owner cannot be
// kept becomes the saver's, and then loses setuid and setgid: those bits must never
// pass to another owner. The ACL goes on before the mode, while the file is still
// private: with an ACL the group bits of the mode are its mask, and the mode alone
// on a file without the ACL would give them to the owning group. An ACL the new file
// took from its folder's default is dropped: the old file did not have it. Extended
// attributes come last, as changing the owner drops some of them.
std::string KeepAttributes(int fd, const OldFile& old) {
  mode_t mode = old.st.st_mode & 07777;
  const bool owner_kept = ::fchown(fd, old.st.st_uid, static_cast<gid_t>(-1)) == 0;
  const bool group_kept = ::fchown(fd, static_cast<uid_t>(-1), old.st.st_gid) == 0;
  if (!owner_kept) mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  if (!group_kept) mode &= ~static_cast<mode_t>(S_ISGID);
  if (old.acl) {
    if (::acl_set_fd(fd, old.acl.get()) != 0)
      return "cannot keep its access control list: " + Cause(errno);
  } else if (::fremovexattr(fd, kAccessAcl) != 0 && errno != ENODATA && errno != EOPNOTSUPP) {
    return "cannot drop the access control list its folder gives new files: " + Cause(errno);
  }
  if (::fchmod(fd, mode) != 0) return Cause(errno);
  std::string now;
  for (const auto& [attr, value] : old.attributes) {
    // Some are set by the system itself (a security label); equal ones are left alone.
    const std::string& name = attr;  // a structured binding cannot be captured everywhere
    const auto get = [&](char* buf, size_t size) {
      return ::fgetxattr(fd, name.c_str(), buf, size);
    };
    if (ReadGrowing(now, get) && now == value) continue;
    if (::fsetxattr(fd, attr.c_str(), value.data(), value.size(), 0) != 0)
      return "cannot keep its extended attribute '" + attr + "': " + Cause(errno);
  }
  return "";
}

bool NoUnnamedTemporaries(int err) {
  return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOENT;
}

bool FolderRefusesWrites(int err) { return err == EACCES || err == EPERM; }

// A temporary beside the target holding the complete new content, flushed to disk
// and under a name in the folder. On failure nothing is left in the folder.
struct Temporary {
  std::string name;  // empty when the step failed
  int err = 0;
  std::optional<Error> content_error;  // the content writer's own failure, when it failed
  std::string keep_error;              // what of the old file could not be kept, when that failed
  bool creating = false;               // the failure was in making the file at all
  bool linking = false;                // an unnamed file was complete but could not be given a name
};

// Links an unnamed temporary into the folder under a fresh temporary name.
int LinkUnnamed(int fd, int dfd, const std::string& target_name, std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(target_name);
    if (::linkat(AT_FDCWD, self.c_str(), dfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno == EEXIST) continue;
    const int err = errno;
    // Without /proc, a privileged process can still link the descriptor itself.
    if (::linkat(fd, "", dfd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) continue;
    return err;
  }
  return EEXIST;
}

Temporary WriteTemporary(int dfd, const std::string& target_name, const ContentWriter& write,
                         const OldFile* old, bool unnamed) {
  Temporary t;
  // A new file gets 0666 less the umask (and any default ACL of the folder) from
  // the kernel; a replacing one starts private and gets the old permissions below.
  const mode_t create_mode = old != nullptr ? 0600 : 0666;
  Fd fd;
  std::string name;
  if (unnamed) {
    if (faults::UnnamedTemporariesShouldFail()) {
      t.err = EOPNOTSUPP;
    } else {
      fd.Reset(::openat(dfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, create_mode));
      if (!fd.ok()) t.err = errno;
    }
  } else {
    RemoveStaleTemporaries(dfd, target_name);
    for (int attempt = 0; attempt < 100 && !fd.ok(); ++attempt) {
      name = TemporaryName(target_name);
      fd.Reset(::openat(dfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        create_mode));
      if (!fd.ok() && errno != EEXIST) break;
    }
    if (!fd.ok()) t.err = errno;
  }
  if (!fd.ok()) {
    t.creating = true;
    return t;
  }
  bool in_folder = !unnamed;
  int err = 0;
  // Checked only now: where no temporary can be made, the save goes in place.
  if (old != nullptr && !old->unreadable.empty()) {
    t.keep_error = old->unreadable;
    err = EPERM;
  }
  uint64_t written = 0;
  if (err == 0) {
    const Status made = write([&](std::span<const uint8_t> piece) -> Status {
      err = WriteAll(fd.get(), piece.data(), piece.size(), written);
      if (err != 0) return Error{Cause(err)};
      return Ok{};
    });
    if (!made && err == 0) {
      t.content_error = made.error();
      err = EIO;
    }
  }
  if (err == 0 && old != nullptr) {
    t.keep_error = KeepAttributes(fd.get(), *old);
    if (!t.keep_error.empty()) err = EPERM;
  }
  if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
  if (err == 0 && unnamed) {
    err = LinkUnnamed(fd.get(), dfd, target_name, name);
    in_folder = err == 0;
    t.linking = err != 0;
  }
  const int close_err = fd.Close();
  if (err == 0) err = close_err;
  if (err != 0) {
    if (in_folder) ::unlinkat(dfd, name.c_str(), 0);
    t.err = err;
    return t;
  }
  t.name = name;
  return t;
}

// Makes sure the disk holds the file at `size` bytes before any old byte is
// overwritten. fallocate in mode 0 allocates whatever the file lacks up to that size
// (the part beyond its end, and any holes) and never touches the data already there;
// posix_fallocate is not used, as where the file system cannot allocate it writes
// zeros over the file instead. Where allocating is not supported, a file that does
// not grow reuses its own blocks and goes ahead. Returns 0 or the errno; a failed
// reservation leaves the file at its old size.
int ReserveInPlace(int fd, off_t old_size, uint64_t size) {
  if (size == 0) return 0;
  int r;
  do {
    r = ::fallocate(fd, 0, 0, static_cast<off_t>(size));
  } while (r != 0 && errno == EINTR);
  if (r == 0) return 0;
  const int err = errno == ENOSYS ? EOPNOTSUPP : errno;
  if (err == EOPNOTSUPP && size <= static_cast<uint64_t>(old_size)) return 0;
  // Some file systems keep what they managed to allocate, and extend the file by it.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size != old_size) (void)::ftruncate(fd, old_size);
  return err;
}

// Writes over the existing file. The old content is overwritten from the start and
// what is left beyond the new end is cut off afterwards, rather than emptying the
// file first: the old file's blocks are reused, and the rest is reserved before the
// first write, so the save cannot run out of space half way.
Result<SaveMethod> WriteInPlace(const std::string& path, int dfd, const std::string& name,
                                const std::vector<uint8_t>& bytes) {
  Fd fd(::openat(dfd, name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.ok()) return CannotSave(path, Cause(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return CannotSave(path, Cause(errno));
  if (!S_ISREG(st.st_mode)) return CannotSave(path, KindOf(st.st_mode));
  ::fcntl(fd.get(), F_SETFL, 0);
  if (const int err = ReserveInPlace(fd.get(), st.st_size, bytes.size()); err != 0) {
    if (err == EOPNOTSUPP) {
      return CannotSave(path,
                        "the file must be written in place, and its file system cannot set aside "
                        "room for the larger new content first (the file was left as it was)");
    }
    return CannotSave(path,
                      Cause(err) +
                          " (the file must be written in place, and the disk cannot hold the new "
                          "content; the file was left as it was)");
  }
  uint64_t written = 0;
  int err = WriteAll(fd.get(), bytes.data(), bytes.size(), written);
  if (err == 0 && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) err = errno;
  if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
  const int close_err = fd.Close();
  if (err == 0) err = close_err;
  if (err != 0) {
    return CannotSave(
        path, Cause(err) + " (the file was being written in place and may now be incomplete)");
  }
  return SaveMethod::kInPlace;
}

// Opens a file for reading and checks that it is a regular file.
}  // namespace

namespace {

// The whole content of a writer, for a save in place.
Result<std::vector<uint8_t>> Collect(const ContentWriter& write) {
  std::vector<uint8_t> bytes;
  const Status made = write([&](std::span<const uint8_t> piece) -> Status {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
    return Ok{};
  });
  if (!made) return made.error();
  return bytes;
}

Result<SaveMethod> CollectAndWriteInPlace(const std::string& path, int dfd, const std::string& name,
                                          const ContentWriter& write) {
  auto bytes = Collect(write);
  if (!bytes) return bytes.error();
  return WriteInPlace(path, dfd, name, *bytes);
}

}  // namespace

Result<SaveMethod> SaveFileStreamed(const std::string& path, const ContentWriter& write) {
  if (path.empty() || path.back() == '/') return CannotSave(path, "not a file name");
  auto followed = FollowLinks(path);
  if (!followed) return Within(followed.error(), "save", path);
  const std::string& target = *followed;
  if (target.back() == '/') return CannotSave(path, Cause(EISDIR));
  const std::string dir = DirectoryOf(target), name = BaseOf(target);

  // The folder is opened once and every later step works relative to it.
  Fd dfd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dfd.ok() && errno == EACCES) {
    // A folder that may be passed through but not listed.
    dfd.Reset(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
  if (!dfd.ok()) return CannotSave(path, Cause(errno));

  struct stat st {};
  const bool exists = ::fstatat(dfd.get(), name.c_str(), &st, 0) == 0;
  if (!exists && errno != ENOENT) return CannotSave(path, Cause(errno));
  if (exists) {
    if (S_ISDIR(st.st_mode)) return CannotSave(path, Cause(EISDIR));
    if (!S_ISREG(st.st_mode)) return CannotSave(path, KindOf(st.st_mode));
    // Replacing goes through the folder, which would let a save past the file's own
    // permissions; refuse what the user could not write directly.
    if (::faccessat(dfd.get(), name.c_str(), W_OK, AT_EACCESS) != 0)
      return CannotSave(path, Cause(errno));
    // Replacing would part the other names from the new content.
    if (st.st_nlink > 1) return CollectAndWriteInPlace(path, dfd.get(), name, write);
  }

  OldFile old;
  if (exists) old = ReadOldFile(dfd.get(), name, target, st);
  Temporary temp = WriteTemporary(dfd.get(), name, write, exists ? &old : nullptr, true);
  if ((temp.creating && NoUnnamedTemporaries(temp.err)) || temp.linking) {
    temp = WriteTemporary(dfd.get(), name, write, exists ? &old : nullptr, false);
  }
  if (temp.creating && exists && FolderRefusesWrites(temp.err)) {
    // No temporary can be made beside a file the user may write: write in place.
    return CollectAndWriteInPlace(path, dfd.get(), name, write);
  }
  if (temp.content_error) return *temp.content_error;
  if (!temp.keep_error.empty()) return CannotSave(path, temp.keep_error);
  if (temp.err != 0) {
    if (temp.creating) {
      return CannotSave(path, "cannot create a file in " + Quoted(dir) + ": " + Cause(temp.err));
    }
    return CannotSave(path, Cause(temp.err));
  }
  if (::renameat(dfd.get(), temp.name.c_str(), dfd.get(), name.c_str()) != 0) {
    const int err = errno;
    ::unlinkat(dfd.get(), temp.name.c_str(), 0);
    // A sticky folder (such as /tmp) lets only the owner replace a file, even one
    // that others may write.
    if (exists && FolderRefusesWrites(err)) {
      return CollectAndWriteInPlace(path, dfd.get(), name, write);
    }
    return CannotSave(path, Cause(err));
  }
  // Makes the rename itself durable; a failure here no longer endangers either file.
  ::fsync(dfd.get());
  return SaveMethod::kReplaced;
}

Result<SaveMethod> SaveFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  return SaveFileStreamed(path, [&bytes](const ContentPut& put) { return put(bytes); });
}

Status WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  auto saved = SaveFileBytes(path, bytes);
  if (!saved) return saved.error();
  return Ok{};
}

}  // namespace hw
