#include "formats/pictures/ilbm.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/pictures/bytes.h"
#include "formats/pictures/ilbm_planes.h"
#include "formats/pictures/picture_format.h"
#include "formats/pictures/pixel_limit.h"

namespace hw {

using namespace bytes;
namespace {

void PutId(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

bool IdIs(const uint8_t* at, const char* id) { return std::memcmp(at, id, 4) == 0; }

// A chunk's name for a message: its four bytes, each outside printable ASCII as '?'.
std::string IdText(const uint8_t* at) {
  std::string id(reinterpret_cast<const char*>(at), 4);
  for (char& c : id) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return id;
}

constexpr size_t kBmhdBytes = 20;
constexpr size_t kCrngBytes = 8;
constexpr size_t kCcrtBytes = 14;
constexpr uint32_t kCamgHam = 0x800;
constexpr uint32_t kCamgHalfBrite = 0x80;
constexpr uint16_t kCrngActive = 1;
constexpr uint16_t kCrngReverse = 2;
constexpr int kMaskNone = 0, kMaskPlane = 1, kMaskTransparent = 2, kMaskLasso = 3;
constexpr int kUncompressed = 0, kByteRun1 = 1;

// The chunks a save copies, and how much of them a picture keeps at most; past
// that they are left out and named.
constexpr const char* kKeptIds[] = {"ANNO", "AUTH", "NAME", "(c) ", "DPI ", "GRAB"};
constexpr size_t kKeptChunkLimit = size_t{64} << 20;

void NameDropped(IlbmChunks& chunks, const uint8_t* id) {
  std::string name = IdText(id);
  if (std::find(chunks.dropped.begin(), chunks.dropped.end(), name) == chunks.dropped.end()) {
    chunks.dropped.push_back(std::move(name));
  }
}

constexpr const char* kBodyEndsEarly = "the BODY ends early";
constexpr const char* kRunCrossesRow = "a ByteRun1 run crosses the end of a row";

// Unpacks one row of n bytes of ByteRun1 data at `at` (moved past it): a control
// byte c below 128 copies the next c + 1 bytes, above 128 repeats the next byte
// 257 - c times, 128 does nothing. Each row is packed on its own, so a run that
// would pass the row's end is damage. Null when the row is whole.
const char* UnpackRow(std::span<const uint8_t> body, size_t& at, uint8_t* dst, size_t n) {
  size_t got = 0;
  while (got < n) {
    if (at >= body.size()) return kBodyEndsEarly;
    const uint8_t c = body[at++];
    if (c < 128) {
      const size_t len = size_t{c} + 1;
      if (len > n - got) return kRunCrossesRow;
      if (len > body.size() - at) return kBodyEndsEarly;
      std::memcpy(dst + got, body.data() + at, len);
      at += len;
      got += len;
    } else if (c > 128) {
      const size_t len = 257 - size_t{c};
      if (len > n - got) return kRunCrossesRow;
      if (at >= body.size()) return kBodyEndsEarly;
      std::memset(dst + got, body[at++], len);
      got += len;
    }
  }
  return nullptr;
}

// Packs n bytes as ByteRun1: runs of three or more equal bytes as repeats, the rest
// as literals, each at most 128 bytes.
void PackRow(const uint8_t* src, size_t n, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 128 && src[i + run] == src[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<uint8_t>(257 - run));
      out.push_back(src[i]);
      i += run;
      continue;
    }
    const size_t start = i;
    while (i < n && i - start < 128) {
      if (i + 2 < n && src[i] == src[i + 1] && src[i] == src[i + 2]) break;
      ++i;
    }
    out.push_back(static_cast<uint8_t>(i - start - 1));
    out.insert(out.end(), src + start, src + i);
  }
}

}  // namespace

std::vector<std::string> IlbmChunkIds(std::span<const uint8_t> chunks) {
  std::vector<std::string> ids;
  for (size_t pos = 0; pos + 8 <= chunks.size();) {
    const size_t length = Be32(chunks.data() + pos + 4);
    if (length > chunks.size() - pos - 8) break;
    ids.push_back(IdText(chunks.data() + pos));
    pos += 8 + length + (length & 1);
  }
  return ids;
}

