// What the rearranging and recolouring algorithms need from the editor around
// them: repaints and the follow-up of a change of entries. The editor implements
// it; tests can implement it with a recorder.
#pragma once

#include <cstdint>

namespace hw {

class BoardOps {
 public:
  virtual ~BoardOps() = default;
  // Redraws one swatch in its current colour, with its mark if it is marked.
  virtual void RepaintSwatch(int index) = 0;
  // Rewrites Pixels from OrigPixels through IndexMap (may be deferred until the
  // pixels are next read; see the editor).
  virtual void RemapPicture() = 0;
  // Rebuilds PicPal (when "Color" is ticked) and the display palette, sets HPal.
  virtual void RealizeNewPalette() = 0;
  // Shows the picture box's retained image anew.
  virtual void RefreshPicture() = 0;
  // Selects an entry: usage label, PrevIndex/CurIndex, marks.
  virtual void ShowUsage(int16_t index) = 0;
  // Usage count of each board position now, into Histo(0..255).
  virtual void ComputeHisto() = 0;
};

}  // namespace hw
