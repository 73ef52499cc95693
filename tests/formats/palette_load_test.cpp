// Palettes loaded from files as the window and `convert` load them: pictures give
// their own palette, a PCX is read from its end alone, and files that are no palette
// (a named pipe too, at once) are refused before they are read whole.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../common/test_util.h"
#include "formats/picture_io.h"
#include "formats/png.h"

namespace hw::test {
namespace {

// A file of `size` bytes, all of it a hole but `head` at the start and `tail` at the end.
void Sparse(const std::string& path, off_t size, const Bytes& head, const Bytes& tail) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), size - static_cast<off_t>(tail.size())),
            static_cast<ssize_t>(tail.size()));
  ::close(fd);
}

long PeakKilobytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(PaletteLoad, TakesWhatTheRuleSaysAndNoMore) {
  TempDir dir;
  BoardEntries entries{};
  const Palette distinct = DistinctPalette(9);
  for (size_t k = 0; k < 256; ++k) {
    entries[k] = {distinct[k], static_cast<uint8_t>(k < 3 ? k * 100 : 255)};
  }

  // A PNG with tRNS: its palette with the alpha, not bytes of its compressed data.
  WriteBytes(dir.File("alpha.png"), *EncodeIndexedPng(64, 64, Bytes(64 * 64, 5), entries));
  auto png = LoadAnyPaletteFile(dir.File("alpha.png"));
  ASSERT_TRUE(png.ok()) << png.error().message;
  EXPECT_EQ(png->count, 256);
  EXPECT_EQ(png->entries, entries);

  // A 3 GiB PCX, nearly all of it a hole: the palette at its end, read alone.
  const Bytes colours = PaletteBytes(distinct);
  Bytes tail(1, 12);
  tail.reserve(769);
  tail.insert(tail.end(), colours.begin(), colours.end());
  const auto header = HeaderBytes(MakeHeader(16, 16));
  Sparse(dir.File("huge.pcx"), off_t{3} << 30, Bytes(header.begin(), header.end()), tail);
  const long before = PeakKilobytes();
  auto pcx = LoadAnyPaletteFile(dir.File("huge.pcx"));
  EXPECT_LT(PeakKilobytes() - before, 64 * 1024) << "kilobytes of peak memory";
  ASSERT_TRUE(pcx.ok()) << pcx.error().message;
  EXPECT_EQ(pcx->count, 256);
  for (size_t k = 0; k < 256; ++k) ASSERT_EQ(pcx->entries[k], (BoardEntry{distinct[k], 255}));

  // Anything else is raw colours at exactly 768 bytes, and refused at any other
  // size, however large.
  WriteBytes(dir.File("raw.bin"), colours);
  EXPECT_EQ(LoadAnyPaletteFile(dir.File("raw.bin"))->entries[200].rgb, distinct[200]);
  WriteBytes(dir.File("2000.bin"), Bytes(2000, 1));
  Sparse(dir.File("3GiB.bin"), off_t{3} << 30, {1}, colours);
  for (const char* name : {"2000.bin", "3GiB.bin"}) {
    EXPECT_HAS(Why(LoadAnyPaletteFile(dir.File(name))),
               "cannot load '" + dir.File(name) + "': not a palette file Huewright reads");
  }
  ASSERT_EQ(::mkfifo(dir.File("pipe.gpl").c_str(), 0644), 0);
  EXPECT_HAS(Why(LoadAnyPaletteFile(dir.File("pipe.gpl"))), "not a regular file");
}

}  // namespace
}  // namespace hw::test
