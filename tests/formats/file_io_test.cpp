// Reads that refuse what is not a plain file, and saves that respect the user's
// files: what is refused, what keeps its owner, mode, ACL and extended attributes,
// what is written in place (and refused when the disk cannot hold it), what survives
// failing or being killed half way, and loads and saves that run out of memory.
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
#include <functional>

#include "../common/run_as.h"
#include "../common/test_util.h"
#include "base/faults.h"
#include "formats/picture_io.h"

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

std::string Save(const std::string& path, const Bytes& bytes) {
  return Describe(SaveFileBytes(path, bytes));
}

// A file of its owner's, in a folder of `folder_owner`'s (made when missing).
std::string Owned(const std::string& folder, uid_t folder_owner, const std::string& name,
                  uid_t owner, mode_t mode, const Bytes& bytes) {
  if (!fs::exists(folder)) {
    ::mkdir(folder.c_str(), 0755);
    ::chown(folder.c_str(), folder_owner, folder_owner == 0 ? 0 : kOtherGroup);
  }
  const std::string path = folder + "/" + name;
  WriteBytes(path, bytes);
  ::chown(path.c_str(), owner, owner == 0 ? 0 : kOtherGroup);
  ::chmod(path.c_str(), mode);
  return path;
}

void StopHere(uint64_t) { ::raise(SIGSTOP); }

// Saves `bytes` to `target` in a child that is killed once it has written part of them.
void KillSavePartWay(
    const std::string& target, const Bytes& bytes,
    const std::function<void()>& while_stopped = [] {}) {
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    faults::SetWriteProgressHook(StopHere);
    SaveFileBytes(target, bytes);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
  ASSERT_TRUE(WIFSTOPPED(status)) << "the save was not stopped part way";
  while_stopped();
  ::kill(pid, SIGKILL);
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status));
}

// Turns injected failures off again whatever a test leaves behind.
class FileIo : public ::testing::Test {
 protected:
  void SetUp() override { ::chmod(dir_.Path().c_str(), 0755); }
  void TearDown() override { faults::Reset(); }
  TempDir dir_;
};

TEST_F(FileIo, ReadsRefuseWhatIsMissingNotAPlainFileOrTooLarge) {
  ASSERT_EQ(::mkfifo(dir_.File("pipe").c_str(), 0644), 0);
  WriteBytes(dir_.File("big.bin"), Bytes(5000, 1));
  const std::pair<std::string, std::string> refused[] = {
      {dir_.File("nope"), "cannot load '" + dir_.File("nope") + "': No such file or directory"},
      {dir_.Path(), "Is a directory"},
      {dir_.File("pipe"), "not a regular file"},  // at once, not waiting for a writer
      {"/dev/zero", "not a regular file"}};
  for (const auto& [path, cause] : refused) EXPECT_HAS(Why(ReadFileBytes(path)), cause);
  EXPECT_HAS(Why(ReadFileBytes(dir_.File("big.bin"), 4999)), "too large");
  EXPECT_EQ(ReadFileBytes(dir_.File("big.bin"), 5000)->size(), 5000u);
}

