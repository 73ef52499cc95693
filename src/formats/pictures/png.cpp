#include "formats/pictures/png.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formats/pictures/bytes.h"
#include "formats/pictures/cycle_chunk.h"
#include "formats/pictures/palette_extent.h"
#include "formats/pictures/pixel_limit.h"

namespace hw {

using namespace bytes;
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Deflate produces at most 1032 bytes per compressed byte (a 258-byte match coded
// in two bits); pixel data claiming more than that from the IDAT bytes present
// cannot be in the file. The slack covers tiny pictures.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kDeflateSlack = 4096;

// Ancillary chunks libspng keeps (text, ICC profiles...): at most 8 MiB in all and
// 8 MiB each, plenty for real files. IDAT is not held this way.
constexpr size_t kChunkSizeLimit = size_t{8} << 20;
constexpr size_t kChunkCacheLimit = size_t{8} << 20;
// The ancillary chunks a picture keeps for its next save, all told.
constexpr uint64_t kKeptChunkLimit = uint64_t{64} << 20;

struct CtxFree {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Ctx = std::unique_ptr<spng_ctx, CtxFree>;

// libspng's refusal in our words. Its chunk limits (kChunkSizeLimit and the rest)
// guard memory and say nothing of damage, so they get a message of their own.
Error SpngError(const std::string& what, int rc) {
  if (rc == SPNG_ECHUNK_LIMITS) return Error{"the PNG's metadata is larger than Huewright accepts"};
  return Error{what + ": " + spng_strerror(rc)};
}

struct ChunkScan {
  uint64_t idat_bytes = 0;  // sum of the IDAT chunk lengths
  bool complete = false;    // a whole IEND chunk was reached
  int plte_count = 0;
  int trns_count = 0;
  PngChunks kept;
  bool kept_damaged = false;  // a chunk to keep has a wrong CRC
  // Where each crNg chunk with a wrong CRC starts: the decoder underneath,
  // which refuses any chunk with a wrong CRC, is given a copy with it mended, so
  // the broken crNg (which it does not read) is only left aside.
  std::vector<size_t> bad_crng_crc;
  uint64_t kept_bytes = 0;
  uint32_t frames = 1;  // acTL's count
};

// The PNG chunk CRC (ISO 3309, as zlib's crc32).
uint32_t Crc32(const uint8_t* p, size_t n) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Ancillary (first letter lower case) and safe to copy (fourth letter lower case);
// crNg is written by the editor itself, never copied.
bool KeptChunk(const uint8_t* type) {
  return (type[0] & 0x20) != 0 && (type[3] & 0x20) != 0 && std::memcmp(type, "crNg", 4) != 0;
}

bool TypeIs(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// The chunks the reader and the writer deal with themselves: the picture's own,
// and the frames of an APNG, which the frame count speaks for.
bool HandledChunk(const uint8_t* type) {
  for (const char* name :
       {"IHDR", "PLTE", "IDAT", "IEND", "tRNS", "crNg", "acTL", "fcTL", "fdAT"}) {
    if (TypeIs(type, name)) return true;
  }
  return false;
}

std::string TypeText(const uint8_t* type) {
  std::string text(reinterpret_cast<const char*>(type), 4);
  for (char& c : text) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return text;
}

void NameDropped(PngChunks& kept, const uint8_t* type) {
  std::string name = TypeText(type);
  if (std::find(kept.dropped.begin(), kept.dropped.end(), name) == kept.dropped.end()) {
    kept.dropped.push_back(std::move(name));
  }
}

// Reads the chunks a palette edit leaves true (see PngChunks) from one chunk; false
// when it is none of them. `data` holds the chunk's `length` bytes, CRC checked.
bool ReadColourChunk(ChunkScan& scan, const uint8_t* chunk, uint32_t length) {
  const uint8_t* type = chunk + 4;
  const uint8_t* data = chunk + 8;
  PngChunks& kept = scan.kept;
  const auto keep_whole = [&] {
    kept.colour_space.insert(kept.colour_space.end(), chunk, chunk + 12 + length);
    scan.kept_bytes += 12 + length;
  };
  const auto already = [&](const char* name) {
    const auto types = PngChunkTypes(kept.colour_space);
    return std::find(types.begin(), types.end(), name) != types.end();
  };
  if (TypeIs(type, "gAMA") || TypeIs(type, "cHRM")) {
    if (already(TypeIs(type, "gAMA") ? "gAMA" : "cHRM")) {
      NameDropped(kept, type);
    } else {
      keep_whole();
    }
    return true;
  }
  if (TypeIs(type, "iCCP") || TypeIs(type, "sRGB")) {
    // Never both: a profile says more than the standard space.
    const bool iccp = TypeIs(type, "iCCP");
    if (already("iCCP") || (!iccp && already("sRGB"))) {
      NameDropped(kept, type);
    } else if (iccp && already("sRGB")) {
      // The sRGB read before gives way to the profile.
      std::vector<uint8_t> rest;
      for (size_t pos = 0; pos + 12 <= kept.colour_space.size();) {
        const size_t end = pos + 12 + Be32(kept.colour_space, pos);
        if (!TypeIs(kept.colour_space.data() + pos + 4, "sRGB")) {
          rest.insert(rest.end(), kept.colour_space.begin() + static_cast<std::ptrdiff_t>(pos),
                      kept.colour_space.begin() + static_cast<std::ptrdiff_t>(end));
        }
        pos = end;
      }
      kept.colour_space = std::move(rest);
      NameDropped(kept, reinterpret_cast<const uint8_t*>("sRGB"));
      keep_whole();
    } else {
      keep_whole();
    }
    return true;
  }
  if (TypeIs(type, "sBIT")) {
    const bool valid =
        length == 3 && std::all_of(data, data + 3, [](uint8_t b) { return b >= 1 && b <= 8; });
    if (valid && !kept.significant_bits) {
      kept.significant_bits = std::array<uint8_t, 3>{data[0], data[1], data[2]};
    } else {
      NameDropped(kept, type);
    }
    return true;
  }
  if (TypeIs(type, "bKGD")) {
    if (length == 1 && !kept.background) {
      kept.background = data[0];
    } else {
      NameDropped(kept, type);
    }
    return true;
  }
  if (TypeIs(type, "hIST")) {
    kept.histogram = true;
    return true;
  }
  if (TypeIs(type, "tIME")) {
    kept.time = true;
    return true;
  }
  return false;
}

// Walks the chunk list with every length checked against the bytes present; stops
// at IEND or where the file is cut short. CRCs are left to libspng, but for the
// chunks kept whole.
ChunkScan ScanChunks(std::span<const uint8_t> bytes) {
  ChunkScan scan;
  size_t pos = sizeof kSignature;
  while (bytes.size() - pos >= 12) {
    const uint32_t length = Be32(bytes, pos);
    if (length > bytes.size() - pos - 12) break;
    const auto* type = bytes.data() + pos + 4;
    const uint8_t* chunk = bytes.data() + pos;
    const bool crc_ok = Crc32(chunk + 4, 4 + length) == Be32(bytes, pos + 8 + length);
    if (TypeIs(type, "crNg") && !crc_ok) scan.bad_crng_crc.push_back(pos);
    if (KeptChunk(type)) {
      if (!crc_ok) scan.kept_damaged = true;
      std::vector<uint8_t>& group = scan.idat_bytes > 0   ? scan.kept.after_idat
                                    : scan.plte_count > 0 ? scan.kept.before_idat
                                                          : scan.kept.before_plte;
      group.insert(group.end(), chunk, chunk + 12 + length);
      scan.kept_bytes += 12 + length;
    } else if (!HandledChunk(type) && (type[0] & 0x20) != 0) {
      // A damaged chunk that is not copied whole is left out like any other.
      if (!crc_ok || !ReadColourChunk(scan, chunk, length)) NameDropped(scan.kept, type);
    }
    if (TypeIs(type, "acTL") && length >= 8 && crc_ok)
      scan.frames = std::max(1u, Be32(bytes, pos + 8));
    if (std::memcmp(type, "IDAT", 4) == 0) scan.idat_bytes += length;
    if (std::memcmp(type, "PLTE", 4) == 0) ++scan.plte_count;
    if (std::memcmp(type, "tRNS", 4) == 0) ++scan.trns_count;
    if (std::memcmp(type, "IEND", 4) == 0) {
      scan.complete = true;
      break;
    }
    pos += 12 + static_cast<size_t>(length);
  }
  return scan;
}

// Spreads rows packed at 1, 2 or 4 bits per pixel (most significant bits first)
// into one byte per pixel.
void Unpack(std::span<const uint8_t> packed, size_t stride, int bits, int width, int height,
            std::vector<uint8_t>& pixels) {
  const int per_byte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
    const uint8_t* row = packed.data() + y * stride;
    uint8_t* out = pixels.data() + y * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % per_byte + 1);
      out[x] = static_cast<uint8_t>((row[x / per_byte] >> shift) & mask);
    }
  }
}

}  // namespace

