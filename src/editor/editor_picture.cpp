// The derived views of the board: the pixels (the map applied to the loaded
// pixels, one remap pass), the usage per position, and the display palette built
// from the board's entries, which every surface that shows colours realizes:
// the picture box, the picture window and, with "Use HW Colors", the swatches.
#include "editor/editor.h"
#include "pixels/remap.h"

namespace hw {

void Editor::Remap() {
  usage_ = UsageByPosition(board_.map, loaded_counts_);
  if (!loaded_) return;
  pixels_.resize(loaded_pixels_.size());
  RemapPixels(loaded_pixels_, pixels_, board_.map);
  if (auto* v = view()) v->PictureChanged();
}

void Editor::RebuildDisplayPalette() {
  LogicalPalette entries{};
  for (size_t i = 0; i < 256; ++i) {
    const RGBTriple& c = board_.entries[i].rgb;
    entries[i] = PaletteEntry{c.R, c.G, c.B, kEntryFlags};
  }
  hpal_ = display_.CreatePalette(entries);
  const auto use = [this](Surface surface) {
    display_.SelectPalette(surface, hpal_, false);
    display_.RealizePalette(surface);
  };
  use(Surface::PictureBox);
  use(Surface::PictureWindow);
  if (ui_.CheckHW) {
    for (int i = 0; i < 256; ++i) use(SwatchSurface(i));
  }
  if (auto* v = view()) {
    v->PicturePaletteChanged();
    if (ui_.CheckHW) v->BoardChanged();
  }
}

}  // namespace hw
