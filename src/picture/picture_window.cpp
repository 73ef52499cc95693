// The picture window of the editor: the picture box's size, drawing the picture
// through a freshly built display palette, rewriting the pixels through the index
// map, and rebuilding the display palette after entries moved.
//
// The picture box keeps a retained image of palette indices (ShownPixels) that it
// shows through the palette realized in it, so rebuilding or animating that
// palette recolours the picture without a redraw. The retained image is Pixels,
// so it always holds the pixels the next save writes.
#include <algorithm>

#include "app/core/editor.h"
#include "pixels/remap.h"

namespace hw {

namespace {

// The picture box never grows beyond what a 16-bit window coordinate can hold.
constexpr int32_t kMaxPictureBox = 32767;

}  // namespace

const std::vector<uint8_t>& Editor::ShownPixels() const {
  static const std::vector<uint8_t> kNothingDrawn;
  return shown_width_ > 0 && shown_height_ > 0 ? s_.Pixels : kNothingDrawn;
}

void Editor::SetPictureSize(int32_t width, int32_t height) {
  s_.ui.FormPicExists = true;
  box_width_ = std::clamp<int32_t>(width, 0, kMaxPictureBox);
  box_height_ = std::clamp<int32_t>(height, 0, kMaxPictureBox);
  if (auto* v = view()) v->PictureChanged();
}

PaletteHandle Editor::SelectAndRealize(Surface target, PaletteHandle palette) {
  const PaletteHandle previous = display_.SelectPalette(target, palette, false);
  display_.RealizePalette(target);
  return previous;
}

void Editor::UsePicturePalette(PaletteHandle palette) {
  s_.ui.FormPicExists = true;  // referring to the window creates it, hidden
  SelectAndRealize(Surface::PictureBox, palette);
  SelectAndRealize(Surface::PictureWindow, palette);
}

PaletteHandle Editor::BuildPicturePalette(const Palette& palette) {
  LogicalPalette entries{};
  for (size_t i = 0; i < 256; ++i) {
    entries[i] = PaletteEntry{palette[i].R, palette[i].G, palette[i].B, kEntryFlags};
  }
  const PaletteHandle handle = display_.CreatePalette(entries);
  UsePicturePalette(handle);
  return handle;
}

PaletteHandle Editor::DrawPicture(int32_t width, int32_t height, const Palette& palette) {
  const PaletteHandle handle = BuildPicturePalette(palette);
  // The loads size Pixels to width x height; anything else shows nothing rather
  // than reading past the buffer.
  const bool fits = width > 0 && height > 0 &&
                    static_cast<int64_t>(width) * height == static_cast<int64_t>(s_.Pixels.size());
  shown_width_ = fits ? width : 0;
  shown_height_ = fits ? height : 0;
  if (auto* v = view()) {
    v->PictureChanged();
    v->PicturePaletteChanged();
  }
  return handle;
}

void Editor::RemapPicture() {
  if (s_.PicLoaded == 0) return;
  // Each pixel goes to the board position that now holds its as-loaded index, so
  // the picture keeps its look after any chain of exchanges.
  const IndexLut lut = InverseIndexMap(s_.IndexMap);
  const size_t n = std::min({static_cast<size_t>(std::max<int32_t>(s_.PixCount, 0)),
                             s_.OrigPixels.size(), s_.Pixels.size()});
  RemapPixels(std::span<const uint8_t>(s_.OrigPixels.data(), n),
              std::span<uint8_t>(s_.Pixels.data(), n), lut);
  DeriveHisto();
  if (auto* v = view()) v->PictureChanged();
}

void Editor::RealizeNewPalette() {
  if (s_.ui.CheckMoveColor == 1) s_.PicPal = BoardPalette();
  s_.HPal = BuildPicturePalette(s_.PicPal);
  if (auto* v = view()) v->PicturePaletteChanged();
}

void Editor::RefreshPicture() {
  if (auto* v = view()) v->PictureChanged();
}

}  // namespace hw