TEST_F(FileIo, TargetsThatAreNotPlainFilesAreRefusedAndKept) {
  const std::string fifo = dir_.File("pipe"), sock = dir_.File("sock"), folder = dir_.File("dir");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::symlink("pipe", dir_.File("to-pipe").c_str()), 0);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  std::vector<std::pair<std::string, std::string>> cases = {
      {fifo, "not a regular file (a named pipe)"},
      {dir_.File("to-pipe"), "not a regular file (a named pipe)"},
      {sock, "not a regular file (a socket)"},
      {folder, "Is a directory"}};
  // The numbers of /dev/null: a save that replaced it would take it from everyone.
  if (IsRoot()) {
    ASSERT_EQ(::mknod(dir_.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    cases.push_back({dir_.File("null"), "not a regular file (a character device)"});
  }
  const auto entries = dir_.Entries();
  for (const auto& [path, cause] : cases) {
    struct stat before {};
    struct stat after {};
    ::lstat(path.c_str(), &before);
    EXPECT_EQ(Save(path, Pattern(1000, 1)), "error: cannot save '" + path + "': " + cause);
    ::lstat(path.c_str(), &after);
    EXPECT_EQ(std::tuple(after.st_ino, after.st_mode), std::tuple(before.st_ino, before.st_mode));
  }
  EXPECT_EQ(dir_.Entries(), entries);
}

// Root may write anything, so what another user may do is tried in a child that
// runs as that user; root's own saves keep the owner, group and mode, setuid too.
TEST_F(FileIo, SavesGoWhereTheUsersOwnWriteWouldAndKeepOwnerGroupAndMode) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  const std::string theirs = dir_.File("theirs");
  const Bytes before = Pattern(3000, 2);
  const std::string read_only = Owned(theirs, kOtherUser, "read-only", kOtherUser, 0444, before);
  const std::string roots = Owned(theirs, kOtherUser, "roots", 0, 0644, before);
  const std::string setid = Owned(theirs, kOtherUser, "setid", 0, 06777, before);
  const auto out = RunAsOtherUser([&] {
    return Save(read_only, Pattern(100, 3)) + "\n" + Save(roots, Pattern(100, 3)) + "\n" +
           Save(setid, Pattern(90, 7));
  });
  EXPECT_EQ(out.text, "error: cannot save '" + read_only +
                          "': Permission denied\nerror: cannot save '" + roots +
                          "': Permission denied\nreplaced");
  EXPECT_EQ(std::tuple(ReadBytes(read_only), ReadBytes(roots)), std::tuple(before, before));
  // Root's writable setuid file cannot stay root's: it becomes the saver's, without
  // setuid and setgid.
  EXPECT_EQ(std::tuple(Stat(setid).st_uid, Stat(setid).st_mode & 07777, ReadBytes(setid)),
            std::tuple(kOtherUser, 0777u, Pattern(90, 7)));
  EXPECT_EQ(std::distance(fs::directory_iterator(theirs), fs::directory_iterator()), 3);

  for (const auto& [name, uid, gid, mode] :
       {std::tuple{"plain", kOtherUser, kOtherGroup, mode_t{0640}},
        {"mixed", kOtherUser, 0u, 0604u},
        {"setid", kOtherUser, kOtherGroup, 06755u},
        {"read-only", kOtherUser, kOtherGroup, 0444u}}) {
    const std::string path = dir_.File(name);
    WriteBytes(path, Pattern(500, 4));
    ASSERT_EQ(::chown(path.c_str(), uid, gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    const ino_t inode = Stat(path).st_ino;
    EXPECT_EQ(Save(path, Pattern(700, 5)), "replaced") << name;
    const struct stat st = Stat(path);
    EXPECT_NE(st.st_ino, inode);
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777, ReadBytes(path)),
              std::tuple(uid, gid, mode, Pattern(700, 5)))
        << name;
  }
}

