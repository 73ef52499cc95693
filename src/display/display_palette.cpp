// The display palette layer. Palettes live in a map keyed by handle; each surface
// remembers the palette selected into it and the palette it last realized. A
// surface shows its realized palette by reference, so animating a palette is seen
// at once by every surface that realized it. A palette that is neither selected
// nor realized in any surface is released, so repeated rebuilds do not pile up
// palette objects.
#include "display/display_palette.h"

#include <algorithm>
#include <limits>

namespace hw {

namespace {

// Clips [start, start + count) to the palette and to a buffer of `available`
// entries. Returns the number of entries left, 0 when nothing overlaps.
int ClipRange(int start, int count, size_t available) {
  if (start < 0 || count <= 0 || start >= 256) return 0;
  int n = std::min(count, 256 - start);
  if (static_cast<size_t>(n) > available) n = static_cast<int>(available);
  return n;
}

}  // namespace

PaletteHandle DisplayPalette::CreatePalette(const LogicalPalette& entries) {
  // Handles are never reused while alive; wrap round before the counter could
  // overflow and skip any handle still in use.
  PaletteHandle handle = next_handle_;
  while (palettes_.count(handle) != 0 || handle <= 0) {
    handle = (handle == std::numeric_limits<PaletteHandle>::max()) ? 1 : handle + 1;
  }
  next_handle_ = (handle == std::numeric_limits<PaletteHandle>::max()) ? 1 : handle + 1;
  palettes_.emplace(handle, entries);
  return handle;
}

PaletteHandle DisplayPalette::SelectPalette(Surface surface, PaletteHandle palette,
                                            bool /*force_background*/) {
  if (palette == 0 || palettes_.count(palette) == 0) return 0;
  PaletteHandle previous = 0;
  auto it = selected_.find(surface);
  if (it != selected_.end()) {
    previous = it->second;
    it->second = palette;
  } else {
    selected_.emplace(surface, palette);
  }
  ++generation_;
  if (previous != palette) ReleaseIfUnused(previous);
  // The previous palette may just have been released; its handle is still the
  // honest answer to "what was selected before".
  return previous;
}

int DisplayPalette::RealizePalette(Surface surface) {
  auto sel = selected_.find(surface);
  if (sel == selected_.end()) return 0;
  const PaletteHandle palette = sel->second;
  PaletteHandle previous = 0;
  auto it = realized_.find(surface);
  if (it != realized_.end()) {
    previous = it->second;
    it->second = palette;
  } else {
    realized_.emplace(surface, palette);
  }
  ++generation_;
  if (previous != palette) ReleaseIfUnused(previous);
  return 256;
}

int DisplayPalette::AnimatePalette(PaletteHandle palette, int start, int count,
                                   std::span<const PaletteEntry> entries) {
  auto it = palettes_.find(palette);
  if (palette == 0 || it == palettes_.end()) return 0;
  const int n = ClipRange(start, count, entries.size());
  LogicalPalette& target = it->second;
  int changed = 0;
  for (int k = 0; k < n; ++k) {
    PaletteEntry& entry = target[static_cast<size_t>(start + k)];
    if ((entry.flags & kPcReserved) == 0) continue;
    // Only the colour moves; the entry keeps its flags, so an entry reserved for
    // animation stays reserved whatever flags the caller passes.
    const PaletteEntry& source = entries[static_cast<size_t>(k)];
    entry.red = source.red;
    entry.green = source.green;
    entry.blue = source.blue;
    ++changed;
  }
  if (changed > 0) ++generation_;
  return changed;
}

int DisplayPalette::GetPaletteEntries(PaletteHandle palette, int start, int count,
                                      std::span<PaletteEntry> out) const {
  auto it = palettes_.find(palette);
  if (palette == 0 || it == palettes_.end()) return 0;
  const int n = ClipRange(start, count, out.size());
  std::copy_n(it->second.begin() + start, n, out.begin());
  return n;
}

const LogicalPalette* DisplayPalette::Realized(Surface surface) const {
  auto it = realized_.find(surface);
  if (it == realized_.end()) return nullptr;
  auto pal = palettes_.find(it->second);
  return pal == palettes_.end() ? nullptr : &pal->second;
}

PaletteHandle DisplayPalette::Selected(Surface surface) const {
  auto it = selected_.find(surface);
  return it == selected_.end() ? 0 : it->second;
}

bool DisplayPalette::Exists(PaletteHandle palette) const {
  return palette != 0 && palettes_.count(palette) != 0;
}

void DisplayPalette::ReleaseIfUnused(PaletteHandle palette) {
  if (palette == 0) return;
  for (const auto& [surface, handle] : selected_) {
    if (handle == palette) return;
  }
  for (const auto& [surface, handle] : realized_) {
    if (handle == palette) return;
  }
  palettes_.erase(palette);
}

}  // namespace hw
