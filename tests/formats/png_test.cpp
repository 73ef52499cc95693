// Indexed PNG pictures: our own round trip, exchange with Pillow both ways, and the
// damaged or hostile files that must be refused.
#include "formats/pictures/png.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <functional>
#include <new>
#include <random>
#include <sstream>

#include "../common/test_util.h"
#include "formats/pictures/pixel_limit.h"

namespace hw::test {
namespace {

BoardEntries Entries(int clear_until = 0) {
  BoardEntries e = Opaque(DistinctPalette(5));
  for (int k = 0; k < clear_until; ++k) e[static_cast<size_t>(k)].A = static_cast<uint8_t>(k * 37);
  return e;
}

Bytes Pixels(int w, int h) {
  Bytes px(static_cast<size_t>(w) * static_cast<size_t>(h));
  uint32_t s = 88172645u;
  for (auto& v : px) s ^= s << 13, s ^= s >> 17, s ^= s << 5, v = static_cast<uint8_t>(s >> 3);
  return px;
}

Bytes Encode(int w, int h, const Bytes& px, const BoardEntries& e) {
  auto r = EncodeIndexedPng(w, h, px, e);
  EXPECT_TRUE(r.ok()) << r.error().Text();
  return r.ok() ? *r : Bytes{};
}

void ExpectRefused(const Bytes& png, const std::string& fragment) {
  auto r = DecodeIndexedPng(png);
  ASSERT_FALSE(r.ok()) << "decoded a picture of " << r->width << " x " << r->height;
  EXPECT_HAS(r.error().Text(), fragment);
}

// The chunks of `png` with the first chunk of `type` changed by `change`.
Bytes WithChunk(const Bytes& png, const std::string& type,
                const std::function<void(Bytes&)>& change) {
  std::vector<Chunk> chunks = Chunks(png);
  for (Chunk& c : chunks) {
    if (c.type == type) {
      change(c.data);
      break;
    }
  }
  return Assemble(chunks);
}

// ---- damaged and hostile files

// A small file claiming a huge 1-bit picture: the pixels of one byte each would take
// 1 GiB, the packed rows 128 MiB. Refused when the data runs out, in a child whose
// address space may grow by 256 MiB only.
TEST(PngHostile, ShortDataClaimingAHugePictureIsRefusedInBoundedMemory) {
  // 32767 x 32767, 1 bit; a zlib header, then two stored deflate blocks of 65535 zero
  // bytes (rows of filter 0 and black pixels) and no final block: the stream ends early.
  Bytes idat = {0x78, 0x01};
  for (int block = 0; block < 2; ++block) {
    idat.insert(idat.end(), {0x00, 0xFF, 0xFF, 0x00, 0x00});
    idat.insert(idat.end(), 65535, 0);
  }
  const Bytes png = WithChunk(
      WithChunk(Encode(4, 4, Pixels(4, 4), Entries()), "IHDR",
                [](Bytes& ihdr) { ihdr = {0, 0, 0x7F, 0xFF, 0, 0, 0x7F, 0xFF, 1, 3, 0, 0, 0}; }),
      "IDAT", [&idat](Bytes& data) { data = idat; });
  const ChildOutcome child = RunInChild(
      [&png]() -> std::string {
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
          if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
          std::fclose(f);
        }
        const rlim_t now =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
        const rlimit limit{now + (rlim_t{256} << 20), now + (rlim_t{256} << 20)};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) return "cannot set the limit";
        SetPixelLimit(kLargestPixelLimit);  // the data's check, not the size limit's
        try {
          auto r = DecodeIndexedPng(png);
          return r ? "decoded" : "refused: " + r.error().Text();
        } catch (const std::bad_alloc&) {
          return "out of memory";
        }
      },
      false);
  ASSERT_TRUE(child.Exited()) << child.status;
  EXPECT_TRUE(child.text.starts_with("refused: damaged PNG image data")) << child.text;
}