bool HasIlbmSignature(std::span<const uint8_t> bytes) {
  return bytes.size() >= 12 && IdIs(bytes.data(), "FORM") &&
         (IdIs(bytes.data() + 8, "ILBM") || IdIs(bytes.data() + 8, "PBM "));
}

uint16_t CcrtRate(int64_t seconds, int64_t microseconds) {
  const int64_t micros = seconds * 1000000 + microseconds;
  if (micros <= 0) return 0;
  // 16384 per 1/60 s a step: 16384 * 10^6 / (60 * micros), rounded.
  const int64_t numerator = int64_t{kCycleRateUnit} * 1000000;
  const int64_t denominator = 60 * micros;
  const int64_t rate = (numerator + denominator / 2) / denominator;
  return static_cast<uint16_t>(std::clamp<int64_t>(rate, 1, kMaxCycleRate));
}

Result<DecodedPicture> DecodeIlbm(std::span<const uint8_t> bytes) {
  if (!HasIlbmSignature(bytes)) return Error{"not an ILBM file (no FORM ILBM or PBM signature)"};
  const bool chunky = IdIs(bytes.data() + 8, "PBM ");
  // The FORM's chunks, up to its stated length or the file's end, whichever is
  // first: every chunk must be whole.
  const size_t end =
      static_cast<size_t>(std::min<uint64_t>(bytes.size(), uint64_t{8} + Be32(bytes.data() + 4)));
  std::span<const uint8_t> bmhd, cmap, body;
  uint32_t camg = 0;
  std::vector<CycleRange> ranges;
  size_t range_count = 0;
  IlbmChunks pic_chunks;
  for (size_t pos = 12; end >= pos + 8;) {
    const uint8_t* head = bytes.data() + pos;
    const uint32_t length = Be32(head + 4);
    if (length > end - pos - 8) {
      return Error{"the " + IdText(head) + " chunk runs past the end of the file"};
    }
    const std::span<const uint8_t> data = bytes.subspan(pos + 8, length);
    if (IdIs(head, "BMHD") && bmhd.empty()) {
      if (length < kBmhdBytes) return Error{"the BMHD chunk is shorter than 20 bytes"};
      bmhd = data;
    } else if (IdIs(head, "CMAP") && cmap.empty()) {
      cmap = data;
    } else if (IdIs(head, "CAMG") && length >= 4) {
      camg = Be32(data.data());
      pic_chunks.camg = camg;
    } else if (IdIs(head, "BODY") && body.data() == nullptr) {
      body = data;
    } else if (IdIs(head, "CRNG") && length >= kCrngBytes) {
      if (++range_count <= kMaxCycleRanges) {
        const uint16_t flags = Be16(data.data() + 4);
        ranges.push_back(CycleRange{data[6], data[7], Be16(data.data() + 2),
                                    (flags & kCrngReverse) != 0, (flags & kCrngActive) != 0});
      }
    } else if (IdIs(head, "CCRT") && length >= kCcrtBytes) {
      if (++range_count <= kMaxCycleRanges) {
        const auto direction = static_cast<int16_t>(Be16(data.data()));
        const auto seconds = static_cast<int32_t>(Be32(data.data() + 4));
        const auto micros = static_cast<int32_t>(Be32(data.data() + 8));
        const uint16_t rate = direction == 0 ? 0 : CcrtRate(seconds, micros);
        ranges.push_back(CycleRange{data[2], data[3], rate, direction < 0, rate != 0});
      }
    } else if (std::any_of(std::begin(kKeptIds), std::end(kKeptIds),
                           [head](const char* id) { return IdIs(head, id); })) {
      // The pad byte after an odd length may be missing from the file's last chunk.
      const size_t whole = 8 + size_t{length};
      if (pic_chunks.kept.size() + whole + 1 > kKeptChunkLimit) {
        NameDropped(pic_chunks, head);
      } else {
        pic_chunks.kept.insert(pic_chunks.kept.end(), head, head + whole);
        if (length & 1) pic_chunks.kept.push_back(0);
      }
    } else if (!IdIs(head, "BMHD") && !IdIs(head, "CMAP") && !IdIs(head, "CAMG") &&
               !IdIs(head, "BODY") && !IdIs(head, "CRNG") && !IdIs(head, "CCRT")) {
      NameDropped(pic_chunks, head);
    }
    pos += 8 + size_t{length} + (length & 1);
  }
  if (bmhd.empty()) return Error{"the ILBM has no BMHD chunk"};
  if (body.data() == nullptr) return Error{"the ILBM has no BODY chunk"};

  const int width = Be16(bmhd.data()), height = Be16(bmhd.data() + 2);
  const int planes = bmhd[8], masking = bmhd[9], compression = bmhd[10];
  const int transparent = Be16(bmhd.data() + 12);
  if (width < 1 || height < 1 || width > kMaxIlbmSide || height > kMaxIlbmSide ||
      uint64_t(width) * uint64_t(height) > kMaxIlbmPixels) {
    return Error{"an ILBM picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels cannot be read (each side 1 to " + std::to_string(kMaxIlbmSide) + ")"};
  }
  if (camg & kCamgHam) {
    return Error{"a hold-and-modify (HAM) ILBM; only indexed pictures can be read"};
  }
  if (chunky ? planes != 8 : (planes < 1 || planes > 8)) {
    return Error{"an ILBM of " + std::to_string(planes) + " planes; only " +
                 (chunky ? "8 (PBM)" : "1 to 8") + " can be read"};
  }
  if (masking == kMaskPlane) return Error{"an ILBM with a mask plane (masking 1) cannot be read"};
  if (masking != kMaskNone && masking != kMaskTransparent && masking != kMaskLasso) {
    return Error{"unknown ILBM masking " + std::to_string(masking)};
  }
  if (compression != kUncompressed && compression != kByteRun1) {
    return Error{"unknown ILBM compression " + std::to_string(compression)};
  }

  // A PBM row is its pixels padded to an even length; an ILBM row is one row of
  // each plane, each padded to 16-bit words.
  const size_t row_bytes = chunky ? size_t(width) + (width & 1) : size_t(width + 15) / 16 * 2;
  const size_t rows_per_line = chunky ? 1 : size_t(planes);
  const uint64_t unpacked = uint64_t{row_bytes} * rows_per_line * uint64_t(height);
  if (compression == kUncompressed) {
    if (body.size() < unpacked) {
      return Error{"the BODY holds " + std::to_string(body.size()) + " bytes where " +
                   std::to_string(unpacked) + " are needed"};
    }
  } else {
    // Two bytes make at most 128, and no run spans two rows.
    const uint64_t least = (row_bytes + 127) / 128 * 2 * rows_per_line * uint64_t(height);
    if (body.size() < least) {
      return Error{"an ILBM picture of " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels is too large for its BODY of " + std::to_string(body.size()) +
                   " bytes"};
    }
  }
  // Only a picture the file can hold is worth the advice to allow more.
  if (Status within = CheckPixelLimit(width, height); !within) return within.error();

  DecodedPicture pic;
  pic.format = pic.extras.format = PictureFormat::Ilbm;
  pic.width = width;
  pic.height = height;
  pic.bit_depth = planes;
  pic.extras.ilbm = std::move(pic_chunks);
  const size_t cmap_count = std::min<size_t>(cmap.size() / 3, 256);
  for (size_t k = 0; k < cmap_count; ++k) {
    pic.entries[k].rgb = {cmap[3 * k], cmap[3 * k + 1], cmap[3 * k + 2]};
  }
  pic.palette_count = static_cast<int>(cmap_count);
  // Extra half-brite is a 6-plane mode: pixel values 32..63 show 0..31 at half
  // brightness. Other depths show their CMAP as it is, whatever the flag says.
  if ((camg & kCamgHalfBrite) && planes == 6) {
    for (size_t k = 0; k < 32; ++k) {
      const RGBTriple& c = pic.entries[k].rgb;
      pic.entries[k + 32].rgb = {static_cast<uint8_t>(c.R >> 1), static_cast<uint8_t>(c.G >> 1),
                                 static_cast<uint8_t>(c.B >> 1)};
    }
    pic.palette_count = std::max(pic.palette_count, 64);
  }
  if (masking == kMaskTransparent && transparent < 256) pic.entries[transparent].A = 0;
  for (const CycleRange& r : ranges) pic.cycles.push_back(r);
  if (range_count > kMaxCycleRanges) {
    pic.note = std::to_string(range_count) + " cycle ranges in the file: the first " +
               std::to_string(kMaxCycleRanges) + " are kept";
  }

  const size_t count = size_t(width) * size_t(height);
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  pic.pixels.reserve(count);
  AdviseHugePages(pic.pixels.data(), pic.pixels.capacity());
  pic.pixels.resize(count);
  const size_t line_bytes = row_bytes * rows_per_line;
  std::vector<uint8_t> line(compression == kByteRun1 ? line_bytes : 0);
  size_t at = 0;
  for (size_t y = 0; y < size_t(height); ++y) {
    const uint8_t* src = body.data() + y * line_bytes;
    if (compression == kByteRun1) {
      for (size_t r = 0; r < rows_per_line; ++r) {
        if (const char* bad = UnpackRow(body, at, line.data() + r * row_bytes, row_bytes)) {
          return Error{bad};
        }
      }
      src = line.data();
    }
    uint8_t* dst = pic.pixels.data() + y * size_t(width);
    if (chunky) {
      std::memcpy(dst, src, size_t(width));
    } else {
      PlanesToPixels(src, planes, row_bytes, width, dst);
    }
  }
  return pic;
}

