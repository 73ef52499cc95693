// Saves that respect the user's files: what is refused, what keeps its owner, mode,
// ACL and extended attributes, what is written in place (and refused when the disk
// cannot hold it), and what survives failing or being killed half way.
#include "formats/files/file_io.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <cstring>

#include "../common/test_util.h"
#include "base/faults.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

Bytes Pattern(size_t n, unsigned seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 2654435761u + seed) >> 11);
  return b;
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

std::string Describe(const Result<SaveMethod>& r) {
  if (!r) return "error: " + r.error().Text();
  return *r == SaveMethod::kReplaced ? "replaced" : "in place";
}

std::string Save(const std::string& path, const Bytes& bytes) {
  return Describe(SaveFileBytes(path, bytes));
}

size_t Count(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// A file of `owner`'s with `mode`, in a folder of `folder_owner`'s (made when missing).
std::string Owned(const std::string& folder, uid_t folder_owner, const std::string& name,
                  uid_t owner, mode_t mode, const Bytes& bytes) {
  if (::mkdir(folder.c_str(), 0755) == 0) {
    ::chown(folder.c_str(), folder_owner, folder_owner == 0 ? 0 : kOtherGroup);
  }
  const std::string path = folder + "/" + name;
  WriteBytes(path, bytes);
  ::chown(path.c_str(), owner, owner == 0 ? 0 : kOtherGroup);
  ::chmod(path.c_str(), mode);
  return path;
}

// Saves `bytes` to `target` in a child that is killed once it has written part of
// them; `entries` are the folder's names while it is stopped.
std::vector<std::string> KillSavePartWay(const TempDir& dir, const std::string& target,
                                         const Bytes& bytes) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    faults::SetWriteProgressHook([](uint64_t) { ::raise(SIGSTOP); });
    static_cast<void>(SaveFileBytes(target, bytes));
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, WUNTRACED);
  EXPECT_TRUE(WIFSTOPPED(status)) << "the save was not stopped part way";
  const auto entries = dir.Entries();
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return entries;
}

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override { ::chmod(dir_.Path().c_str(), 0755); }
  void TearDown() override { faults::Reset(); }
  TempDir dir_;
};

TEST_F(FileIo, TargetsThatAreNotPlainFilesAreRefusedAndKept) {
  ASSERT_EQ(::mkfifo(dir_.File("pipe").c_str(), 0644), 0);
  ASSERT_EQ(::mkdir(dir_.File("dir").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("pipe", dir_.File("to-pipe").c_str()), 0);
  std::vector<std::pair<std::string, std::string>> cases = {
      {"pipe", "not a regular file (a named pipe)"},
      {"to-pipe", "not a regular file (a named pipe)"},
      {"dir", "Is a directory"}};
  // The numbers of /dev/null: a save that replaced it would take it from everyone.
  if (IsRoot() && ::mknod(dir_.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    cases.push_back({"null", "not a regular file (a character device)"});
  }
  const auto entries = dir_.Entries();
  for (const auto& [name, cause] : cases) {
    const std::string path = dir_.File(name);
    struct stat before {};
    struct stat after {};
    ::lstat(path.c_str(), &before);
    EXPECT_EQ(Save(path, Pattern(1000, 1)), "error: cannot save '" + path + "': " + cause);
    ::lstat(path.c_str(), &after);
    EXPECT_EQ(std::tuple(after.st_ino, after.st_mode), std::tuple(before.st_ino, before.st_mode));
  }
  EXPECT_EQ(dir_.Entries(), entries);
}

// As another user, a save goes where the user's own write would; a file that cannot
// stay its owner's becomes the saver's, without setuid and setgid.
TEST_F(FileIo, SavesGoWhereTheUsersOwnWriteWould) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  const std::string theirs = dir_.File("theirs");
  const std::string read_only = Owned(theirs, kOtherUser, "read-only", kOtherUser, 0444, {1});
  const std::string roots = Owned(theirs, kOtherUser, "roots", 0, 0644, {1});
  const std::string setid = Owned(theirs, kOtherUser, "setid", 0, 06777, {1});
  const auto out = RunAsOtherUser(
      [&] { return Save(read_only, {2}) + "\n" + Save(roots, {2}) + "\n" + Save(setid, {3}); });
  EXPECT_EQ(out.text, "error: cannot save '" + read_only +
                          "': Permission denied\nerror: cannot save '" + roots +
                          "': Permission denied\nreplaced");
  EXPECT_EQ(std::tuple(ReadBytes(read_only), ReadBytes(roots), Count(theirs)),
            std::tuple(Bytes{1}, Bytes{1}, 3u));
  EXPECT_EQ(std::tuple(Stat(setid).st_uid, Stat(setid).st_mode & 07777, ReadBytes(setid)),
            std::tuple(kOtherUser, 0777u, Bytes{3}));
}

// Where the folder may not be written (root's, or a sticky one where only the owner
// may rename) the file is written in place, shorter or longer; no new file is made.
TEST_F(FileIo, FilesWhoseFolderCannotBeWrittenAreWrittenInPlace) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  const std::string closed = dir_.File("closed"), sticky = dir_.File("sticky");
  const std::string mine = Owned(closed, 0, "mine", kOtherUser, 0644, Pattern(5000, 8));
  const std::string shared = Owned(sticky, 0, "shared", 0, 0666, Pattern(5000, 8));
  ::chmod(sticky.c_str(), 01777);
  const auto inodes = std::tuple(Stat(mine).st_ino, Stat(shared).st_ino, 0u);
  const auto out = RunAsOtherUser([&] {
    std::string text = Save(mine, Pattern(100, 9)) + "\n";
    text += Save(shared, Pattern(100, 9)) + "\n";
    text += Save(shared, Pattern(6000, 10)) + "\n";
    return text + Save(closed + "/new", {1});
  });
  EXPECT_EQ(out.text, "in place\nin place\nin place\nerror: cannot save '" + closed +
                          "/new': cannot create a file in '" + closed + "': Permission denied");
  EXPECT_EQ(std::tuple(ReadBytes(mine), ReadBytes(shared), Count(closed), Count(sticky)),
            std::tuple(Pattern(100, 9), Pattern(6000, 10), 1u, 1u));
  EXPECT_EQ(std::tuple(Stat(mine).st_ino, Stat(shared).st_ino, Stat(shared).st_uid), inodes);
}

