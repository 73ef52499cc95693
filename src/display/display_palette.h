// A small palette-based display layer: logical palettes of 256 entries with flags,
// surfaces they are selected into, realization, animation of reserved entries and
// read-back. Surfaces that show palette-index references resolve them through the
// palette realized in them, so rebuilding or animating a palette recolours them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace hw {

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

inline constexpr uint8_t kPcReserved = 1;    // entry may be animated
inline constexpr uint8_t kPcNoCollapse = 4;  // entry is never matched to a system colour
inline constexpr uint8_t kEntryFlags = kPcReserved | kPcNoCollapse;

using LogicalPalette = std::array<PaletteEntry, 256>;
using PaletteHandle = int32_t;  // 0 is the null handle

// Surfaces a palette can be selected into.
enum class Surface : int32_t { PictureBox = 0, PictureWindow = 1, FirstSwatch = 16 };
inline Surface SwatchSurface(int index) {
  return static_cast<Surface>(static_cast<int32_t>(Surface::FirstSwatch) + index);
}

class DisplayPalette {
 public:
  // palette_size is what the palette-size query reports: 256 for a palette display,
  // 0 for a true-colour screen (the default).
  explicit DisplayPalette(int palette_size = 0) : palette_size_(palette_size) {}

  int PaletteSize() const { return palette_size_; }

  PaletteHandle CreatePalette(const LogicalPalette& entries);
  // Selects `palette` into `surface`; returns the palette selected there before
  // (0 if none). A null or unknown handle selects nothing and returns 0.
  PaletteHandle SelectPalette(Surface surface, PaletteHandle palette, bool force_background);
  // Makes the surface show its selected palette; returns the number of entries mapped.
  int RealizePalette(Surface surface);
  // Replaces entries [start, start + count) of a palette, only those whose current
  // flags carry kPcReserved. Returns the number of entries changed.
  int AnimatePalette(PaletteHandle palette, int start, int count,
                     std::span<const PaletteEntry> entries);
  // Copies entries [start, start + count) into out; returns the count copied.
  int GetPaletteEntries(PaletteHandle palette, int start, int count,
                        std::span<PaletteEntry> out) const;

  // What a surface shows: its realized palette, or nullptr if none.
  const LogicalPalette* Realized(Surface surface) const;
  PaletteHandle Selected(Surface surface) const;
  bool Exists(PaletteHandle palette) const;
  size_t LivePalettes() const { return palettes_.size(); }
  // Grows whenever anything a surface shows may have changed.
  uint64_t Generation() const { return generation_; }

 private:
  void ReleaseIfUnused(PaletteHandle palette);

  int palette_size_;
  PaletteHandle next_handle_ = 1;
  std::map<PaletteHandle, LogicalPalette> palettes_;
  std::map<Surface, PaletteHandle> selected_;
  std::map<Surface, PaletteHandle> realized_;
  uint64_t generation_ = 0;
};

}  // namespace hw