// Where the folder may not be written (root's folder, or a sticky one where only
// the owner may rename over a file) the file is written in place; a new file there
// cannot be made at all.
TEST_F(FileIo, FilesWhoseFolderCannotBeWrittenAreWrittenInPlace) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  const std::string closed = dir_.File("closed"), sticky = dir_.File("sticky");
  const std::string mine = Owned(closed, 0, "mine", kOtherUser, 0644, Pattern(5000, 8));
  const std::string shared = Owned(sticky, 0, "shared", 0, 0666, Pattern(5000, 8));
  ::chmod(sticky.c_str(), 01777);
  const ino_t mine_inode = Stat(mine).st_ino, shared_inode = Stat(shared).st_ino;
  const auto out = RunAsOtherUser([&] {
    // Shorter than before, so the old tail must be cut off; then longer again.
    std::string text = Save(mine, Pattern(100, 9)) + "\n";
    text += Save(shared, Pattern(100, 9)) + "\n";
    text += Save(shared, Pattern(6000, 10)) + "\n";
    return text + Save(closed + "/new", Pattern(100, 9));
  });
  EXPECT_EQ(out.text, "in place\nin place\nin place\nerror: cannot save '" + closed +
                          "/new': cannot create a file in '" + closed + "': Permission denied");
  EXPECT_EQ(std::tuple(ReadBytes(mine), ReadBytes(shared)),
            std::tuple(Pattern(100, 9), Pattern(6000, 10)));
  EXPECT_EQ(std::tuple(Stat(mine).st_ino, Stat(shared).st_ino, Stat(shared).st_uid),
            std::tuple(mine_inode, shared_inode, 0u));
  EXPECT_EQ(std::distance(fs::directory_iterator(closed), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(sticky), fs::directory_iterator()), 1);
}

// Content made a piece at a time arrives whole, replaced or (for a file with other
// hard links) in place; a writer that fails part way, or a write the system stops
// (the file size limit), leaves the old file as it was and nothing beside it.
TEST_F(FileIo, ContentArrivesWholeOrNotAtAll) {
  const std::string a = dir_.File("a"), b = dir_.File("b"), c = dir_.File("c");
  const Bytes content = Pattern(300000, 13), old = Pattern(5000, 14);
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
  WriteBytes(a, old);
  WriteBytes(c, old);
  ASSERT_EQ(::link(c.c_str(), b.c_str()), 0);
  for (const std::string& target : {a, b}) {
    EXPECT_EQ(Describe(SaveFileStreamed(target, pieces(3))),
              "error: cannot load 'in.pcx': pixel data ends early");
    EXPECT_EQ(ReadBytes(target), old);
  }
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit low = saved;
  low.rlim_cur = 100000;  // root ignores permission bits, but not this limit
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
  const std::string stopped = Save(a, content);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_HAS(stopped, "File too large");
  EXPECT_EQ(ReadBytes(a), old);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"a", "b", "c"}));

  const ino_t inode = Stat(b).st_ino;
  EXPECT_EQ(Describe(SaveFileStreamed(a, pieces(99))), "replaced");
  EXPECT_EQ(Describe(SaveFileStreamed(b, pieces(99))), "in place");
  EXPECT_EQ(Describe(SaveFileStreamed(dir_.File("new"), pieces(99))), "replaced");
  for (const char* name : {"a", "c", "new"}) EXPECT_EQ(ReadBytes(dir_.File(name)), content);
  EXPECT_EQ(std::tuple(Stat(c).st_ino, Stat(c).st_nlink), std::tuple(inode, nlink_t{2}));
}

TEST_F(FileIo, SymbolicLinksAreFollowedEvenToFilesNotYetThere) {
  // link -> sub/inner -> ../made, which does not exist; and a loop.
  ::mkdir(dir_.File("sub").c_str(), 0755);
  ::symlink("sub/inner", dir_.File("link").c_str());
  ::symlink("../made", dir_.File("sub/inner").c_str());
  ::symlink(dir_.File("made").c_str(), dir_.File("absolute").c_str());
  ::symlink("loop", dir_.File("loop").c_str());
  EXPECT_EQ(Save(dir_.File("link"), Pattern(300, 13)), "replaced");
  EXPECT_EQ(ReadBytes(dir_.File("made")), Pattern(300, 13));
  EXPECT_EQ(Save(dir_.File("absolute"), Pattern(200, 14)), "replaced");
  EXPECT_EQ(ReadBytes(dir_.File("made")), Pattern(200, 14));
  EXPECT_EQ(Save(dir_.File("loop"), Pattern(10, 1)),
            "error: cannot save '" + dir_.File("loop") + "': Too many levels of symbolic links");
  for (const char* name : {"link", "sub/inner", "absolute", "loop"})
    EXPECT_TRUE(fs::is_symlink(dir_.File(name))) << name;
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"absolute", "link", "loop", "made", "sub"}));
}

