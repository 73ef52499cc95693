// The file layer: bounded reads, error messages naming the file, and saves that
// never damage the file they replace.
#include "picture/pcx_file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace hw {
namespace {

using Bytes = std::vector<uint8_t>;

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/hw-pcxfile-XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path_.c_str())) {
      while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

Bytes Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

PcxHeader Header(int w, int h) {
  PcxHeader hd;
  hd.Manufacturer = 10, hd.Version = 5, hd.Encoding = 1, hd.BitsPerPixel = 8, hd.NPlanes = 1;
  hd.Xmax = static_cast<int16_t>(w - 1), hd.Ymax = static_cast<int16_t>(h - 1);
  hd.BytesPerLine = static_cast<int16_t>(w + (w & 1));
  return hd;
}

Palette Grey() {
  Palette p;
  for (int i = 0; i < 256; ++i) p[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  return p;
}

TEST(PcxFile, ReadErrorsNameFileAndCause) {
  TempDir dir;
  auto missing = ReadFileBytes(dir / "nope.pcx");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().message,
            "cannot open '" + (dir / "nope.pcx") + "': No such file or directory");

  auto is_dir = LoadPcxFile(dir.path());
  ASSERT_FALSE(is_dir.ok());
  EXPECT_NE(is_dir.error().message.find("Is a directory"), std::string::npos);

  // Devices and pipes are refused at once; a pipe without a writer must not hang.
  ::mkfifo((dir / "pipe").c_str(), 0644);
  for (const std::string& odd : {dir / "pipe", std::string("/dev/zero")}) {
    auto r = ReadFileBytes(odd);
    ASSERT_FALSE(r.ok()) << odd;
    EXPECT_NE(r.error().message.find("not a regular file"), std::string::npos) << odd;
  }

  Spit(dir / "big.bin", Bytes(5000, 1));
  auto big = ReadFileBytes(dir / "big.bin", 4999);
  ASSERT_FALSE(big.ok());
  EXPECT_NE(big.error().message.find("too large"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir / "big.bin", 5000)->size(), 5000u);

  Spit(dir / "short.pcx", Bytes(700, 0));
  auto pal = LoadPaletteFile(dir / "short.pcx");
  ASSERT_FALSE(pal.ok());
  EXPECT_NE(pal.error().message.find("'" + (dir / "short.pcx") + "'"), std::string::npos);
  EXPECT_NE(pal.error().message.find("768"), std::string::npos);

  Spit(dir / "trunc.pcx", Bytes(900, 0));
  auto pic = LoadPcxFile(dir / "trunc.pcx");
  ASSERT_FALSE(pic.ok());
  EXPECT_NE(pic.error().message.find("trunc.pcx"), std::string::npos);
}

TEST(PcxFile, SaveLoadRoundTripKeepsModeAndFollowsLinks) {
  TempDir dir;
  const std::string path = dir / "pic.pcx";
  Spit(path, Bytes(3000, 9));
  ::chmod(path.c_str(), 0640);
  ::symlink("pic.pcx", (dir / "link.pcx").c_str());

  PcxHeader hd = Header(5, 3);
  Bytes px(15);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 40);
  ASSERT_TRUE(SavePcxFile(dir / "link.pcx", hd, px, Grey()).ok());

  struct stat st {};
  ASSERT_EQ(::lstat((dir / "link.pcx").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  auto back = LoadPcxFile(path);
  ASSERT_TRUE(back.ok()) << back.error().message;
  EXPECT_EQ(back->pixels, px);
  EXPECT_EQ(back->palette, Grey());
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link.pcx", "pic.pcx"}));
}

TEST(PcxFile, FailedSavesLeaveTheOldFileAlone) {
  TempDir dir;
  const std::string path = dir / "keep.pcx";
  Bytes old(2000);
  for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 13);
  Spit(path, old);
  PcxHeader hd = Header(64, 64);
  const Bytes px(64 * 64, 3);

  // Encoding error: the pixel buffer is too short for the header.
  auto encode = SavePcxFile(path, hd, Bytes(100), Grey());
  ASSERT_FALSE(encode.ok());
  EXPECT_NE(encode.error().message.find("cannot save '" + path + "'"), std::string::npos);
  EXPECT_EQ(Slurp(path), old);

  // A directory that does not exist.
  auto nodir = SavePcxFile(dir / "none/x.pcx", hd, px, Grey());
  ASSERT_FALSE(nodir.ok());
  EXPECT_NE(nodir.error().message.find("No such file or directory"), std::string::npos);

  // A target that is a directory.
  ::mkdir((dir / "sub").c_str(), 0755);
  EXPECT_FALSE(SavePcxFile(dir / "sub", hd, px, Grey()).ok());

  // A write that fails part way (the file size limit is hit while writing the
  // temporary file). Root ignores permission bits, but not this limit.
  PcxHeader big = Header(1000, 1000);
  Bytes noisy(1000 * 1000);
  for (size_t i = 0; i < noisy.size(); ++i)
    noisy[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit low = saved;
  low.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
  auto partial = SavePcxFile(path, big, noisy, Grey());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  ASSERT_FALSE(partial.ok());
  EXPECT_NE(partial.error().message.find("File too large"), std::string::npos)
      << partial.error().message;
  EXPECT_EQ(Slurp(path), old);

  // No temporary file is left behind by any of these.
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"keep.pcx", "sub"}));
}

}  // namespace
}  // namespace hw