bool HasPngSignature(std::span<const uint8_t> bytes) {
  return bytes.size() >= sizeof kSignature &&
         std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

namespace {

// A decoder over `bytes` with the header read and checked: an indexed PNG within the
// size limits, whole up to its IEND. Shared by the picture and the palette readers so
// both refuse the same files the same way.
struct OpenedPng {
  Ctx ctx;
  spng_ihdr ihdr{};
  ChunkScan scan;
  std::vector<uint8_t> mended;  // the file with its broken crNg CRCs put right, if any
};

Result<OpenedPng> OpenPng(std::span<const uint8_t> bytes, bool indexed_only) {
  if (!HasPngSignature(bytes)) return Error{"not a PNG file (no PNG signature)"};
  // The size comes straight from IHDR so the refusal can name it; libspng checks
  // the chunk itself (length, CRC, fields) below.
  if (bytes.size() < 33 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
    return Error{"the PNG file does not start with an IHDR chunk"};
  }
  const uint32_t w = Be32(bytes, 16), h = Be32(bytes, 20);
  if (w > kMaxPngSide || h > kMaxPngSide || static_cast<uint64_t>(w) * h > kMaxPngPixels) {
    return Error{"a PNG picture of " + std::to_string(w) + " x " + std::to_string(h) +
                 " pixels is too large (at most " + std::to_string(kMaxPngSide) + " x " +
                 std::to_string(kMaxPngSide) + ")"};
  }
  if (Status within = CheckPixelLimit(w, h); !within) return within.error();

  OpenedPng png;
  png.ctx.reset(spng_ctx_new(0));
  if (!png.ctx) return Error{"not enough memory to start the PNG decoder"};
  spng_ctx* ctx = png.ctx.get();
  spng_set_image_limits(ctx, kMaxPngSide, kMaxPngSide);
  spng_set_chunk_limits(ctx, kChunkSizeLimit, kChunkCacheLimit);
  // A damaged tRNS must not be dropped quietly: that would lose transparency. A
  // crNg with a wrong CRC is left aside (ReadCycleChunk says so), not the file.
  spng_set_crc_action(ctx, SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  png.scan = ScanChunks(bytes);
  std::span<const uint8_t> given = bytes;
  if (!png.scan.bad_crng_crc.empty()) {
    png.mended.assign(bytes.begin(), bytes.end());
    for (size_t at : png.scan.bad_crng_crc) {
      const size_t length = Be32(bytes, at);
      const uint32_t crc = Crc32(png.mended.data() + at + 4, 4 + length);
      for (size_t k = 0; k < 4; ++k) {
        png.mended[at + 8 + length + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
      }
    }
    given = png.mended;
  }
  if (int rc = spng_set_png_buffer(ctx, given.data(), given.size())) {
    return SpngError("cannot read the PNG file", rc);
  }
  if (int rc = spng_get_ihdr(ctx, &png.ihdr)) return SpngError("bad PNG header", rc);
  const uint8_t type = png.ihdr.color_type;
  if (indexed_only && type != SPNG_COLOR_TYPE_INDEXED) {
    if (type == SPNG_COLOR_TYPE_GRAYSCALE || type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA) {
      return Error{"this is a greyscale PNG; only indexed (palette) PNG pictures can be loaded"};
    }
    return Error{"this is a true-colour PNG; only indexed (palette) PNG pictures can be loaded"};
  }
  // A file cut short, even after its image data, is refused whole.
  if (!png.scan.complete) {
    return Error{"the PNG file is cut short (it has no complete IEND chunk)"};
  }
  // A file may hold one of each; readers disagree on which of two would count (the
  // decoder underneath takes the second palette but the first transparency).
  if (png.scan.plte_count > 1) return Error{"the PNG file has more than one palette (PLTE)"};
  if (png.scan.trns_count > 1) {
    return Error{"the PNG file has more than one transparency chunk (tRNS)"};
  }
  if (png.scan.kept_damaged) return Error{"damaged PNG file: a chunk's CRC is wrong"};
  if (png.scan.kept_bytes > kKeptChunkLimit) {
    return Error{"the PNG's metadata is larger than Huewright accepts"};
  }
  return png;
}

// PLTE and tRNS into entries 0..n-1 (the rest stay black and opaque); returns n.
Result<int> ReadPalette(const OpenedPng& png, BoardEntries& entries) {
  spng_plte plte{};
  if (int rc = spng_get_plte(png.ctx.get(), &plte)) return SpngError("the PNG palette", rc);
  if (plte.n_entries < 1 || plte.n_entries > 256) return Error{"the PNG palette is empty"};
  for (size_t k = 0; k < plte.n_entries; ++k) {
    entries[k].rgb = {plte.entries[k].red, plte.entries[k].green, plte.entries[k].blue};
  }
  spng_trns trns{};
  const int trns_rc = spng_get_trns(png.ctx.get(), &trns);
  if (trns_rc == 0) {
    const size_t n = std::min<size_t>({trns.n_type3_entries, plte.n_entries, 256});
    for (size_t k = 0; k < n; ++k) entries[k].A = trns.type3_alpha[k];
  } else if (trns_rc != SPNG_ECHUNKAVAIL) {
    return SpngError("the PNG transparency", trns_rc);
  } else if (png.scan.trns_count > 0) {
    // libspng drops a tRNS it finds invalid (longer than the palette, misplaced);
    // loading the picture without it would quietly lose its transparency.
    return Error{"the PNG transparency (tRNS chunk) is invalid"};
  }
  return static_cast<int>(plte.n_entries);
}

}  // namespace

Result<DecodedPicture> DecodeIndexedPng(std::span<const uint8_t> bytes) {
  auto opened = OpenPng(bytes, true);
  if (!opened) return opened.error();
  spng_ctx* ctx = opened->ctx.get();
  const spng_ihdr& ihdr = opened->ihdr;
  const int bits = ihdr.bit_depth;
  const int width = static_cast<int>(ihdr.width), height = static_cast<int>(ihdr.height);

  // Every pixel's bits must come out of the compressed data: refuse a picture the
  // IDAT chunks cannot hold before allocating anything for it.
  const uint64_t stride = (static_cast<uint64_t>(ihdr.width) * bits + 7) / 8;
  const uint64_t packed_size = stride * ihdr.height;
  const uint64_t payload = (static_cast<uint64_t>(ihdr.width) * ihdr.height * bits + 7) / 8;
  if (payload > opened->scan.idat_bytes * kMaxDeflateRatio + kDeflateSlack) {
    return Error{"the PNG image data is too short for a picture of " + std::to_string(width) +
                 " x " + std::to_string(height) + " pixels"};
  }
  size_t spng_size = 0;
  if (int rc = spng_decoded_image_size(ctx, SPNG_FMT_PNG, &spng_size)) {
    return SpngError("cannot decode the PNG picture", rc);
  }
  if (spng_size != packed_size) return Error{"unexpected PNG row layout"};

  // Only the packed rows are allocated before decoding, and the check above bounds
  // them by the compressed data. At 1, 2 or 4 bits the picture of one byte a pixel
  // is 8, 4 or 2 times larger: it is allocated once the rows have all decoded, so a
  // small file cannot claim a huge picture and have it allocated before its data
  // proves short.
  DecodedPicture pic;
  pic.format = pic.extras.format = PictureFormat::Png;
  pic.width = width;
  pic.height = height;
  std::vector<uint8_t> packed(static_cast<size_t>(packed_size));
  if (int rc = spng_decode_image(ctx, packed.data(), packed.size(), SPNG_FMT_PNG, 0)) {
    return SpngError("damaged PNG image data", rc);
  }
  // Read on to IEND, so damage after the image data is refused too.
  if (int rc = spng_decode_chunks(ctx)) return SpngError("damaged PNG file", rc);
  if (bits == 8) {
    pic.pixels = std::move(packed);
  } else {
    pic.pixels.resize(static_cast<size_t>(ihdr.width) * ihdr.height);
    Unpack(packed, static_cast<size_t>(stride), bits, width, height, pic.pixels);
  }

  auto count = ReadPalette(*opened, pic.entries);
  if (!count) return count.error();
  pic.palette_count = *count;
  CycleChunkRead cycles = ReadCycleChunk(bytes);
  pic.cycles = std::move(cycles.ranges);
  if (!cycles.left_aside.empty()) pic.note = "crNg chunk left aside: " + cycles.left_aside;
  pic.bit_depth = bits;
  pic.extras.png = std::move(opened->scan.kept);
  pic.extras.frames = opened->scan.frames;
  return pic;
}

Result<PngPalette> DecodePngPalette(std::span<const uint8_t> bytes) {
  auto opened = OpenPng(bytes, true);
  if (!opened) return opened.error();
  // Before the image is decoded this reads (and checks) the chunks up to the first
  // IDAT, where PLTE and tRNS must be; the image data is left compressed.
  if (int rc = spng_decode_chunks(opened->ctx.get())) return SpngError("damaged PNG file", rc);
  PngPalette out;
  auto count = ReadPalette(*opened, out.entries);
  if (!count) return count.error();
  out.count = *count;
  return out;
}

namespace {

// The distinct colours of a picture seen so far, each with the place (y * width + x)
// where it first shows; at most 256 are kept.
class ColourSet {
 public:
  // False when the colour is a 257th.
  bool Add(uint32_t rgba, uint64_t place) {
    size_t slot = (rgba * 2654435761u) >> 23;  // 9 bits: 512 slots
    while (used_[slot] && keys_[slot] != rgba) slot = (slot + 1) & 511;
    if (!used_[slot]) {
      if (count_ == 256) return false;
      used_[slot] = true;
      keys_[slot] = rgba;
      first_[slot] = place;
      ++count_;
    } else if (place < first_[slot]) {
      first_[slot] = place;
    }
    return true;
  }
  // The colours in the order of their first places.
  int Fill(BoardEntries& entries) const {
    std::vector<std::pair<uint64_t, uint32_t>> found;
    for (size_t s = 0; s < 512; ++s) {
      if (used_[s]) found.emplace_back(first_[s], keys_[s]);
    }
    std::sort(found.begin(), found.end());
    for (size_t k = 0; k < found.size(); ++k) {
      const uint32_t c = found[k].second;
      entries[k] = {{static_cast<uint8_t>(c >> 24), static_cast<uint8_t>(c >> 16),
                     static_cast<uint8_t>(c >> 8)},
                    static_cast<uint8_t>(c)};
    }
    return count_;
  }

 private:
  std::array<bool, 512> used_{};
  std::array<uint32_t, 512> keys_{};
  std::array<uint64_t, 512> first_{};
  int count_ = 0;
};

}  // namespace

Result<PngPalette> DecodePngColours(std::span<const uint8_t> bytes) {
  auto opened = OpenPng(bytes, false);
  if (!opened) return opened.error();
  spng_ctx* ctx = opened->ctx.get();
  const spng_ihdr& ihdr = opened->ihdr;
  if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) {
    if (int rc = spng_decode_chunks(ctx)) return SpngError("damaged PNG file", rc);
    PngPalette out;
    auto count = ReadPalette(*opened, out.entries);
    if (!count) return count.error();
    out.count = *count;
    return out;
  }
  // As for indexed pictures: data the IDAT chunks cannot hold is refused up front.
  const int channels = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE         ? 1
                       : ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ? 2
                       : ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR       ? 3
                                                                            : 4;
  const uint64_t bits = static_cast<uint64_t>(channels) * ihdr.bit_depth;
  const uint64_t payload = (static_cast<uint64_t>(ihdr.width) * ihdr.height * bits + 7) / 8;
  if (payload > opened->scan.idat_bytes * kMaxDeflateRatio + kDeflateSlack) {
    return Error{"the PNG image data is too short for a picture of " + std::to_string(ihdr.width) +
                 " x " + std::to_string(ihdr.height) + " pixels"};
  }
  // One row at a time, as 8-bit RGBA with a tRNS colour made transparent.
  if (int rc = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGBA8,
                                 SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE)) {
    return SpngError("damaged PNG image data", rc);
  }
  std::vector<uint8_t> row(static_cast<size_t>(ihdr.width) * 4);
  // Where the pixels of each interlacing pass stand in their row.
  static constexpr int kPassStart[7] = {0, 4, 0, 2, 0, 1, 0};
  static constexpr int kPassStep[7] = {8, 8, 4, 4, 2, 2, 1};
  ColourSet colours;
  int rc = 0;
  for (;;) {
    spng_row_info info{};
    if ((rc = spng_get_row_info(ctx, &info)) != 0) break;
    if ((rc = spng_decode_row(ctx, row.data(), row.size())) != 0 && rc != SPNG_EOI) break;
    const bool interlaced = ihdr.interlace_method != 0 && info.pass >= 0 && info.pass < 7;
    const uint32_t start = interlaced ? kPassStart[info.pass] : 0;
    const uint32_t step = interlaced ? kPassStep[info.pass] : 1;
    uint32_t last = 0;
    bool have_last = false;
    for (uint32_t x = start; x < ihdr.width; x += step) {
      const uint8_t* p = row.data() + size_t{4} * x;
      const uint32_t rgba = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                            static_cast<uint32_t>(p[2]) << 8 | p[3];
      if (have_last && rgba == last) continue;  // an earlier place in this row is kept
      if (!colours.Add(rgba, static_cast<uint64_t>(info.row_num) * ihdr.width + x)) {
        return Error{"the PNG picture has more than 256 colours (a palette holds at most 256)"};
      }
      last = rgba;
      have_last = true;
    }
    if (rc == SPNG_EOI) break;
  }
  if (rc != SPNG_EOI) return SpngError("damaged PNG image data", rc);
  if (int rc2 = spng_decode_chunks(ctx)) return SpngError("damaged PNG file", rc2);
  PngPalette out;
  out.count = colours.Fill(out.entries);
  return out;
}

namespace {

// An encoder with the header, entries 0..length-1 as the palette and their
// transparency set, at PngBitDepthFor(length) bits per pixel, not interlaced.
Result<Ctx> StartEncoder(int width, int height, const BoardEntries& entries, int length) {
  if (width < 1 || height < 1 || static_cast<uint32_t>(width) > kMaxPngSide ||
      static_cast<uint32_t>(height) > kMaxPngSide) {
    return Error{"cannot write a PNG picture of " + std::to_string(width) + " x " +
                 std::to_string(height) + " pixels"};
  }
  length = std::clamp(length, 1, 256);
  Ctx ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return Error{"not enough memory to start the PNG encoder"};
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(width);
  ihdr.height = static_cast<uint32_t>(height);
  ihdr.bit_depth = static_cast<uint8_t>(PngBitDepthFor(length));
  ihdr.color_type = SPNG_COLOR_TYPE_INDEXED;
  ihdr.interlace_method = SPNG_INTERLACE_NONE;
  if (int rc = spng_set_ihdr(ctx.get(), &ihdr)) return SpngError("cannot write the PNG header", rc);

  spng_plte plte{};
  plte.n_entries = static_cast<uint32_t>(length);
  for (size_t k = 0; k < plte.n_entries; ++k) {
    plte.entries[k] = {entries[k].rgb.R, entries[k].rgb.G, entries[k].rgb.B, 255};
  }
  if (int rc = spng_set_plte(ctx.get(), &plte)) return SpngError("cannot write the palette", rc);
  // tRNS runs to the last entry that is not opaque; entries after it are opaque. An
  // entry that is not opaque is never past the palette (it counts in `length`).
  const auto last_clear = std::find_if(entries.rbegin(), entries.rend(),
                                       [](const BoardEntry& e) { return e.A != 255; });
  if (last_clear != entries.rend()) {
    spng_trns trns{};
    trns.n_type3_entries =
        std::min<uint32_t>(static_cast<uint32_t>(entries.rend() - last_clear), plte.n_entries);
    for (size_t k = 0; k < trns.n_type3_entries; ++k) trns.type3_alpha[k] = entries[k].A;
    if (int rc = spng_set_trns(ctx.get(), &trns)) {
      return SpngError("cannot write the transparency", rc);
    }
  }
  return ctx;
}

// One row packed at `bits` per pixel, most significant bits first.
void PackRow(const uint8_t* row, size_t width, int bits, uint8_t* out) {
  const size_t per_byte = 8 / static_cast<size_t>(bits);
  const unsigned mask = (1u << bits) - 1;
  std::memset(out, 0, (width * static_cast<size_t>(bits) + 7) / 8);
  for (size_t x = 0; x < width; ++x) {
    const int shift = 8 - bits * static_cast<int>(x % per_byte + 1);
    out[x / per_byte] = static_cast<uint8_t>(out[x / per_byte] | (row[x] & mask) << shift);
  }
}

// Appends one chunk with its length and CRC.
void PutChunk(std::vector<uint8_t>& out, const char* type, std::span<const uint8_t> data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

// hIST for a palette of `length` entries: 0 for an entry no pixel uses, else its
// usage scaled to the largest as max(1, round(65535 * usage / largest)), halves up.
std::vector<uint8_t> Histogram(std::span<const uint8_t> pixels, int length) {
  std::array<uint64_t, 256> usage{};
  for (uint8_t p : pixels) ++usage[p];
  const uint64_t largest = *std::max_element(usage.begin(), usage.end());
  std::vector<uint8_t> data;
  for (int k = 0; k < length; ++k) {
    const uint64_t n = usage[static_cast<size_t>(k)];
    // 65535 * n stays far below 2^64 for any picture of at most 2^30 pixels.
    const uint64_t scaled =
        n == 0 ? 0 : std::max<uint64_t>(1, (2 * 65535 * n + largest) / (2 * largest));
    data.push_back(static_cast<uint8_t>(scaled >> 8));
    data.push_back(static_cast<uint8_t>(scaled));
  }
  return data;
}

// tIME for `seconds` since 1970, in UTC.
std::array<uint8_t, 7> TimeOf(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  const int year = std::clamp(utc.tm_year + 1900, 0, 65535);
  return {static_cast<uint8_t>(year >> 8),
          static_cast<uint8_t>(year),
          static_cast<uint8_t>(utc.tm_mon + 1),
          static_cast<uint8_t>(utc.tm_mday),
          static_cast<uint8_t>(utc.tm_hour),
          static_cast<uint8_t>(utc.tm_min),
          static_cast<uint8_t>(std::min(utc.tm_sec, 60))};
}

// What a save adds to an encoded file: the colour space and sBIT right after IHDR
// (so before PLTE) with the first group of copied chunks; bKGD and hIST after PLTE
// and tRNS, then the second group, before the first IDAT; the third group and tIME
// before IEND.
struct Additions {
  std::vector<uint8_t> after_ihdr, before_idat, before_iend;
};

Additions AdditionsFor(const PngChunks& keep, std::span<const uint8_t> pixels,
                       const BoardEntries& entries, int length, int64_t save_time) {
  Additions add;
  add.after_ihdr = keep.colour_space;
  if (keep.significant_bits && PngSignificantBitsHold(*keep.significant_bits, entries, length)) {
    PutChunk(add.after_ihdr, "sBIT", *keep.significant_bits);
  }
  add.after_ihdr.insert(add.after_ihdr.end(), keep.before_plte.begin(), keep.before_plte.end());
  if (keep.background) {
    const uint8_t index = *keep.background;
    PutChunk(add.before_idat, "bKGD", std::span(&index, 1));
  }
  if (keep.histogram) PutChunk(add.before_idat, "hIST", Histogram(pixels, length));
  add.before_idat.insert(add.before_idat.end(), keep.before_idat.begin(), keep.before_idat.end());
  add.before_iend = keep.after_idat;
  if (keep.time) PutChunk(add.before_iend, "tIME", TimeOf(save_time));
  return add;
}

// Puts the additions into an encoded file.
std::vector<uint8_t> WithChunks(const std::vector<uint8_t>& png, const Additions& add) {
  std::vector<uint8_t> out;
  out.reserve(png.size() + add.after_ihdr.size() + add.before_idat.size() + add.before_iend.size());
  size_t pos = sizeof kSignature;
  out.insert(out.end(), png.begin(), png.begin() + static_cast<std::ptrdiff_t>(pos));
  bool idat_seen = false;
  while (pos + 12 <= png.size()) {
    const size_t end = pos + 12 + Be32(png, pos);
    const uint8_t* type = png.data() + pos + 4;
    if (std::memcmp(type, "IDAT", 4) == 0 && !idat_seen) {
      out.insert(out.end(), add.before_idat.begin(), add.before_idat.end());
      idat_seen = true;
    }
    if (std::memcmp(type, "IEND", 4) == 0) {
      out.insert(out.end(), add.before_iend.begin(), add.before_iend.end());
    }
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(pos),
               png.begin() + static_cast<std::ptrdiff_t>(end));
    if (std::memcmp(type, "IHDR", 4) == 0) {
      out.insert(out.end(), add.after_ihdr.begin(), add.after_ihdr.end());
    }
    pos = end;
  }
  return out;
}

}  // namespace

std::vector<std::string> PngChunkTypes(std::span<const uint8_t> chunks) {
  std::vector<std::string> types;
  for (size_t pos = 0; chunks.size() - pos >= 12;) {
    const uint32_t length = Be32(chunks, pos);
    if (length > chunks.size() - pos - 12) break;
    types.push_back(TypeText(chunks.data() + pos + 4));
    pos += 12 + static_cast<size_t>(length);
  }
  return types;
}

bool PngSignificantBitsHold(const std::array<uint8_t, 3>& bits, const BoardEntries& entries,
                            int length) {
  // v holds in b bits when repeating its top b bits from the left gives v again.
  const auto holds = [](uint8_t v, int b) {
    if (b < 1 || b > 8) return false;
    const unsigned top = v >> (8 - b);
    unsigned made = 0;
    int filled = 0;
    for (; filled < 8; filled += b) made = made << b | top;
    // The last copy may run past the lowest bit: the top 8 bits made count.
    return (made >> (filled - 8)) == v;
  };
  for (int k = 0; k < std::clamp(length, 0, 256); ++k) {
    const RGBTriple& c = entries[static_cast<size_t>(k)].rgb;
    if (!holds(c.R, bits[0]) || !holds(c.G, bits[1]) || !holds(c.B, bits[2])) return false;
  }
  return true;
}

int PngSavedLength(std::span<const uint8_t> pixels, const BoardEntries& entries,
                   const PngChunks* keep) {
  const int length = UsedPaletteLength(pixels, entries);
  if (keep != nullptr && keep->background) return std::max(length, *keep->background + 1);
  return length;
}

int PngBitDepthFor(int length) { return length <= 2 ? 1 : length <= 4 ? 2 : length <= 16 ? 4 : 8; }

Result<std::vector<uint8_t>> EncodeIndexedPng(int width, int height,
                                              std::span<const uint8_t> pixels,
                                              const BoardEntries& entries, const PngChunks* keep,
                                              const CycleRanges& cycles, int64_t save_time) {
  const size_t count =
      static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
  if (pixels.size() != count) {
    return Error{"pixel buffer holds " + std::to_string(pixels.size()) +
                 " bytes, the picture needs " + std::to_string(count)};
  }
  const int length = PngSavedLength(pixels, entries, keep);
  auto ctx = StartEncoder(width, height, entries, length);
  if (!ctx) return ctx.error();
  const int bits = PngBitDepthFor(length);
  std::vector<uint8_t> packed;
  std::span<const uint8_t> image = pixels;
  if (bits < 8) {
    const size_t stride = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 7) / 8;
    packed.resize(stride * static_cast<size_t>(height));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
      PackRow(pixels.data() + y * static_cast<size_t>(width), static_cast<size_t>(width), bits,
              packed.data() + y * stride);
    }
    image = packed;
  }
  if (int rc = spng_set_option(ctx->get(), SPNG_ENCODE_TO_BUFFER, 1)) {
    return SpngError("cannot start the PNG encoder", rc);
  }
  if (int rc = spng_encode_image(ctx->get(), image.data(), image.size(), SPNG_FMT_PNG,
                                 SPNG_ENCODE_FINALIZE)) {
    return SpngError("cannot encode the PNG picture", rc);
  }
  size_t length_out = 0;
  int rc = 0;
  std::unique_ptr<void, decltype(&std::free)> buffer(
      spng_get_png_buffer(ctx->get(), &length_out, &rc), &std::free);
  if (!buffer || rc) return SpngError("cannot encode the PNG picture", rc);
  const auto* start = static_cast<const uint8_t*>(buffer.get());
  std::vector<uint8_t> out(start, start + length_out);
  if (keep != nullptr && !keep->empty()) {
    out = WithChunks(out, AdditionsFor(*keep, pixels, entries, length, save_time));
  }
  InsertCycleChunk(out, cycles);
  return out;
}