// The longest name a folder allows saves, new and replaced, with either kind of
// temporary; new files get 0666 less the umask; nothing is left behind.
TEST_F(FileIo, LongestNamesAndUmaskWithEitherKindOfTemporary) {
  const std::string longest = dir_.File(std::string(255, 'n'));
  const mode_t saved_mask = ::umask(022);
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
    faults::FailUnnamedTemporaries(!unnamed);
    for (mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0}}) {
      ::umask(mask);
      ASSERT_EQ(Save(dir_.File("fresh"), Pattern(100, 15)), "replaced");
      EXPECT_EQ(Stat(dir_.File("fresh")).st_mode & 07777, 0666 & ~mask) << std::oct << mask;
      fs::remove(dir_.File("fresh"));
    }
    ::umask(022);
    EXPECT_EQ(Save(longest, Pattern(100, 16)), "replaced");
    ::chmod(longest.c_str(), 0640);
    EXPECT_EQ(Save(longest, Pattern(200, 17)), "replaced");
    EXPECT_EQ(std::tuple(ReadBytes(longest), Stat(longest).st_mode & 07777),
              std::tuple(Pattern(200, 17), 0640u));
    EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{std::string(255, 'n')}));
    fs::remove(longest);
  }
  ::umask(saved_mask);
}

// A save killed while writing leaves the folder as it was: the old file, whole, and
// nothing else (the new content is in an unnamed file until it is complete).
TEST_F(FileIo, SaveKilledWhileWritingLeavesNothingBehind) {
  const std::string existing = dir_.File("existing");
  WriteBytes(existing, Pattern(2000, 18));
  for (const std::string& target : {existing, dir_.File("new")}) {
    KillSavePartWay(target, Pattern(8 << 20, 19),
                    [&] { EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"existing"}); });
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"existing"});
    EXPECT_EQ(ReadBytes(existing), Pattern(2000, 18));
  }
}

// Where unnamed temporaries are missing, the named one carries its target's name
// (cut between letters to fit), so that a save killed part way leaves something the
// user can place; the next save of that target removes such leftovers once they are
// a day old, and nothing else.
TEST_F(FileIo, NamedTemporariesCarryTheTargetsNameAndOldOnesAreCleared) {
  faults::FailUnnamedTemporaries(true);
  std::string long_name;
  for (int i = 0; i < 120; ++i) long_name += "\xc3\xa9";  // 240 bytes
  for (const auto& [name, prefix] :
       {std::pair<std::string, std::string>{"existing.pcx", ".existing.pcx.hw-save-"},
        {long_name + ".pcx", "." + long_name.substr(0, 238) + ".hw-save-"}}) {
    WriteBytes(dir_.File(name), Pattern(2000, 22));
    KillSavePartWay(dir_.File(name), Pattern(4 << 20, 23));
    const auto entries = dir_.Entries();
    const auto left = std::find_if(entries.begin(), entries.end(), [&](const std::string& e) {
      return e.size() == prefix.size() + 6 && e.starts_with(prefix);
    });
    ASSERT_TRUE(left != entries.end()) << ::testing::PrintToString(entries);
    EXPECT_EQ(ReadBytes(dir_.File(name)), Pattern(2000, 22));
    fs::remove(dir_.File(*left));
  }
  fs::remove(dir_.File(long_name + ".pcx"));

  const time_t day = 24 * 60 * 60;
  for (const auto& [name, age] : {std::pair{".existing.pcx.hw-save-ab12cd", 2 * day},
                                  {".existing.pcx.hw-save-ef34gh", 3600},
                                  {".other.pcx.hw-save-ab12cd", 2 * day},
                                  {".existing.pcx.hw-save-ab12cde", 2 * day},
                                  {"existing.pcx.hw-save-ab12cd", 2 * day}}) {
    WriteBytes(dir_.File(name), Pattern(100, 24));
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= age;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File(name).c_str(), times, 0), 0);
  }
  EXPECT_EQ(Save(dir_.File("existing.pcx"), Pattern(3000, 25)), "replaced");
  EXPECT_EQ(ReadBytes(dir_.File("existing.pcx")), Pattern(3000, 25));
  EXPECT_EQ(dir_.Entries(),
            (std::vector<std::string>{".existing.pcx.hw-save-ab12cde",
                                      ".existing.pcx.hw-save-ef34gh", ".other.pcx.hw-save-ab12cd",
                                      "existing.pcx", "existing.pcx.hw-save-ab12cd"}));
}