// Content made a piece at a time arrives whole: replaced, new (0666 less the umask) or
// in place (other hard links); a writer failing part way, or a write stopped by the
// file size limit, leaves the old file as it was and nothing beside it.
TEST_F(FileIo, ContentArrivesWholeOrNotAtAll) {
  const std::string a = dir_.File("a"), b = dir_.File("b"), c = dir_.File("c");
  const Bytes content = Pattern(300000, 13), old = Pattern(5000, 14);
  const auto pieces = [&content](size_t fail_after) -> ContentWriter {
    return [&content, fail_after](const ContentPut& put) -> Status {
      for (size_t at = 0, k = 0; at < content.size(); at += 70000, ++k) {
        if (k == fail_after) return Error{"cannot load 'in.pcx': pixel data ends early"};
        if (auto done =
                put(std::span(content).subspan(at, std::min<size_t>(70000, content.size() - at)));
            !done)
          return done;
      }
      return Ok{};
    };
  };
  WriteBytes(a, old);
  WriteBytes(c, old);
  ASSERT_EQ(::link(c.c_str(), b.c_str()), 0);
  for (const std::string& target : {a, b}) {
    EXPECT_EQ(Describe(SaveFileStreamed(target, pieces(3))),
              "error: cannot load 'in.pcx': pixel data ends early");
    EXPECT_EQ(ReadBytes(target), old);
  }
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto* old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit low{100000, saved.rlim_max};  // root ignores permission bits, but not this limit
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
  const std::string stopped = Save(a, content);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_HAS(stopped, "File too large");
  EXPECT_EQ(std::tuple(ReadBytes(a), dir_.Entries()),
            std::tuple(old, std::vector<std::string>{"a", "b", "c"}));

  const ino_t inode = Stat(b).st_ino;
  const mode_t mask = ::umask(027);
  EXPECT_EQ(Describe(SaveFileStreamed(a, pieces(99))), "replaced");
  EXPECT_EQ(Describe(SaveFileStreamed(b, pieces(99))), "in place");
  EXPECT_EQ(Describe(SaveFileStreamed(dir_.File("new"), pieces(99))), "replaced");
  ::umask(mask);
  for (const char* name : {"a", "c", "new"}) EXPECT_EQ(ReadBytes(dir_.File(name)), content);
  EXPECT_EQ(std::tuple(Stat(c).st_ino, Stat(c).st_nlink, Stat(dir_.File("new")).st_mode & 0777),
            std::tuple(inode, nlink_t{2}, 0640u));
}