struct PngRowEncoder::Ctx {
  hw::Ctx spng;
  Put put;
  Error failed{};  // put's first error
  bool has_failed = false;
  size_t width = 0;
  uint32_t rows_left = 0;
  int bits = 8;
  std::vector<uint8_t> packed;  // one row at a depth below 8
};

PngRowEncoder::~PngRowEncoder() = default;

Result<std::unique_ptr<PngRowEncoder>> PngRowEncoder::Start(int width, int height,
                                                            const BoardEntries& entries, Put put,
                                                            int length) {
  auto spng = StartEncoder(width, height, entries, length);
  if (!spng) return spng.error();
  std::unique_ptr<PngRowEncoder> encoder(new PngRowEncoder);
  encoder->ctx_ = std::make_unique<Ctx>();
  Ctx& c = *encoder->ctx_;
  c.spng = std::move(*spng);
  c.put = std::move(put);
  c.width = static_cast<size_t>(width);
  c.rows_left = static_cast<uint32_t>(height);
  c.bits = PngBitDepthFor(std::clamp(length, 1, 256));
  if (c.bits < 8) c.packed.resize((c.width * static_cast<size_t>(c.bits) + 7) / 8);
  const auto write = [](spng_ctx*, void* user, void* data, size_t length) -> int {
    Ctx& self = *static_cast<Ctx*>(user);
    auto done = self.put(std::span<const uint8_t>(static_cast<const uint8_t*>(data), length));
    if (done) return 0;
    self.failed = done.error();
    self.has_failed = true;
    return SPNG_IO_ERROR;
  };
  if (int rc = spng_set_png_stream(c.spng.get(), write, &c)) {
    return SpngError("cannot start the PNG encoder", rc);
  }
  if (int rc = spng_encode_image(c.spng.get(), nullptr, 0, SPNG_FMT_PNG,
                                 SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE)) {
    if (c.has_failed) return c.failed;
    return SpngError("cannot encode the PNG picture", rc);
  }
  return encoder;
}

Status PngRowEncoder::AppendRows(std::span<const uint8_t> rows) {
  Ctx& c = *ctx_;
  for (size_t at = 0; at + c.width <= rows.size() && c.rows_left > 0; at += c.width) {
    int rc = 0;
    if (c.bits < 8) {
      PackRow(rows.data() + at, c.width, c.bits, c.packed.data());
      rc = spng_encode_row(c.spng.get(), c.packed.data(), c.packed.size());
    } else {
      rc = spng_encode_row(c.spng.get(), rows.data() + at, c.width);
    }
    --c.rows_left;
    if (c.has_failed) return c.failed;
    if (rc != 0 && !(rc == SPNG_EOI && c.rows_left == 0)) {
      return SpngError("cannot encode the PNG picture", rc);
    }
  }
  return Ok{};
}

}  // namespace hw