std::string AclOf(const std::string& file) {
  acl_t a = ::acl_get_file(file.c_str(), ACL_TYPE_ACCESS);
  if (a == nullptr) return "none";
  char* text = ::acl_to_any_text(a, nullptr, '\n', TEXT_NUMERIC_IDS);
  std::string out = text != nullptr ? text : "";
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
// before it takes the name; a save that could not keep them is refused.
TEST_F(FileIo, AclAndExtendedAttributesAreKeptOrTheSaveRefused) {
  const std::string path = dir_.File("shared");
  WriteBytes(path, Pattern(1000, 26));
  if (::setxattr(path.c_str(), "user.comment", "sunset", 6, 0) != 0 && errno == ENOTSUP) {
    GTEST_SKIP() << "the test folder's file system (TMPDIR) has no user extended attributes";
  }
  // The named user may write; the owning group may only read, although the mask
  // (the group bits of the mode) says rw.
  acl_t acl = ::acl_from_text("user::rw-\nuser:65534:rw-\ngroup::r--\nmask::rw-\nother::---\n");
  const int set = ::acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl);
  ::acl_free(acl);
  if (set != 0 && errno == ENOTSUP) GTEST_SKIP() << "the test folder's file system has no ACLs";
  ASSERT_EQ(set, 0) << std::strerror(errno);
  const std::string acl_before = AclOf(path);
  const mode_t mode_before = Stat(path).st_mode & 07777;
  for (bool unnamed : {true, false}) {
    faults::FailUnnamedTemporaries(!unnamed);
    const ino_t inode = Stat(path).st_ino;
    EXPECT_EQ(Save(path, Pattern(1200, 27)), "replaced");
    EXPECT_NE(Stat(path).st_ino, inode);
    EXPECT_EQ(std::tuple(AclOf(path), Stat(path).st_mode & 07777, XattrOf(path, "user.comment")),
              std::tuple(acl_before, mode_before, "sunset"))
        << (unnamed ? "unnamed temporary" : "named temporary");
  }
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"shared"});

  // Nor does a replacing file take in the users its folder's default ACL names.
  const std::string open = dir_.File("open"), plain = open + "/plain";
  ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
  WriteBytes(plain, Pattern(100, 30));
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
  acl = ::acl_from_text("user::rwx\nuser:65534:rwx\ngroup::r-x\nmask::rwx\nother::r-x\n");
  ASSERT_EQ(::acl_set_file(open.c_str(), ACL_TYPE_DEFAULT, acl), 0);
  ::acl_free(acl);
  EXPECT_EQ(Save(plain, Pattern(200, 31)), "replaced");
  EXPECT_EQ(AclOf(plain), "user::rw-\ngroup::r--\nother::---");

  // Only a privileged process may set security.* attributes, and user.* ones can be
  // read only from a file one may read: another user's saves of such files of its
  // own are refused, saying what could not be kept, unless the save is in place
  // (the folder is root's), which keeps them anyway.
  if (!IsRoot()) return;
  const std::string users = dir_.File("users"), closed = dir_.File("closed");
  const std::string labelled = Owned(users, kOtherUser, "labelled", kOtherUser, 0644, {1});
  const std::string write_only = Owned(users, kOtherUser, "write-only", kOtherUser, 0200, {1});
  const std::string kept_in_place = Owned(closed, 0, "write-only", kOtherUser, 0200, {1});
  for (const std::string& file : {labelled, write_only, kept_in_place})
    ASSERT_EQ(::setxattr(file.c_str(), "user.comment", "sunset", 6, 0), 0);
  if (::setxattr(labelled.c_str(), "security.hw-test", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "cannot set a security.* attribute here: " << std::strerror(errno);
  }
  const auto out = RunAsOtherUser([&] {
    return Save(labelled, {2}) + "\n" + Save(write_only, {2}) + "\n" + Save(kept_in_place, {2});
  });
  EXPECT_EQ(out.text, "error: cannot save '" + labelled +
                          "': cannot keep its extended attribute 'security.hw-test': "
                          "Operation not permitted\nerror: cannot save '" +
                          write_only +
                          "': cannot keep its extended attribute 'user.comment': "
                          "Permission denied\nin place");
  EXPECT_EQ(std::tuple(ReadBytes(labelled), ReadBytes(write_only), ReadBytes(kept_in_place)),
            std::tuple(Bytes{1}, Bytes{1}, Bytes{2}));
  EXPECT_EQ(
      std::tuple(XattrOf(labelled, "security.hw-test"), XattrOf(kept_in_place, "user.comment")),
      std::tuple("kept", "sunset"));
  EXPECT_EQ(std::distance(fs::directory_iterator(users), fs::directory_iterator()), 2);
}