TEST_F(FileIo, SymbolicLinksAreFollowedEvenToFilesNotYetThere) {
  // link -> sub/inner -> ../made, which does not exist; and a loop.
  ::mkdir(dir_.File("sub").c_str(), 0755);
  ::symlink("sub/inner", dir_.File("link").c_str());
  ::symlink("../made", dir_.File("sub/inner").c_str());
  ::symlink("loop", dir_.File("loop").c_str());
  EXPECT_EQ(Save(dir_.File("link"), {1}), "replaced");
  EXPECT_EQ(Save(dir_.File("loop"), {1}),
            "error: cannot save '" + dir_.File("loop") + "': Too many levels of symbolic links");
  EXPECT_EQ(ReadBytes(dir_.File("made")), Bytes{1});
  EXPECT_TRUE(fs::is_symlink(dir_.File("link")) && fs::is_symlink(dir_.File("sub/inner")));
}

// A save killed while writing leaves the folder as it was: the old file, whole, and
// nothing else (the new content is in an unnamed file until it is complete).
TEST_F(FileIo, SaveKilledWhileWritingLeavesNothingBehind) {
  WriteBytes(dir_.File("old"), {1});
  for (const char* target : {"old", "new"}) {
    EXPECT_EQ(KillSavePartWay(dir_, dir_.File(target), Pattern(8 << 20, 19)),
              std::vector<std::string>{"old"});
    EXPECT_EQ(std::tuple(dir_.Entries(), ReadBytes(dir_.File("old"))),
              std::tuple(std::vector<std::string>{"old"}, Bytes{1}));
  }
}

// Without unnamed temporaries the named one carries its target's name (cut between
// letters to fit), so a killed save leaves something the user can place; the next
// save of that target removes such leftovers a day old, and nothing else.
TEST_F(FileIo, NamedTemporariesCarryTheTargetsNameAndOldOnesAreCleared) {
  faults::FailUnnamedTemporaries(true);
  std::string longest;
  for (int i = 0; i < 127; ++i) longest += "\xc3\xa9";
  longest += "n";  // 255 bytes
  for (const std::string& name : {std::string("old.pcx"), longest}) {
    const std::string prefix = "." + name.substr(0, 238) + ".hw-save-";
    WriteBytes(dir_.File(name), {1});
    const auto entries = KillSavePartWay(dir_, dir_.File(name), Pattern(4 << 20, 23));
    const auto left = std::find_if(entries.begin(), entries.end(), [&](const std::string& e) {
      return e.size() == prefix.size() + 6 && e.starts_with(prefix);
    });
    ASSERT_TRUE(left != entries.end()) << ::testing::PrintToString(entries);
    fs::remove(dir_.File(*left));
    EXPECT_EQ(Save(dir_.File(name), {2}), "replaced");
    EXPECT_EQ(std::tuple(ReadBytes(dir_.File(name)), Count(dir_.Path())), std::tuple(Bytes{2}, 1u));
    fs::remove(dir_.File(name));
  }
  const std::pair<const char*, time_t> leftovers[] = {
      {".old.pcx.hw-save-ab12cd", 2 * 86400},  // the one to go
      {".old.pcx.hw-save-ef34gh", 3600},
      {".new.pcx.hw-save-ab12cd", 2 * 86400},
      {"old.pcx.hw-save-ab12cd", 2 * 86400}};
  for (const auto& [name, age] : leftovers) {
    WriteBytes(dir_.File(name), {1});
    const timespec times[2] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File(name).c_str(), times, 0), 0);
  }
  WriteBytes(dir_.File("old.pcx"), {2});
  EXPECT_EQ(Save(dir_.File("old.pcx"), {3}), "replaced");
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{".new.pcx.hw-save-ab12cd", ".old.pcx.hw-save-ef34gh",
                                      "old.pcx", "old.pcx.hw-save-ab12cd"}));
}

std::string AclOf(const std::string& file) {
  acl_t a = ::acl_get_file(file.c_str(), ACL_TYPE_ACCESS);
  char* text = a ? ::acl_to_any_text(a, nullptr, '\n', TEXT_NUMERIC_IDS) : nullptr;
  const std::string out = text ? text : "none";
  ::acl_free(text);
  ::acl_free(a);
  return out;
}

