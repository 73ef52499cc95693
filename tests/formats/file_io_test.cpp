// Saves that respect the user's files: what is refused, what keeps its owner, mode,
// ACL and extended attributes, what is written in place (and refused when the disk
// cannot hold it), what survives being killed half way; loads that run out of
// memory; palettes read from the end of files of any size.
#include "formats/file_io.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

#include "../common/run_as.h"
#include "../common/test_util.h"
#include "base/faults.h"
#include "formats/pcx_file.h"

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
  if (!r) return "error: " + r.error().message;
  return *r == SaveMethod::kReplaced ? "replaced" : "in place";
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Turns injected failures off again whatever a test leaves behind.
class FileIo : public ::testing::Test {
 protected:
  void TearDown() override { faults::Reset(); }
  TempDir dir_;
};

TEST_F(FileIo, TargetsThatAreNotPlainFilesAreRefusedAndKept) {
  const std::string fifo = dir_.File("pipe"), device = dir_.File("null"),
                    socket_path = dir_.File("sock"), folder = dir_.File("folder"),
                    to_fifo = dir_.File("to-pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::symlink("pipe", to_fifo.c_str()), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof addr.sun_path);
  std::copy(socket_path.begin(), socket_path.end(), addr.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(sock);
  struct Case {
    std::string path, cause;
  };
  std::vector<Case> cases = {{fifo, "not a regular file (a named pipe)"},
                             {to_fifo, "not a regular file (a named pipe)"},
                             {socket_path, "not a regular file (a socket)"},
                             {folder, "Is a directory"}};
  // The numbers of /dev/null: a save that replaced it would take it from everyone.
  if (IsRoot()) {
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    cases.push_back({device, "not a regular file (a character device)"});
  }
  const auto entries = dir_.Entries();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    struct stat before {};
    struct stat after {};
    ASSERT_EQ(::lstat(c.path.c_str(), &before), 0);
    const auto r = SaveFileBytes(c.path, Pattern(1000, 1));
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "cannot save '" + c.path + "': " + c.cause);
    ASSERT_EQ(::lstat(c.path.c_str(), &after), 0);
    EXPECT_EQ(std::tuple(after.st_ino, after.st_mode), std::tuple(before.st_ino, before.st_mode));
  }
  EXPECT_EQ(dir_.Entries(), entries);
}

// Root may write anything, so what another user sees is checked in a child that
// runs as that user.
TEST_F(FileIo, SavesAreRefusedWhereTheUsersOwnWriteWouldBe) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  ::chmod(dir_.Path().c_str(), 0755);
  const std::string folder = dir_.File("theirs-to-write");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherGroup), 0);
  const std::string read_only = folder + "/read-only.pcx", roots = folder + "/roots.pcx";
  const Bytes old = Pattern(3000, 2);
  WriteBytes(read_only, old);
  WriteBytes(roots, old);
  ::chown(read_only.c_str(), kOtherUser, kOtherGroup);
  ::chmod(read_only.c_str(), 0444);
  ::chmod(roots.c_str(), 0644);

  const auto out = RunAsOtherUser([&] {
    return Describe(SaveFileBytes(read_only, Pattern(100, 3))) + "\n" +
           Describe(SaveFileBytes(roots, Pattern(100, 3)));
  });
  EXPECT_EQ(out.text, "error: cannot save '" + read_only +
                          "': Permission denied\nerror: cannot save '" + roots +
                          "': Permission denied");
  EXPECT_EQ(ReadBytes(read_only), old);
  EXPECT_EQ(ReadBytes(roots), old);
  EXPECT_EQ(Stat(roots).st_uid, 0u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);

  // Root's own write would succeed, so root's save does, and the mode stays.
  EXPECT_EQ(Describe(SaveFileBytes(read_only, Pattern(100, 3))), "replaced");
  EXPECT_EQ(ReadBytes(read_only), Pattern(100, 3));
  EXPECT_EQ(Stat(read_only).st_mode & 07777, 0444u);
  EXPECT_EQ(Stat(read_only).st_uid, kOtherUser);
}

