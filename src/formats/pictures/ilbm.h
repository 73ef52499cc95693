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
#include "formats/pictures/picture_extras.h"

namespace hw {

// The ids of the whole chunks in `chunks` (as IlbmChunks::kept holds them), in order.
std::vector<std::string> IlbmChunkIds(std::span<const uint8_t> chunks);

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
// The picture: the CMAP's bytes are the entries' colours as stored (its count the
// palette count, 64 for extra half-brite); with masking 2 the transparent colour's
// entry has alpha 0, all others are opaque. The bit depth is the planes (8 for a
// chunky PBM); the cycles are the CRNG and CCRT ranges in file order, the first
// kMaxCycleRanges of them, the note set when the file held more.
Result<DecodedPicture> DecodeIlbm(std::span<const uint8_t> bytes);

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
