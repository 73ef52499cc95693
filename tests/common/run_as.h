// Runs a piece of a test in a forked child, optionally as an unprivileged user, and
// hands back the text it returns. Tests that must see what another user sees (root
// ignores file permissions) drop to uid and gid 65534 this way.
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace hw::test {

inline constexpr uid_t kOtherUser = 65534;
inline constexpr gid_t kOtherGroup = 65534;

inline bool IsRoot() { return ::geteuid() == 0; }

struct ChildOutcome {
  int status = -1;   // as from waitpid
  std::string text;  // what the child's function returned
  bool Exited() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs fn in a child process, as kOtherUser when as_other_user is set (which needs
// root). The child leaves with _exit, so nothing of the parent (such as a TempDir)
// is cleaned up twice.
inline ChildOutcome RunInChild(const std::function<std::string()>& fn, bool as_other_user) {
  int fds[2];
  if (::pipe(fds) != 0) return {-1, "pipe failed"};
  const pid_t pid = ::fork();
  if (pid < 0) return {-1, "fork failed"};
  if (pid == 0) {
    ::close(fds[0]);
    std::string text;
    if (as_other_user &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(kOtherGroup, kOtherGroup, kOtherGroup) != 0 ||
         ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)) {
      text = "cannot become the other user";
    } else {
      text = fn();
    }
    for (size_t at = 0; at < text.size();) {
      const ssize_t n = ::write(fds[1], text.data() + at, text.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildOutcome out;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    out.text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  ::waitpid(pid, &out.status, 0);
  return out;
}

inline ChildOutcome RunAsOtherUser(const std::function<std::string()>& fn) {
  return RunInChild(fn, true);
}

}  // namespace hw::test