TEST_F(FileIo, ReplacedFilesKeepOwnerGroupAndMode) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to give files to another user";
  ::chmod(dir_.Path().c_str(), 0755);
  struct Case {
    std::string name;
    uid_t uid;
    gid_t gid;
    mode_t mode;
  };
  // Root saving other users' files: everything is kept, setuid and setgid too.
  for (const Case& c :
       {Case{"plain.pcx", kOtherUser, kOtherGroup, 0640}, Case{"mixed.pcx", kOtherUser, 0, 0604},
        Case{"setid.pcx", kOtherUser, kOtherGroup, 06755}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.File(c.name);
    WriteBytes(path, Pattern(500, 4));
    ASSERT_EQ(::chown(path.c_str(), c.uid, c.gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    const ino_t inode = Stat(path).st_ino;
    EXPECT_EQ(Describe(SaveFileBytes(path, Pattern(700, 5))), "replaced");
    const struct stat st = Stat(path);
    EXPECT_NE(st.st_ino, inode);
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777),
              std::tuple(c.uid, c.gid, c.mode));
    EXPECT_EQ(ReadBytes(path), Pattern(700, 5));
  }

  // Another user saving root's writable setuid file in that user's own folder: the
  // file cannot stay root's, so it becomes the saver's without setuid and setgid.
  const std::string folder = dir_.File("users");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherGroup), 0);
  const std::string setid = folder + "/roots-setid.pcx";
  WriteBytes(setid, Pattern(500, 6));
  ASSERT_EQ(::chmod(setid.c_str(), 06777), 0);
  const auto out = RunAsOtherUser([&] { return Describe(SaveFileBytes(setid, Pattern(90, 7))); });
  EXPECT_EQ(out.text, "replaced");
  EXPECT_EQ(std::tuple(Stat(setid).st_uid, Stat(setid).st_mode & 07777),
            std::tuple(kOtherUser, 0777u));
  EXPECT_EQ(ReadBytes(setid), Pattern(90, 7));
}

TEST_F(FileIo, FilesWhoseFolderCannotBeWrittenAreWrittenInPlace) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  ::chmod(dir_.Path().c_str(), 0755);
  const std::string closed = dir_.File("closed"), sticky = dir_.File("sticky");
  ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(sticky.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
  // The user's file in root's folder, and root's file that anyone may write in a
  // sticky folder (where only the owner may rename over it).
  const std::string mine = closed + "/mine.pcx", shared = sticky + "/shared.pcx";
  WriteBytes(mine, Pattern(5000, 8));
  ::chown(mine.c_str(), kOtherUser, kOtherGroup);
  WriteBytes(shared, Pattern(5000, 8));
  ::chmod(shared.c_str(), 0666);
  const ino_t mine_inode = Stat(mine).st_ino, shared_inode = Stat(shared).st_ino;

  const auto out = RunAsOtherUser([&] {
    // Shorter than before, so the old tail must be cut off; then longer again.
    std::string text = Describe(SaveFileBytes(mine, Pattern(100, 9))) + "\n";
    text += Describe(SaveFileBytes(shared, Pattern(100, 9))) + "\n";
    text += Describe(SaveFileBytes(shared, Pattern(6000, 10))) + "\n";
    text += Describe(SaveFileBytes(closed + "/new.pcx", Pattern(100, 9)));
    return text;
  });
  EXPECT_EQ(out.text, "in place\nin place\nin place\nerror: cannot save '" + closed +
                          "/new.pcx': cannot create a file in '" + closed + "': Permission denied");
  EXPECT_EQ(ReadBytes(mine), Pattern(100, 9));
  EXPECT_EQ(ReadBytes(shared), Pattern(6000, 10));
  EXPECT_EQ(std::tuple(Stat(mine).st_ino, Stat(shared).st_ino, Stat(shared).st_uid),
            std::tuple(mine_inode, shared_inode, 0u));
  EXPECT_FALSE(fs::exists(closed + "/new.pcx"));
  EXPECT_EQ(std::distance(fs::directory_iterator(sticky), fs::directory_iterator()), 1);
}