// An in-place save makes sure the disk holds the new content before overwriting the
// old: one that cannot fit is refused and the file left as it was.
TEST_F(FileIo, InPlaceSavesThatDoNotFitAreRefused) {
  const std::string disk = dir_.File("disk");
  ASSERT_EQ(::mkdir(disk.c_str(), 0755), 0);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=2m") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
  }
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  const std::string a = disk + "/a", b = disk + "/b", filler = disk + "/filler";
  WriteBytes(a, Pattern(512 << 10, 30));
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const Bytes block(4096, 0x5a);
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  ::close(fd);
  const std::string refused = Save(a, Pattern(768 << 10, 31));
  EXPECT_HAS(refused, "cannot save '" + a + "': No space left on device");
  EXPECT_HAS(refused, "left as it was");
  EXPECT_EQ(ReadBytes(b), Pattern(512 << 10, 30));
  // A smaller file still fits on the full disk; a larger one once there is room.
  EXPECT_EQ(Save(a, Pattern(300 << 10, 32)), "in place");
  EXPECT_EQ(ReadBytes(b), Pattern(300 << 10, 32));
  fs::remove(filler);
  EXPECT_EQ(Save(a, Pattern(768 << 10, 31)), "in place");
  EXPECT_EQ(std::tuple(ReadBytes(b), Stat(b).st_nlink), std::tuple(Pattern(768 << 10, 31), 2u));
}

// A save that runs out of memory says so, naming the file, and leaves the file alone.
TEST_F(FileIo, SaveOutOfMemoryIsReportedAndTheFileKept) {
  const std::string path = dir_.File("pic.pcx");
  const BoardEntries entries = Opaque(DistinctPalette());
  PcxHeader hd = MakeHeader(300, 200);
  ASSERT_TRUE(SavePictureFile(path, PictureFormat::Pcx, hd, 300, 200, Pattern(60000, 20), entries));
  faults::FailAllocationsAfter(0);
  const std::string failed =
      Why(SavePictureFile(path, PictureFormat::Pcx, hd, 300, 200, Pattern(60000, 21), entries));
  faults::Reset();
  EXPECT_EQ(failed, "cannot save '" + path + "': not enough memory");
  EXPECT_EQ(LoadPictureFile(path)->pixels, Pattern(60000, 20));
}

}  // namespace
}  // namespace hw::test
