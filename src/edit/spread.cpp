#include "edit/spread.h"

#include "colour/colour.h"

namespace hw {
namespace {

struct SpreadRange {
  int16_t lo = 0;
  int16_t hi = 0;
  int16_t span = 0;
  RGBTriple from;
  RGBTriple to;
};

// Reads the range and both end colours before anything is written. Fails for a
// range whose ends are not both board positions.
bool ReadRange(const EditorState& s, SpreadRange& r) {
  r.lo = MinOf(s.CurIndex, s.PrevIndex);
  r.hi = MaxOf(s.CurIndex, s.PrevIndex);
  if (r.lo < 0 || r.hi > 255) return false;
  r.span = static_cast<int16_t>(r.hi - r.lo);
  r.from = GetRGB(s.BlotColour[r.lo]);
  r.to = GetRGB(s.BlotColour[r.hi]);
  return true;
}

// Position i shows the working-palette entry IndexMap(i); that is the entry the
// new colour belongs to.
void WriteEntry(EditorState& s, BoardOps& ops, int i, const RGBTriple& rgb) {
  s.BlotColour[i] = PackRGB(rgb);
  s.Pal[s.IndexMap[i]] = rgb;
  ops.RepaintSwatch(i);
}

}  // namespace

void RangeRGB(EditorState& s, BoardOps& ops) {
  SpreadRange r;
  if (!ReadRange(s, r) || r.span <= 0) return;
  for (int i = r.lo; i <= r.hi; ++i) {
    RGBTriple rgb;
    BlendRGB(r.from, r.to, rgb, static_cast<int16_t>(i - r.lo), r.span);
    WriteEntry(s, ops, i, rgb);
  }
}

void RangeHSV(EditorState& s, BoardOps& ops, const int16_t& direction) {
  SpreadRange r;
  if (!ReadRange(s, r) || r.span < 1) return;
  HSVTriple from_hsv, to_hsv;
  RGBToHSV(r.from, from_hsv);
  RGBToHSV(r.to, to_hsv);
  for (int i = r.lo + 1; i <= r.hi - 1; ++i) {
    HSVTriple hsv;
    BlendHSV(from_hsv, to_hsv, hsv, static_cast<int16_t>(i - r.lo), r.span, direction);
    RGBTriple rgb;
    HSVToRGB(hsv, rgb);
    WriteEntry(s, ops, i, rgb);
  }
}

}  // namespace hw