// A second PLTE or tRNS (peers differ on which counts) and metadata past libspng's
// limits: refused by the picture and the palette readers alike, in words that say so.
TEST(PngHostile, DuplicateChunksAndOversizedMetadataRefused) {
  Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
  text.resize(text.size() + (9 << 20), 'x');
  const Bytes png = Encode(3, 2, Pixels(3, 2), Entries(3));
  const struct {
    const char* type;
    Bytes data;
    const char* fragment;
  } cases[] = {{"PLTE", Bytes(12, 7), "more than one palette (PLTE)"},
               {"tRNS", Bytes(2, 9), "more than one transparency chunk (tRNS)"},
               {"tEXt", text, "the PNG's metadata is larger than Huewright accepts"}};
  for (const auto& c : cases) {
    // Right after the chunk of its type (where libspng takes the copy quietly), or
    // before the image data.
    auto chunks = Chunks(png);
    auto at = std::find_if(chunks.begin(), chunks.end(),
                           [&c](const Chunk& k) { return k.type == c.type; });
    if (at == chunks.end()) {
      at = std::find_if(chunks.begin(), chunks.end(),
                        [](const Chunk& k) { return k.type == "IDAT"; });
    } else {
      ++at;
    }
    chunks.insert(at, Chunk{c.type, c.data});
    const Bytes bad = Assemble(chunks);
    ExpectRefused(bad, c.fragment);
    EXPECT_HAS(Why(DecodePngPalette(bad)), c.fragment);
  }
}

// Every truncation is refused, with a message (damaged chunks and CRCs are in the
// fuzz corpus).
TEST(PngHostile, EveryTruncationRefused) {
  const Bytes png = Encode(23, 11, Pixels(23, 11), Entries(3));
  ASSERT_TRUE(DecodeIndexedPng(png).ok());
  for (size_t n = 0; n < png.size(); ++n) {
    auto r = DecodeIndexedPng(std::span(png).first(n));
    ASSERT_FALSE(r.ok()) << "cut at " << n << " of " << png.size();
    EXPECT_FALSE(r.error().Text().empty());
  }
}

// ---- exchange with Pillow

// `write DIR` makes one PNG per case (Pillow's, or interlaced ones built by hand, which
// Pillow must read as intended) with NAME.idx, NAME.plte and NAME.trns beside it, and
// lists the names in DIR/cases; `read DIR NAME` dumps what Pillow sees in NAME.png.
constexpr const char* kScript = R"PY(
import struct, sys, zlib
from PIL import Image

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def pack(row, bits):  # `bits`-bit indices, high bits first, the last byte padded with 0
    per = 8 // bits
    row = list(row) + [0] * (-len(row) % per)
    return bytes(sum(v << (8 - bits * (j + 1)) for j, v in enumerate(row[i:i + per]))
                 for i in range(0, len(row), per))

def interlaced_png(w, h, bits, idx, plte, trns):  # Adam7, filter type 0 on every row
    raw = b"".join(b"\0" + pack([idx[y * w + x] for x in range(x0, w, dx)], bits)
                   for x0, y0, dx, dy in [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4),
                                          (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
                   if x0 < w for y in range(y0, h, dy))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, bits, 3, 0, 0, 1)) +
            chunk(b"PLTE", plte) + (chunk(b"tRNS", trns) if trns else b"") +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))

def write(d):
    names = []
    # bits, palette entries, tRNS entries, width, height
    for bits, n, t, w, h in [(1, 2, 1, 13, 7), (2, 3, 2, 13, 7), (4, 11, 5, 13, 7), (4, 16, 16, 8, 8),
                             (8, 200, 17, 37, 19), (8, 256, 256, 16, 17), (8, 17, 0, 1, 1)]:
        seed = bits * 1000 + n
        # Every index the bit depth allows, including ones past the palette.
        idx = bytes((seed + i * 7 + i // w) % (1 << bits) for i in range(w * h))
        plte = bytes((seed * 13 + i * 29) % 256 for i in range(3 * n))
        trns = bytes((i * 53 + 1) % 256 for i in range(t))
        for interlace in (0, 1):
            name = "b%d_n%d_t%d_%dx%d_i%d" % (bits, n, t, w, h, interlace)
            path = "%s/%s.png" % (d, name)
            if interlace:
                open(path, "wb").write(interlaced_png(w, h, bits, idx, plte, trns))
            else:
                im = Image.frombytes("P", (w, h), idx)
                im.putpalette(plte)
                im.save(path, **({"transparency": trns} if t else {}))
            data = open(path, "rb").read()
            assert data[24] == bits and data[25] == 3 and data[28] == interlace, (name, data[24:29])
            assert Image.open(path).tobytes() == idx, name
            for ext, content in (("idx", idx), ("plte", plte), ("trns", trns)):
                open("%s/%s.%s" % (d, name, ext), "wb").write(content)
            names.append(name)
    open(d + "/cases", "w").write("\n".join(names) + "\n")

def read(d, name):
    im = Image.open("%s/%s.png" % (d, name))
    assert im.mode == "P", im.mode
    open("%s/%s.idx2" % (d, name), "wb").write(im.tobytes())
    open("%s/%s.plte2" % (d, name), "wb").write(bytes(im.getpalette("RGB")[:768]).ljust(768, b"\0"))
    alpha, t = bytearray([255] * 256), im.info.get("transparency")
    if isinstance(t, int):
        alpha[t] = 0
    elif t is not None:
        alpha[:len(t)] = t
    open("%s/%s.alpha2" % (d, name), "wb").write(bytes(alpha))

write(sys.argv[2]) if sys.argv[1] == "write" else read(sys.argv[2], sys.argv[3])
)PY";

class PngInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (python_.empty()) GTEST_FAIL();
    std::ofstream(At("check.py")) << kScript;
  }
  void Python(const std::string& args) {
    std::string out;
    ASSERT_EQ(RunShell(python_ + " " + At("check.py") + " " + args, &out), 0)
        << args << ": " << out;
  }
  std::string At(const std::string& name) const { return dir_.File(name); }
  const std::string python_ = NeedTool("python3", "python3-pil");
  TempDir dir_;
};

