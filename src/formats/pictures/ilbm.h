// ILBM pictures (IFF "FORM ILBM", bit planes, and "FORM PBM ", chunky rows) over
// byte spans: read at 1 to 8 planes, written at 8. Every number in the file is
// big-endian. Nothing here touches a file; the file layer reads the bytes and hands
// them in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "colour/cycle_ranges.h"

namespace hw {

// What an ILBM save writes back of the loaded file besides pixels, palette and
// ranges: its ANNO, AUTH, NAME, "(c) ", "DPI " and GRAB chunks, whole (id, length,
// data, pad byte) in file order, and its CAMG, written with the hold-and-modify and
// extra half-brite bits clear (the saved CMAP holds every entry). Every other chunk
// the reader does not take (TINY, DEST, SPRT, DRNG, DPPS, unknown ones) depends on
// the pixels or the palette's order and is left out, its id in `dropped`.
struct IlbmChunks {
  std::vector<uint8_t> kept;
  std::optional<uint32_t> camg;
  std::vector<std::string> dropped;  // ids in file order, once each
  bool empty() const { return kept.empty() && !camg && dropped.empty(); }
  friend bool operator==(const IlbmChunks&, const IlbmChunks&) = default;
};

// The ids of the whole chunks in `chunks` (as IlbmChunks::kept holds them), in order.
std::vector<std::string> IlbmChunkIds(std::span<const uint8_t> chunks);

// A decoded picture: one byte per pixel, row-major from the top. The CMAP's bytes
// are the entries' colours as stored; entries past it are black. With masking 2
// the transparent colour's entry has alpha 0; all others are opaque.
struct IlbmPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
  BoardEntries entries{};
  int palette_count = 0;  // entries the CMAP held (64 for extra half-brite), 0..256
  int planes = 8;         // bit planes; 8 for a chunky PBM
  bool chunky = false;    // FORM PBM
  // The CRNG and CCRT ranges in file order, the first kMaxCycleRanges of them.
  CycleRanges cycles;
  // Set when the file held more ranges than are kept; empty otherwise.
  std::string note;
  IlbmChunks chunks;  // what a save of the picture keeps
};

inline constexpr int kMaxIlbmSide = 32767;
inline constexpr uint64_t kMaxIlbmPixels = uint64_t{1} << 30;

// True when the bytes start with a FORM of type ILBM or PBM.
bool HasIlbmSignature(std::span<const uint8_t> bytes);

// Decodes a FORM ILBM of 1 to 8 planes or a FORM PBM of 8, uncompressed or ByteRun1
// (each row of each plane packed on its own: a run that crosses a row's end is
// refused), masking 0, 2 (transparent colour) or 3 (lasso: nothing in the body).
// CAMG extra half-brite on a 6-plane picture makes 64 entries of the CMAP's first
// 32, the upper 32 at half their brightness (other depths ignore it); CAMG hold-and-modify and a
// mask plane (masking 1) are refused. Ranges: CRNG (rate, flags 1 active and 2 reverse, LOW, HIGH)
// as they are; CCRT (direction 0 none, 1 forward, -1 reverse, others by their sign; the time of a
// step) at the rate of its step time, inactive at direction 0 or no step time. Forward is CRNG's
// sense: each colour moves to the next higher position. LOW above HIGH is kept as stored (such a
// range never moves). Refuses chunks past the end of the file, sizes above the limits, and a body
// shorter than the smallest that could describe the picture (decided before allocating).
Result<IlbmPicture> DecodeIlbm(std::span<const uint8_t> bytes);

// The rate of a CCRT step time (16384 = 60 steps a second), rounded, 1..65535; 0
// when the time is not above zero.
uint16_t CcrtRate(int64_t seconds, int64_t microseconds);

// Encodes a FORM ILBM of 8 planes, ByteRun1, with all 256 entries in its CMAP, one
// CRNG a range, `keep`'s CAMG after the CMAP and its chunks after the CRNGs (before
// the BODY), and masking 2 naming the lowest entry of alpha 0 when there is one
// (masking 0 otherwise). Other alpha is not kept (see save_losses.h). pixels must
// hold width x height bytes; sides 1..kMaxIlbmSide.
Result<std::vector<uint8_t>> EncodeIlbm(int width, int height, std::span<const uint8_t> pixels,
                                        const BoardEntries& entries, const CycleRanges& cycles,
                                        const IlbmChunks* keep = nullptr);

}  // namespace hw
