// The file layer: bounded reads, error messages naming the file, and saves that
// never damage the file they replace.
#include "formats/pcx_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../common/test_util.h"

namespace hw::test {
namespace {

const Palette kPal = DistinctPalette();

template <typename T>
void ExpectError(const Result<T>& r, const std::string& words) {
  ASSERT_FALSE(r.ok()) << words;
  EXPECT_NE(r.error().message.find(words), std::string::npos) << r.error().message;
}

TEST(PcxFile, ReadErrorsNameFileAndCause) {
  TempDir dir;
  auto missing = ReadFileBytes(dir.File("nope.pcx"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().message,
            "cannot load '" + dir.File("nope.pcx") + "': No such file or directory");
  ExpectError(ReadFileBytes(dir.Path()), "Is a directory");
  // Devices and pipes are refused at once; a pipe without a writer must not hang.
  ::mkfifo(dir.File("pipe").c_str(), 0644);
  ExpectError(ReadFileBytes(dir.File("pipe")), "not a regular file");
  ExpectError(ReadFileBytes("/dev/zero"), "not a regular file");
  WriteBytes(dir.File("big.bin"), Bytes(5000, 1));
  ExpectError(ReadFileBytes(dir.File("big.bin"), 4999), "too large");
  EXPECT_EQ(ReadFileBytes(dir.File("big.bin"), 5000)->size(), 5000u);

  WriteBytes(dir.File("trunc.pcx"), Bytes(900, 0));
  ExpectError(LoadPcxFile(dir.File("trunc.pcx")), "trunc.pcx");
}

TEST(PcxFile, FailedSavesLeaveTheOldFileAlone) {
  TempDir dir;
  const std::string path = dir.File("keep.pcx");
  Bytes old(2000);
  for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 13);
  WriteBytes(path, old);
  PcxHeader hd = MakeHeader(64, 64), big = MakeHeader(1000, 1000);
  const Bytes px(64 * 64, 3);

  // The pixel buffer is too short for the header.
  ExpectError(SavePcxFile(path, hd, Bytes(100), kPal), "cannot save '" + path + "'");
  EXPECT_EQ(ReadBytes(path), old);
  // A folder that does not exist.
  ExpectError(SavePcxFile(dir.File("none/x.pcx"), hd, px, kPal), "No such file or directory");

  // A write that fails part way (the file size limit is hit while writing the
  // temporary file). Root ignores permission bits, but not this limit.
  Bytes noisy(1000 * 1000);
  for (size_t i = 0; i < noisy.size(); ++i)
    noisy[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit low = saved;
  low.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
  auto partial = SavePcxFile(path, big, noisy, kPal);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  ExpectError(partial, "File too large");
  EXPECT_EQ(ReadBytes(path), old);
  // No temporary file is left behind by any of these.
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.pcx"});
}

}  // namespace
}  // namespace hw::test