TEST_F(PngInterop, DecodesWhatPillowWrites) {
  ASSERT_NO_FATAL_FAILURE(Python("write " + dir_.Path()));
  const Bytes list = ReadBytes(At("cases"));
  std::istringstream names(std::string(list.begin(), list.end()));
  int seen = 0;
  for (std::string name; std::getline(names, name);) {
    SCOPED_TRACE(name);
    ++seen;
    const Bytes idx = ReadBytes(At(name + ".idx")), plte = ReadBytes(At(name + ".plte")),
                trns = ReadBytes(At(name + ".trns"));
    auto pic = DecodeIndexedPng(ReadBytes(At(name + ".png")));
    ASSERT_TRUE(pic.ok()) << pic.error().Text();
    ASSERT_EQ(
        std::tuple(pic->pixels, size_t(pic->width * pic->height), size_t(pic->palette_count) * 3),
        std::tuple(idx, idx.size(), plte.size()));
    for (size_t k = 0; k < 256; ++k) {
      const BoardEntry want = k < plte.size() / 3
                                  ? BoardEntry{{plte[3 * k], plte[3 * k + 1], plte[3 * k + 2]},
                                               k < trns.size() ? trns[k] : uint8_t{255}}
                                  : BoardEntry{};
      ASSERT_EQ(pic->entries[k], want) << "entry " << k;
    }
  }
  EXPECT_EQ(seen, 14);
}