TEST_F(FileIo, HardLinkedFilesAreWrittenInPlace) {
  const std::string a = dir_.File("a.pcx"), b = dir_.File("b.pcx");
  WriteBytes(a, Pattern(4000, 11));
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  const ino_t inode = Stat(a).st_ino;
  EXPECT_EQ(Describe(SaveFileBytes(a, Pattern(1500, 12))), "in place");
  EXPECT_EQ(ReadBytes(b), Pattern(1500, 12));
  EXPECT_EQ(std::tuple(Stat(b).st_ino, Stat(b).st_nlink), std::tuple(inode, nlink_t{2}));
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"a.pcx", "b.pcx"}));
}

// Content made a piece at a time arrives whole, whichever way the file is saved; a
// writer that fails part way leaves the old file as it was and nothing beside it.
TEST_F(FileIo, StreamedContentArrivesWholeOrNotAtAll) {
  const std::string a = dir_.File("a.pcx"), b = dir_.File("b.pcx"), c = dir_.File("c.pcx");
  const Bytes content = Pattern(300000, 13);
  const auto pieces = [&content](size_t fail_after) -> ContentWriter {
    return [&content, fail_after](const ContentPut& put) -> Status {
      for (size_t at = 0, k = 0; at < content.size(); at += 70000, ++k) {
        if (k == fail_after) return Error{"cannot load 'in.pcx': pixel data ends early"};
        auto done =
            put(std::span(content).subspan(at, std::min<size_t>(70000, content.size() - at)));
        if (!done) return done;
      }
      return Ok{};
    };
  };
  WriteBytes(a, Pattern(5000, 14));
  WriteBytes(c, Pattern(5000, 14));
  ASSERT_EQ(::link(c.c_str(), b.c_str()), 0);  // b and c: one file, written in place
  for (const std::string& target : {a, b}) {
    auto failed = SaveFileStreamed(target, pieces(3));
    EXPECT_EQ(Describe(failed), "error: cannot load 'in.pcx': pixel data ends early") << target;
    EXPECT_EQ(ReadBytes(target), Pattern(5000, 14)) << target;
  }
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"a.pcx", "b.pcx", "c.pcx"}));
  EXPECT_EQ(Describe(SaveFileStreamed(a, pieces(99))), "replaced");
  EXPECT_EQ(Describe(SaveFileStreamed(b, pieces(99))), "in place");
  EXPECT_EQ(Describe(SaveFileStreamed(dir_.File("new.pcx"), pieces(99))), "replaced");
  for (const char* name : {"a.pcx", "c.pcx", "new.pcx"})
    EXPECT_EQ(ReadBytes(dir_.File(name)), content);
}

TEST_F(FileIo, SymbolicLinksAreFollowedEvenToFilesNotYetThere) {
  // link -> sub/inner -> ../made.pcx, which does not exist; and a loop.
  ::mkdir(dir_.File("sub").c_str(), 0755);
  ::symlink("sub/inner", dir_.File("link").c_str());
  ::symlink("../made.pcx", dir_.File("sub/inner").c_str());
  ::symlink((dir_.Path() + "/made.pcx").c_str(), dir_.File("absolute").c_str());
  ::symlink("loop", dir_.File("loop").c_str());
  EXPECT_EQ(Describe(SaveFileBytes(dir_.File("link"), Pattern(300, 13))), "replaced");
  EXPECT_EQ(ReadBytes(dir_.File("made.pcx")), Pattern(300, 13));
  EXPECT_EQ(Describe(SaveFileBytes(dir_.File("absolute"), Pattern(200, 14))), "replaced");
  EXPECT_EQ(ReadBytes(dir_.File("made.pcx")), Pattern(200, 14));
  for (const char* name : {"link", "sub/inner", "absolute", "loop"}) {
    EXPECT_TRUE(fs::is_symlink(dir_.File(name))) << name;
  }
  EXPECT_EQ(Describe(SaveFileBytes(dir_.File("loop"), Pattern(10, 1))),
            "error: cannot save '" + dir_.File("loop") + "': Too many levels of symbolic links");
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{"absolute", "link", "loop", "made.pcx", "sub"}));
}

