#include "cycle/cycle.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace hw {

namespace {

constexpr RGBTriple kBlack{0, 0, 0};
constexpr RGBTriple kWhite{255, 255, 255};

PaletteEntry Entry(const RGBTriple& c) { return {c.R, c.G, c.B, kEntryFlags}; }

// Source colour k of the cycle entries; indices outside the table are held to it.
const RGBTriple& Source(const std::array<RGBTriple, 256>& entries, int index) {
  return entries[static_cast<size_t>(std::clamp(index, 0, 255))];
}

}  // namespace

uint8_t Jitter(uint8_t value, int16_t spread, RandomSource& rnd) {
  double u = rnd.Next();
  // Keep a misbehaving source from pushing d out of its documented range.
  if (!(u >= 0.0)) u = 0.0;
  if (u >= 1.0) u = std::nextafter(1.0, 0.0);
  const double d = std::floor(2.0 * u * spread + 1.0) - spread;
  const double v = std::clamp(value + d, 0.0, 255.0);
  return static_cast<uint8_t>(v);
}

void CycleStep(DisplayPalette& display, PaletteHandle hpal,
               const std::array<int16_t, 6>& cycle_starts,
               const std::array<RGBTriple, 256>& cycle_entries, int16_t scheme, RandomSource& rnd,
               CycleTables& tables) {
  std::array<PaletteEntry, 256> work{};

  for (int k = 0; k < 5; ++k) {
    const RGBTriple& src = Source(cycle_entries, cycle_starts[static_cast<size_t>(k)]);
    RGBTriple& key = tables.CycleColors[static_cast<size_t>(k)];
    key.R = Jitter(src.R, kCycleSpread, rnd);
    key.G = Jitter(src.G, kCycleSpread, rnd);
    key.B = Jitter(src.B, kCycleSpread, rnd);
  }
  tables.BandStarts = {196, 204, 212, 220, 228, 236};
  const auto& bs = tables.BandStarts;
  auto band_begin = [&](int k) { return work.begin() + bs[static_cast<size_t>(k)]; };
  auto band_end = [&](int k) { return work.begin() + bs[static_cast<size_t>(k) + 1]; };

  switch (scheme) {
    case kSchemeBackward:
      display.GetPaletteEntries(hpal, bs[0], bs[5] - bs[0],
                                std::span<PaletteEntry>(work).subspan(bs[0]));
      for (int k = 0; k < 5; ++k) std::rotate(band_begin(k), band_begin(k) + 1, band_end(k));
      break;

    case kSchemeForward:
      for (int k = 0; k < 5; ++k) {
        const RGBTriple& src =
            Source(cycle_entries, std::min<int>(cycle_starts[static_cast<size_t>(k)], 20));
        for (int j = 0; j < 8; ++j) {
          PaletteEntry& e = work[static_cast<size_t>(bs[static_cast<size_t>(k)] + j)];
          e.red = Jitter(src.R, kCycleSpread, rnd);
          e.green = Jitter(src.G, kCycleSpread, rnd);
          e.blue = Jitter(src.B, kCycleSpread, rnd);
          e.flags = kEntryFlags;
        }
      }
      for (int k = 0; k < 5; ++k) std::rotate(band_begin(k), band_end(k) - 1, band_end(k));
      break;

    case kSchemeShimmer:
      for (int k = 0; k < 5; ++k) {
        const RGBTriple key = tables.CycleColors[static_cast<size_t>(k)];
        const size_t s = bs[static_cast<size_t>(k)];
        RGBTriple mid, c;
        BlendRGB(kBlack, key, mid, 2, 3);
        for (int j = 0; j < 5; ++j) {
          BlendRGB(mid, key, c, static_cast<int16_t>(j + 1), 5);
          work[s + static_cast<size_t>(j)] = Entry(c);
        }
        for (int j = 0; j < 3; ++j) {
          BlendRGB(key, kWhite, c, static_cast<int16_t>(j), 3);
          work[s + 5 + static_cast<size_t>(j)] = Entry(c);
        }
      }
      break;

    default:
      return;
  }

  display.AnimatePalette(hpal, bs[0], bs[5] - bs[0],
                         std::span<const PaletteEntry>(work).subspan(bs[0]));
}

float DefaultRandom::Next() {
  // 24 random bits scaled by 2^-24: exactly representable, never 1.
  return static_cast<float>(gen_() >> 8) * (1.0f / 16777216.0f);
}

}  // namespace hw
