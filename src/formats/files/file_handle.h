// What the file layer's reads and saves share: messages' parts and a descriptor
// that closes itself.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace hw::file_io {

inline std::string Cause(int err) { return std::strerror(err); }

// Closes a descriptor on scope exit.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Gives up the descriptor without closing it.
  void Release() { fd_ = -1; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now and reports the error close gives (0 for none); write errors of
  // some file systems only show here.
  int Close() {
    int err = 0;
    if (fd_ >= 0 && ::close(fd_) != 0 && errno != EINTR) err = errno;
    fd_ = -1;
    return err;
  }

 private:
  int fd_;
};

}  // namespace hw::file_io