// The longest name a folder allows saves, new and replaced, with either kind of
// temporary; new files get 0666 less the umask; nothing is left behind.
TEST_F(FileIo, LongestNamesAndUmaskWithEitherKindOfTemporary) {
  const std::string longest = dir_.File(std::string(255, 'n'));
  const mode_t saved_mask = ::umask(022);
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
    faults::FailUnnamedTemporaries(!unnamed);
    for (mode_t mask : {mode_t{022}, mode_t{027}, mode_t{077}, mode_t{0}}) {
      ::umask(mask);
      const std::string fresh = dir_.File("fresh.pcx");
      ASSERT_EQ(Describe(SaveFileBytes(fresh, Pattern(100, 15))), "replaced");
      EXPECT_EQ(Stat(fresh).st_mode & 07777, 0666 & ~mask) << std::oct << mask;
      fs::remove(fresh);
    }
    ::umask(022);
    EXPECT_EQ(Describe(SaveFileBytes(longest, Pattern(100, 16))), "replaced");
    ::chmod(longest.c_str(), 0640);
    EXPECT_EQ(Describe(SaveFileBytes(longest, Pattern(200, 17))), "replaced");
    EXPECT_EQ(ReadBytes(longest), Pattern(200, 17));
    EXPECT_EQ(Stat(longest).st_mode & 07777, 0640u);
    EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{std::string(255, 'n')}));
    fs::remove(longest);
  }
  ::umask(saved_mask);
}

void StopHere(uint64_t) { ::raise(SIGSTOP); }

// A save killed while writing leaves the folder as it was: the old file, whole, and
// nothing else (the new content is in an unnamed file until it is complete).
TEST_F(FileIo, SaveKilledWhileWritingLeavesNothingBehind) {
  const std::string existing = dir_.File("existing.pcx");
  const Bytes old = Pattern(2000, 18), big = Pattern(8 << 20, 19);
  WriteBytes(existing, old);
  for (const std::string& target : {existing, dir_.File("new.pcx")}) {
    SCOPED_TRACE(target);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      faults::SetWriteProgressHook(StopHere);
      SaveFileBytes(target, big);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the save was not stopped part way";
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"existing.pcx"});
    ::kill(pid, SIGKILL);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"existing.pcx"});
    EXPECT_EQ(ReadBytes(existing), old);
  }
}

// Where unnamed temporaries are missing, the named one carries its target's name, so
// that a save killed part way leaves something the user can place; the next save of
// that target removes such leftovers once they are a day old, and nothing else.
TEST_F(FileIo, NamedTemporariesCarryTheTargetsNameAndOldOnesAreCleared) {
  faults::FailUnnamedTemporaries(true);
  const std::string plain = "existing.pcx";
  // 120 two-byte letters: the temporary's name must be cut to fit, between letters.
  std::string long_name;
  for (int i = 0; i < 120; ++i) long_name += "\xc3\xa9";
  long_name += ".pcx";
  const std::string long_prefix = "." + long_name.substr(0, 238) + ".hw-save-";
  for (const auto& [name, prefix] :
       {std::pair{plain, "." + plain + ".hw-save-"}, std::pair{long_name, long_prefix}}) {
    SCOPED_TRACE(name);
    WriteBytes(dir_.File(name), Pattern(2000, 22));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      faults::SetWriteProgressHook(StopHere);
      SaveFileBytes(dir_.File(name), Pattern(4 << 20, 23));
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the save was not stopped part way";
    ::kill(pid, SIGKILL);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    const auto entries = dir_.Entries();
    const auto left = std::find_if(entries.begin(), entries.end(), [&](const std::string& e) {
      return e.size() == prefix.size() + 6 && e.starts_with(prefix);
    });
    ASSERT_TRUE(left != entries.end()) << ::testing::PrintToString(entries);
    EXPECT_EQ(ReadBytes(dir_.File(name)), Pattern(2000, 22));
    fs::remove(dir_.File(*left));
  }
  fs::remove(dir_.File(long_name));

  const auto leftover = [&](const std::string& name, time_t age) {
    WriteBytes(dir_.File(name), Pattern(100, 24));
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= age;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File(name).c_str(), times, 0), 0);
  };
  const time_t day = 24 * 60 * 60;
  leftover(".existing.pcx.hw-save-ab12cd", 2 * day);
  leftover(".existing.pcx.hw-save-ef34gh", 3600);
  leftover(".other.pcx.hw-save-ab12cd", 2 * day);
  leftover(".existing.pcx.hw-save-ab12cde", 2 * day);
  leftover("existing.pcx.hw-save-ab12cd", 2 * day);
  leftover(".existing.pcx.hw-ab12cdef", 2 * day);
  EXPECT_EQ(Describe(SaveFileBytes(dir_.File(plain), Pattern(3000, 25))), "replaced");
  EXPECT_EQ(ReadBytes(dir_.File(plain)), Pattern(3000, 25));
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{".existing.pcx.hw-ab12cdef", ".existing.pcx.hw-save-ab12cde",
                                      ".existing.pcx.hw-save-ef34gh", ".other.pcx.hw-save-ab12cd",
                                      "existing.pcx", "existing.pcx.hw-save-ab12cd"}));
}

