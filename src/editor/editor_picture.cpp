// The derived views of the board: the pixels (the map applied to the loaded
// pixels, one remap pass), the usage per position, and the display palette built
// from the board's entries, which every surface that shows colours realizes:
// the picture, the picture window and, with hardware colours, the swatches.
#include <stdexcept>

#include "base/faults.h"
#include "base/memory.h"
#include "editor/editor.h"
#include "pixels/remap.h"

namespace hw {

namespace {

// A zero-filled buffer of n bytes, every page touched, in huge pages where the
// system has them: a picture's worth of small pages costs far more to touch than
// the remap that fills them.
std::vector<uint8_t> TouchedBuffer(size_t n) {
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  std::vector<uint8_t> buffer;
  buffer.reserve(n);
  AdviseHugePages(buffer.data(), buffer.capacity());
  buffer.resize(n);
  return buffer;
}

}  // namespace

void Editor::PrepareRemapBuffer() {
  if (!prepare_after_load_) return;
  const size_t n = loaded_pixels_.size();
  // Touching fresh memory costs far more than the remap that fills it; another
  // core does it while the picture is being shown. The buffer is the thread's own
  // until RemapBuffer() joins it.
  const auto prepare = [this, n] {
    try {
      prepared_ = TouchedBuffer(n);
    } catch (const std::bad_alloc&) {
      // The first remap allocates it and reports what happens then.
    }
  };
  try {
    preparing_ = StartThread(prepare);
  } catch (const std::system_error&) {
    // No thread to be had: the picture is loaded all the same; the first remap
    // allocates its buffer itself.
  }
}

std::vector<uint8_t>& Editor::RemapBuffer() {
  if (preparing_.joinable()) preparing_.join();
  if (prepared_.size() == loaded_pixels_.size()) {
    pixels_ = std::move(prepared_);
    prepared_ = {};
  }
  if (pixels_.size() != loaded_pixels_.size()) {
    std::vector<uint8_t> buffer = TouchedBuffer(loaded_pixels_.size());
    pixels_ = std::move(buffer);
  }
  return pixels_;
}

void Editor::Remap(std::vector<uint8_t>* into) {
  usage_ = UsageByPosition(board_.map, loaded_counts_);
  if (!loaded_) return;
  // With the identity map the pixels are the loaded ones: nothing to compute.
  if (into != nullptr) RemapPixels(loaded_pixels_, *into, board_.map);
  identity_ = into == nullptr;
  if (auto* v = view()) v->PictureChanged();
}

void Editor::RemapInPlace(const IndexMap& from, const IndexMap& to) {
  // The step from one map to the next: what each value of `from` becomes. Every
  // command builds its map from the one before, so indices that shared a value
  // of `from` share one of `to`.
  IndexLut step{};
  std::array<bool, 256> seen{};
  for (size_t x = 0; x < 256; ++x) {
    if (seen[from[x]] && step[from[x]] != to[x]) {
      throw std::logic_error("a forward-only map change that is not a function of the map before");
    }
    seen[from[x]] = true;
    step[from[x]] = to[x];
  }
  usage_ = UsageByPosition(to, loaded_counts_);
  RemapPixels(loaded_pixels_, loaded_pixels_, step);
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
  if (hardware_colours_) {
    for (int i = 0; i < 256; ++i) use(SwatchSurface(i));
  }
  if (auto* v = view()) {
    v->PicturePaletteChanged();
    if (hardware_colours_) v->BoardChanged();
  }
  // A new palette shows the board's colours: while the ranges play they go on
  // rotating from there.
  if (PlayingRanges()) ShowCycleFrame(true);
}

}  // namespace hw