Result<std::vector<uint8_t>> EncodeIlbm(int width, int height, std::span<const uint8_t> pixels,
                                        const BoardEntries& entries, const CycleRanges& cycles,
                                        const IlbmChunks* keep) {
  if (Status fits =
          CheckPictureToWrite("an ILBM", width, height, pixels, kMaxIlbmSide, kMaxIlbmPixels);
      !fits) {
    return fits.error();
  }
  const auto clear =
      std::find_if(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });
  const size_t row_bytes = size_t(width + 15) / 16 * 2;
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  std::vector<uint8_t> out;
  // The plane rows, and a little for rows that do not pack.
  out.reserve(1024 + row_bytes * 8 * size_t(height) * 129 / 128);
  PutId(out, "FORM");
  PutBe32(out, 0);  // the length, once known
  PutId(out, "ILBM");
  PutId(out, "BMHD");
  PutBe32(out, kBmhdBytes);
  PutBe16(out, static_cast<uint32_t>(width));
  PutBe16(out, static_cast<uint32_t>(height));
  PutBe32(out, 0);  // position
  out.push_back(8);
  out.push_back(clear != entries.end() ? kMaskTransparent : kMaskNone);
  out.push_back(kByteRun1);
  out.push_back(0);
  PutBe16(out, clear != entries.end() ? static_cast<uint32_t>(clear - entries.begin()) : 0);
  out.push_back(1);  // square pixels
  out.push_back(1);
  PutBe16(out, static_cast<uint32_t>(width));
  PutBe16(out, static_cast<uint32_t>(height));
  PutId(out, "CMAP");
  PutBe32(out, 256 * 3);
  for (const BoardEntry& e : entries) out.insert(out.end(), {e.rgb.R, e.rgb.G, e.rgb.B});
  if (keep != nullptr && keep->camg) {
    PutId(out, "CAMG");
    PutBe32(out, 4);
    PutBe32(out, *keep->camg & ~(kCamgHam | kCamgHalfBrite));
  }
  for (const CycleRange& r : cycles) {
    PutId(out, "CRNG");
    PutBe32(out, kCrngBytes);
    PutBe16(out, 0);
    PutBe16(out, r.rate);
    PutBe16(out, (r.active ? kCrngActive : 0) | (r.reverse ? kCrngReverse : 0));
    out.push_back(r.low);
    out.push_back(r.high);
  }
  if (keep != nullptr) out.insert(out.end(), keep->kept.begin(), keep->kept.end());
  PutId(out, "BODY");
  const size_t body_at = out.size();
  PutBe32(out, 0);
  std::vector<uint8_t> planes(8 * row_bytes);
  for (size_t y = 0; y < size_t(height); ++y) {
    PixelsToPlanes(pixels.data() + y * size_t(width), width, row_bytes, planes.data());
    for (size_t p = 0; p < 8; ++p) PackRow(planes.data() + p * row_bytes, row_bytes, out);
  }
  const size_t body_bytes = out.size() - body_at - 4;
  if (body_bytes & 1) out.push_back(0);
  if (out.size() - 8 > UINT32_MAX) return Error{"the ILBM file would pass 4 GiB"};
  const auto patch = [&out](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  patch(body_at, static_cast<uint32_t>(body_bytes));
  patch(4, static_cast<uint32_t>(out.size() - 8));
  return out;
}

}  // namespace hw