std::string XattrOf(const std::string& file, const char* name) {
  char value[64];
  const ssize_t n = ::getxattr(file.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("none") : std::string(value, static_cast<size_t>(n));
}

// The ACL's entries and mask and the extended attributes pass to the replacing file
// before it takes the name, but not the users its folder's default ACL names; a save
// that could not keep them is refused.
TEST_F(FileIo, AclAndExtendedAttributesAreKeptOrTheSaveRefused) {
  const std::string path = dir_.File("shared");
  WriteBytes(path, {1});
  if (::setxattr(path.c_str(), "user.comment", "sunset", 6, 0) != 0) {
    GTEST_SKIP() << "the test folder's file system (TMPDIR) has no user extended attributes";
  }
  // The named user may write; the owning group may only read, although the mask
  // (the group bits of the mode) says rw.
  acl_t acl = ::acl_from_text("user::rw-\nuser:65534:rw-\ngroup::r--\nmask::rw-\nother::---\n");
  const int set = ::acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl);
  ::acl_free(acl);
  if (set != 0) GTEST_SKIP() << "the test folder's file system has no ACLs";
  const auto kept = std::tuple(AclOf(path), Stat(path).st_mode & 07777, std::string("sunset"));
  for (bool unnamed : {true, false}) {
    faults::FailUnnamedTemporaries(!unnamed);
    const ino_t inode = Stat(path).st_ino;
    EXPECT_EQ(Save(path, {2}), "replaced");
    EXPECT_NE(Stat(path).st_ino, inode);
    EXPECT_EQ(std::tuple(AclOf(path), Stat(path).st_mode & 07777, XattrOf(path, "user.comment")),
              kept);
  }
  const std::string open = dir_.File("open"), plain = open + "/plain";
  ::mkdir(open.c_str(), 0755);
  WriteBytes(plain, {1});
  ::chmod(plain.c_str(), 0640);
  acl = ::acl_from_text("user::rwx\nuser:65534:rwx\ngroup::r-x\nmask::rwx\nother::r-x\n");
  ASSERT_EQ(::acl_set_file(open.c_str(), ACL_TYPE_DEFAULT, acl), 0);
  ::acl_free(acl);
  EXPECT_EQ(Save(plain, {2}), "replaced");
  EXPECT_EQ(AclOf(plain), "user::rw-\ngroup::r--\nother::---");

  // Only a privileged process may set security.* attributes: another user's save of
  // such a file of its own is refused, saying what could not be kept.
  if (!IsRoot()) return;
  const std::string labelled = Owned(dir_.File("users"), kOtherUser, "f", kOtherUser, 0644, {1});
  if (::setxattr(labelled.c_str(), "security.hw-test", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "cannot set a security.* attribute here: " << std::strerror(errno);
  }
  EXPECT_EQ(
      RunAsOtherUser([&] { return Save(labelled, {2}); }).text,
      "error: cannot save '" + labelled +
          "': cannot keep its extended attribute 'security.hw-test': Operation not permitted");
  EXPECT_EQ(std::tuple(ReadBytes(labelled), XattrOf(labelled, "security.hw-test"),
                       Count(dir_.File("users"))),
            std::tuple(Bytes{1}, "kept", 1u));
}

// An in-place save makes sure the disk holds the new content before overwriting the
// old: one that cannot fit is refused and the file left as it was.
TEST_F(FileIo, InPlaceSavesThatDoNotFitAreRefused) {
  const std::string disk = dir_.File("disk"), a = disk + "/a", b = disk + "/b";
  ::mkdir(disk.c_str(), 0755);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=2m") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
  }
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  WriteBytes(a, Pattern(512 << 10, 30));
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  const int fd = ::open((disk + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
  while (::write(fd, Pattern(4096, 1).data(), 4096) > 0) {
  }
  ::close(fd);
  const std::string refused = Save(a, Pattern(768 << 10, 31));
  EXPECT_HAS(refused, "cannot save '" + a + "': No space left on device");
  EXPECT_HAS(refused, "left as it was");
  EXPECT_EQ(ReadBytes(b), Pattern(512 << 10, 30));
  // A smaller file still fits on the full disk; a larger one once there is room.
  EXPECT_EQ(Save(a, Pattern(300 << 10, 32)), "in place");
  EXPECT_EQ(ReadBytes(b), Pattern(300 << 10, 32));
  fs::remove(disk + "/filler");
  EXPECT_EQ(Save(a, Pattern(768 << 10, 31)), "in place");
  EXPECT_EQ(std::tuple(ReadBytes(b), Stat(b).st_nlink), std::tuple(Pattern(768 << 10, 31), 2u));
}

}  // namespace
}  // namespace hw::test