// What we write, our reader and Pillow read back exactly: pixels, colours, alpha.
TEST_F(PngInterop, PillowReadsWhatWeWrite) {
  const struct {
    int w, h, clear_until, single_clear;
  } cases[] = {{1, 1, 0, -1}, {37, 19, 0, 7}, {300, 2, 256, -1}, {16, 16, 100, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    const Bytes px = Pixels(c.w, c.h);
    BoardEntries e = Entries(c.clear_until);
    if (c.single_clear >= 0) e[static_cast<size_t>(c.single_clear)].A = 0;
    WriteBytes(At("ours.png"), Encode(c.w, c.h, px, e));
    auto ours = DecodeIndexedPng(ReadBytes(At("ours.png")));
    ASSERT_TRUE(ours.ok()) << ours.error().Text();
    EXPECT_EQ(
        std::tuple(ours->width, ours->height, ours->palette_count, ours->pixels, ours->entries),
        std::tuple(c.w, c.h, 256, px, e));
    ASSERT_NO_FATAL_FAILURE(Python("read " + dir_.Path() + " ours"));
    EXPECT_EQ(ReadBytes(At("ours.idx2")), px);
    const Bytes plte = ReadBytes(At("ours.plte2")), alpha = ReadBytes(At("ours.alpha2"));
    ASSERT_EQ(plte.size(), 768u);
    ASSERT_EQ(alpha.size(), 256u);
    for (size_t k = 0; k < 256; ++k) {
      ASSERT_EQ((BoardEntry{{plte[3 * k], plte[3 * k + 1], plte[3 * k + 2]}, alpha[k]}), e[k])
          << "entry " << k;
    }
  }
}

// ---- cycle ranges (crNg)

// The payload as the chunk's layout spells it, built by hand.
Bytes CrngPayload(const CycleRanges& ranges) {
  Bytes out;
  for (const CycleRange& r : ranges) {
    const int flags = (r.active ? 1 : 0) | (r.reverse ? 2 : 0);
    out.insert(out.end(),
               {uint8_t(r.rate >> 8), uint8_t(r.rate & 0xFF), 0, uint8_t(flags), r.low, r.high});
  }
  return out;
}

// Every count of ranges 0..16 round trips byte for byte: one crNg holding them (none
// for none), read back equal, and written again into the very same file.
TEST(PngCycles, RangesRoundTripByteForByteInExactlyOneChunk) {
  std::mt19937 gen(3);
  const Bytes px = Pixels(9, 4);
  for (size_t n = 0; n <= kMaxCycleRanges; ++n) {
    CycleRanges ranges;
    for (size_t i = 0; i < n; ++i) {
      ranges.push_back(
          {uint8_t(gen()), uint8_t(gen()), uint16_t(gen()), gen() % 2 == 0, gen() % 2 == 0});
    }
    auto png = EncodeIndexedPng(9, 4, px, Entries(3), nullptr, ranges);
    ASSERT_TRUE(png.ok());
    int chunks = 0;
    for (const Chunk& c : Chunks(*png)) {
      if (c.type != "crNg") continue;
      ++chunks;
      EXPECT_EQ(c.data, CrngPayload(ranges));
    }
    EXPECT_EQ(chunks, n == 0 ? 0 : 1);
    auto back = DecodeIndexedPng(*png);
    ASSERT_TRUE(back.ok()) << back.error().Text();
    EXPECT_EQ(back->cycles, ranges);
    EXPECT_EQ(back->pixels, px);
    auto again = EncodeIndexedPng(9, 4, back->pixels, back->entries, nullptr, back->cycles);
    EXPECT_EQ(*again, *png);
  }
}

// Another program's crNg after the image data is read; a broken one (a length that
// is not 6 n, more than 16 ranges, a wrong CRC) is left aside and the picture loads.
TEST(PngCycles, ForeignAndBrokenChunksAreReadOrLeftAside) {
  const Bytes plain = Encode(5, 3, Pixels(5, 3), Entries());
  const CycleRanges two = [] {
    CycleRanges r;
    r.push_back({196, 203, 16384, true, true});
    r.push_back({4, 9, 0, false, false});
    return r;
  }();
  const auto with_chunk = [&](const Bytes& payload) {
    std::vector<Chunk> chunks = Chunks(plain);
    chunks.insert(chunks.end() - 1, Chunk{"crNg", payload});
    return Assemble(chunks);
  };
  auto read = DecodeIndexedPng(with_chunk(CrngPayload(two)));
  ASSERT_TRUE(read.ok()) << read.error().Text();
  EXPECT_EQ(read->cycles, two);

  EXPECT_EQ(read->note, "");

  // Each cause, the picture loading without ranges and the load saying why.
  Bytes seventeen;
  for (int i = 0; i < 17; ++i) seventeen.insert(seventeen.end(), {0, 1, 0, 1, 2, 3});
  Bytes bad_crc = with_chunk(CrngPayload(two));
  bad_crc[bad_crc.size() - 13] ^= 1;  // the crNg's CRC, just before IEND
  const std::pair<Bytes, std::string> broken[] = {
      {with_chunk(Bytes{0, 1, 0, 1, 2, 3, 4}), "length not a multiple of 6"},
      {with_chunk(Bytes{1}), "length not a multiple of 6"},
      {with_chunk(seventeen), "more than 16 ranges"},
      {bad_crc, "bad CRC"}};
  for (const auto& [file, cause] : broken) {
    auto r = DecodeIndexedPng(file);
    ASSERT_TRUE(r.ok()) << cause << ": " << r.error().Text();
    EXPECT_EQ(std::tuple(r->cycles.empty(), r->note, r->pixels),
              std::tuple(true, "crNg chunk left aside: " + cause, Pixels(5, 3)));
  }
  // Any other ancillary chunk with a wrong CRC still refuses the file.
  std::vector<Chunk> chunks = Chunks(plain);
  chunks.insert(chunks.end() - 1, Chunk{"zzZZ", {1, 2, 3}});
  Bytes other = Assemble(chunks);
  other[other.size() - 13] ^= 1;
  EXPECT_FALSE(DecodeIndexedPng(other).ok());
}

// A save writes entries 0..L-1 (L = 1 + the last position used or not opaque black)
// at the smallest depth that holds them, with tRNS up to the last entry not opaque.
TEST(PngWrite, KeepsTheSpritesKindAtTheSmallestDepth) {
  struct Case {
    uint8_t top;   // the highest index used
    int coloured;  // an unused entry given a colour, or -1
    int clear;     // an entry given alpha 0, or -1
    int length, depth, trns;
  };
  for (const Case& c : {Case{1, -1, -1, 2, 1, 0}, Case{3, -1, 1, 4, 2, 2}, Case{2, 9, -1, 10, 4, 0},
                        Case{15, -1, 15, 16, 4, 16}, Case{16, -1, -1, 17, 8, 0},
                        Case{0, -1, 200, 201, 8, 201}, Case{0, -1, -1, 1, 1, 0}}) {
    BoardEntries e{};
    for (int k = 0; k <= c.top; ++k) e[size_t(k)].rgb = {uint8_t(k + 1), 2, 3};
    if (c.coloured >= 0) e[size_t(c.coloured)].rgb = {9, 9, 9};
    if (c.clear >= 0) e[size_t(c.clear)].A = 0;
    Bytes px(7 * 5);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i % (c.top + 1u));
    const Bytes png = Encode(7, 5, px, e);
    auto back = DecodeIndexedPng(png);
    ASSERT_TRUE(back.ok()) << back.error().Text();
    int trns = 0;
    for (const Chunk& chunk : Chunks(png))
      trns += chunk.type == "tRNS" ? int(chunk.data.size()) : 0;
    EXPECT_EQ(std::tuple(back->palette_count, back->bit_depth, trns, back->pixels, back->entries),
              std::tuple(c.length, c.depth, c.trns, px, e))
        << "top " << int(c.top);
  }
}