// The ACL's entries and mask and the extended attributes pass to the replacing file
// before it takes the name; a save that could not keep them is refused.
TEST_F(FileIo, AclAndExtendedAttributesAreKeptOrTheSaveRefused) {
  const std::string path = dir_.File("shared.pcx");
  WriteBytes(path, Pattern(1000, 26));
  if (::setxattr(path.c_str(), "user.comment", "sunset", 6, 0) != 0 && errno == ENOTSUP) {
    GTEST_SKIP() << "the file system of the test folder (TMPDIR) has no user extended "
                    "attributes";
  }
  // The named user may write; the owning group may only read, although the mask
  // (the group bits of the mode) says rw.
  const std::string acl_text = "user::rw-\nuser:65534:rw-\ngroup::r--\nmask::rw-\nother::---\n";
  acl_t acl = ::acl_from_text(acl_text.c_str());
  ASSERT_NE(acl, nullptr);
  const int set = ::acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl);
  ::acl_free(acl);
  if (set != 0 && errno == ENOTSUP) {
    GTEST_SKIP() << "the file system of the test folder (TMPDIR) has no ACLs";
  }
  ASSERT_EQ(set, 0) << std::strerror(errno);
  const auto acl_of = [](const std::string& file) {
    acl_t a = ::acl_get_file(file.c_str(), ACL_TYPE_ACCESS);
    if (a == nullptr) return std::string("none");
    char* text = ::acl_to_any_text(a, nullptr, '\n', TEXT_NUMERIC_IDS);
    std::string out = text != nullptr ? text : "";
    ::acl_free(text);
    ::acl_free(a);
    return out;
  };
  const auto xattr_of = [](const std::string& file, const char* name) {
    char value[64];
    const ssize_t n = ::getxattr(file.c_str(), name, value, sizeof value);
    return n < 0 ? std::string("none") : std::string(value, static_cast<size_t>(n));
  };
  const std::string acl_before = acl_of(path);
  const mode_t mode_before = Stat(path).st_mode & 07777;
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
    faults::FailUnnamedTemporaries(!unnamed);
    const ino_t inode = Stat(path).st_ino;
    EXPECT_EQ(Describe(SaveFileBytes(path, Pattern(1200, 27))), "replaced");
    EXPECT_NE(Stat(path).st_ino, inode);
    EXPECT_EQ(acl_of(path), acl_before);
    EXPECT_EQ(Stat(path).st_mode & 07777, mode_before);
    EXPECT_EQ(xattr_of(path, "user.comment"), "sunset");
  }
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"shared.pcx"});

  // Nor does a replacing file take in the users its folder's default ACL names.
  const std::string open = dir_.File("open"), plain = open + "/plain.pcx";
  ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
  WriteBytes(plain, Pattern(100, 30));
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
  acl = ::acl_from_text("user::rwx\nuser:65534:rwx\ngroup::r-x\nmask::rwx\nother::r-x\n");
  ASSERT_EQ(::acl_set_file(open.c_str(), ACL_TYPE_DEFAULT, acl), 0);
  ::acl_free(acl);
  EXPECT_EQ(Describe(SaveFileBytes(plain, Pattern(200, 31))), "replaced");
  EXPECT_EQ(acl_of(plain), "user::rw-\ngroup::r--\nother::---");

  // Only a privileged process may set security.* attributes, and user.* ones can be
  // read only from a file one may read: another user's saves of such files of its
  // own are refused, saying what could not be kept, unless the save is in place
  // (the folder is root's), which keeps them anyway.
  if (!IsRoot()) return;
  ::chmod(dir_.Path().c_str(), 0755);
  const std::string folder = dir_.File("users"), closed = dir_.File("closed");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherGroup), 0);
  ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
  const std::string labelled = folder + "/labelled.pcx", write_only = folder + "/write-only.pcx",
                    closed_write_only = closed + "/write-only.pcx";
  for (const std::string& file : {labelled, write_only, closed_write_only}) {
    WriteBytes(file, Pattern(1000, 28));
    ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherGroup), 0);
    ASSERT_EQ(::setxattr(file.c_str(), "user.comment", "sunset", 6, 0), 0);
  }
  ::chmod(write_only.c_str(), 0200);
  ::chmod(closed_write_only.c_str(), 0200);
  if (::setxattr(labelled.c_str(), "security.hw-test", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "cannot set a security.* attribute here: " << std::strerror(errno);
  }
  const auto out = RunAsOtherUser([&] {
    std::string text;
    for (const std::string& file : {labelled, write_only, closed_write_only})
      text += Describe(SaveFileBytes(file, Pattern(50, 29))) + "\n";
    return text;
  });
  EXPECT_EQ(out.text, "error: cannot save '" + labelled +
                          "': cannot keep its extended attribute 'security.hw-test': "
                          "Operation not permitted\nerror: cannot save '" +
                          write_only +
                          "': cannot keep its extended attribute 'user.comment': "
                          "Permission denied\nin place\n");
  EXPECT_EQ(std::tuple(ReadBytes(labelled), ReadBytes(write_only), ReadBytes(closed_write_only)),
            std::tuple(Pattern(1000, 28), Pattern(1000, 28), Pattern(50, 29)));
  EXPECT_EQ(xattr_of(labelled, "security.hw-test"), "kept");
  EXPECT_EQ(xattr_of(closed_write_only, "user.comment"), "sunset");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

// A small file system of its own, so that a test can fill the disk.
class FileIoOnSmallDisk : public FileIo {
 protected:
  void SetUp() override {
    disk_ = dir_.File("disk");
    ASSERT_EQ(::mkdir(disk_.c_str(), 0755), 0);
    if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=2m") != 0) {
      GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    FileIo::TearDown();
  }
  // Writes a file until the disk is full.
  void Fill(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const Bytes block(4096, 0x5a);
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
  }
  std::string disk_;
  bool mounted_ = false;
};

// An in-place save makes sure the disk holds the new content before overwriting the
// old: one that cannot fit is refused and the file left as it was.
TEST_F(FileIoOnSmallDisk, InPlaceSavesThatDoNotFitAreRefused) {
  const std::string a = disk_ + "/a.pcx", b = disk_ + "/b.pcx", filler = disk_ + "/filler";
  const Bytes old = Pattern(512 << 10, 30);
  WriteBytes(a, old);
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  Fill(filler);
  const auto r = SaveFileBytes(a, Pattern(768 << 10, 31));
  ASSERT_FALSE(r.ok());
  EXPECT_TRUE(Contains(r.error().message, "cannot save '" + a + "': No space left on device"))
      << r.error().message;
  EXPECT_TRUE(Contains(r.error().message, "left as it was")) << r.error().message;
  EXPECT_EQ(ReadBytes(b), old);
  // A smaller file still fits on the full disk; a larger one once there is room.
  EXPECT_EQ(Describe(SaveFileBytes(a, Pattern(300 << 10, 32))), "in place");
  EXPECT_EQ(ReadBytes(b), Pattern(300 << 10, 32));
  fs::remove(filler);
  EXPECT_EQ(Describe(SaveFileBytes(a, Pattern(768 << 10, 31))), "in place");
  EXPECT_EQ(ReadBytes(b), Pattern(768 << 10, 31));
  EXPECT_EQ(Stat(b).st_nlink, nlink_t{2});
}

TEST_F(FileIo, PaletteComesFromTheEndOfAFileOfAnySize) {
  // 3 GiB, nearly all of it a hole; only the last 768 bytes hold anything.
  const std::string path = dir_.File("huge.pcx");
  const Palette want = DistinctPalette(3);
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = off_t{3} << 30;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ASSERT_EQ(::pwrite(fd, want.data(), kPaletteBytes, size - static_cast<off_t>(kPaletteBytes)),
              static_cast<ssize_t>(kPaletteBytes));
    ::close(fd);
  }
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  auto pal = LoadPaletteFile(path);
  ::getrusage(RUSAGE_SELF, &after);
  ASSERT_TRUE(pal.ok()) << pal.error().message;
  EXPECT_EQ(*pal, want);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes of peak memory";

  // Exactly the palette, and one byte short of it.
  WriteBytes(dir_.File("exact.pcx"), PaletteBytes(want));
  EXPECT_EQ(*LoadPaletteFile(dir_.File("exact.pcx")), want);
  WriteBytes(dir_.File("short.pcx"), Bytes(767, 1));
  auto short_one = LoadPaletteFile(dir_.File("short.pcx"));
  ASSERT_FALSE(short_one.ok());
  EXPECT_TRUE(Contains(short_one.error().message, "shorter than the 768-byte palette (767 bytes)"));
  for (const std::string& bad : {dir_.Path(), std::string("/dev/zero")}) {
    EXPECT_FALSE(LoadPaletteFile(bad).ok()) << bad;
  }
}

