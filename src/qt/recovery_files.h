// The file work of unsaved-work recovery, kept apart from the keeper so that the
// rules can be tried against a file layer that fails (a full disk). Everything
// happens inside one folder opened once and trusted only when it is the user's
// own: no name in it is ever followed as a link, and nothing of another user's is
// read, offered or replaced.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hw {

class RecoveryFiles {
 public:
  virtual ~RecoveryFiles() = default;
  // Writes `bytes` as `name` in the folder open as `dir`: into a new file made with
  // mode 0600, O_EXCL and O_NOFOLLOW under a temporary name in that folder, flushed,
  // then renamed over `name` (a link planted there is replaced, never followed).
  // 0, or the errno of the failure, after which nothing new is left behind.
  virtual int WriteNew(int dir, const std::string& name, std::span<const uint8_t> bytes) = 0;
};

class SystemRecoveryFiles final : public RecoveryFiles {
 public:
  int WriteNew(int dir, const std::string& name, std::span<const uint8_t> bytes) override;
};

// The recovery folder opened for use: `fd` is -1 and `off` says why when it may not
// be used ("recovery is off: 'DIR' is writable by others", "... is not yours", or
// the cause when it cannot be made or opened).
struct RecoveryFolder {
  int fd = -1;
  std::string off;
  RecoveryFolder() = default;
  RecoveryFolder(RecoveryFolder&& other) noexcept;
  RecoveryFolder& operator=(RecoveryFolder&& other) noexcept;
  RecoveryFolder(const RecoveryFolder&) = delete;
  RecoveryFolder& operator=(const RecoveryFolder&) = delete;
  ~RecoveryFolder();
};

// Opens `path`, creating it and any missing folder above it with mode 0700 when
// `create`. The folder and the one above it must both be the user's and writable
// by nobody else (neither group nor others).
RecoveryFolder OpenRecoveryFolder(const std::string& path, bool create);

// A file in the folder that is a regular file of the user's, not a link; its
// modification time in seconds, or nullopt.
std::optional<int64_t> OwnRegularFile(int dir, const std::string& name);

// Reads such a file whole, at most max_bytes; nullopt for anything else.
std::optional<std::vector<uint8_t>> ReadOwnFile(int dir, const std::string& name, size_t max_bytes);

// The names in the folder.
std::vector<std::string> FolderNames(int dir);

// The cause for an errno, as the file layer words it.
std::string RecoveryCause(int err);

}  // namespace hw