// The copyable ancillary chunks come back in their places and the colour space
// before PLTE; the unsafe ones and crNg do not, the unsafe ones named; a wrong CRC on
// a kept one refuses the file.
TEST(PngWrite, KeepsTheLoadedFilesCopyableChunks) {
  const Bytes plain = Encode(3, 2, {0, 1, 2, 2, 1, 0}, Entries());
  std::vector<Chunk> chunks = Chunks(plain);
  const Chunk text{"tEXt", {'T', 'i', 't', 'l', 'e', 0, 'x'}}, phys{"pHYs", Bytes(9, 1)},
      mine{"prVt", {1, 2, 3}}, late{"zzZz", {4}};
  auto at = [&chunks](const char* type) {
    return std::find_if(chunks.begin(), chunks.end(),
                        [type](const Chunk& c) { return c.type == type; });
  };
  chunks.insert(at("PLTE"), {mine, Chunk{"gAMA", {0, 0, 177, 143}}, Chunk{"crNg", {1, 2}}});
  chunks.insert(at("IDAT"), {phys, Chunk{"prVT", {5}}});
  chunks.insert(at("IEND"), {text, late});
  const Bytes file = Assemble(chunks);
  auto pic = DecodeIndexedPng(file);
  ASSERT_TRUE(pic.ok()) << pic.error().Text();
  const Bytes saved = *EncodeIndexedPng(3, 2, pic->pixels, pic->entries, &pic->extras.png);
  std::vector<std::string> order;
  for (const Chunk& c : Chunks(saved)) order.push_back(c.type);
  EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "gAMA", "prVt", "PLTE", "pHYs", "IDAT", "tEXt",
                                             "zzZz", "IEND"}));
  EXPECT_EQ(Chunks(saved)[6].data, text.data);
  EXPECT_EQ(pic->extras.png.dropped, (std::vector<std::string>{"prVT"}));
  Bytes damaged = file;
  const auto where =
      std::search(damaged.begin(), damaged.end(), late.type.begin(), late.type.end());
  where[4] ^= 1;  // the data byte of the last kept chunk
  EXPECT_HAS(Why(DecodeIndexedPng(damaged)), "CRC");
}

}  // namespace
}  // namespace hw::test