// Loads and saves that run out of memory report it, naming the file, and leave the
// file alone.
TEST_F(FileIo, OutOfMemoryIsReportedAndTheFileKept) {
  const std::string path = dir_.File("pic.pcx");
  PcxHeader hd = MakeHeader(300, 200);
  const Bytes px = Pattern(300 * 200, 20);
  const Palette pal = DistinctPalette();
  for (uint8_t encoding : {uint8_t{1}, uint8_t{0}}) {
    hd.Encoding = encoding;
    ASSERT_TRUE(SavePcxFile(path, hd, px, pal).ok());
    const Bytes saved = ReadBytes(path);
    // The file read fails, then the pixel buffer.
    for (long after : {0L, 1L}) {
      SCOPED_TRACE("encoding " + std::to_string(encoding) + ", failing after " +
                   std::to_string(after));
      faults::FailAllocationsAfter(after);
      auto loaded = LoadPcxFile(path);
      faults::Reset();
      ASSERT_FALSE(loaded.ok());
      EXPECT_EQ(loaded.error().message, "cannot load '" + path + "': not enough memory");
      auto again = LoadPcxFile(path);
      ASSERT_TRUE(again.ok()) << again.error().message;
      EXPECT_EQ(again->pixels, px);
    }
    // The encoded file cannot be built.
    faults::FailAllocationsAfter(0);
    auto saving = SavePcxFile(path, hd, Pattern(300 * 200, 21), pal);
    faults::Reset();
    ASSERT_FALSE(saving.ok());
    EXPECT_EQ(saving.error().message, "cannot save '" + path + "': not enough memory");
    EXPECT_EQ(ReadBytes(path), saved);
  }
}

}  // namespace
}  // namespace hw::test
