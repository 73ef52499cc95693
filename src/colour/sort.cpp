#include "colour/sort.h"

#include <utility>

#include "colour/colour.h"
#include "edit/moves.h"

namespace hw {
namespace {

// Whether the entries at positions i and i + 1 are out of order for `sort`
// (before "Reverse sort" is applied).
bool OutOfOrder(PackedColour a_colour, PackedColour b_colour, int16_t sort) {
  const RGBTriple a = GetRGB(a_colour);
  const RGBTriple b = GetRGB(b_colour);
  if (sort == kSortRedGreen) return b.R < a.R || (b.R == a.R && b.G < a.G);
  if (sort < kSortHueValue || sort > kSortSaturation) return false;
  HSVTriple ha, hb;
  RGBToHSV(a, ha);
  RGBToHSV(b, hb);
  switch (sort) {
    case kSortHueValue:
      return hb.H > ha.H || (hb.H == ha.H && hb.V > ha.V);
    case kSortValueSat:
      return hb.V > ha.V || (hb.V == ha.V && hb.S > ha.S);
    default:
      return hb.S > ha.S;
  }
}

void FinishSort(BoardOps& ops) {
  ops.RemapPicture();
  ops.RealizeNewPalette();
  ops.RefreshPicture();
}

}  // namespace

int SortOnHisto(EditorState& s, BoardOps& ops) {
  ops.ComputeHisto();
  int sweeps = 0;
  bool exchanged = true;
  // Ends: every exchange moves a strictly larger count up, and the counts move
  // with it whatever SwapBlot moves, so at most 256 sweeps exchange anything.
  while (exchanged) {
    ++sweeps;
    exchanged = false;
    for (int16_t i = 0; i <= 254; ++i) {
      if (s.Histo[i + 1] > s.Histo[i]) {
        std::swap(s.Histo[i], s.Histo[i + 1]);
        const int16_t next = static_cast<int16_t>(i + 1);
        SwapBlot(s, ops, i, next);
        exchanged = true;
      }
    }
  }
  FinishSort(ops);
  return sweeps;
}

int SortOnColor(EditorState& s, BoardOps& ops, const int16_t& sort) {
  int16_t sweeps = 0;
  bool exchanged = true;
  while (sweeps <= 256 && exchanged) {
    ++sweeps;
    exchanged = false;
    for (int16_t i = 0; i <= 254; ++i) {
      bool exchange = OutOfOrder(s.BlotColour[i], s.BlotColour[i + 1], sort);
      if (s.ui.CheckReverseSort == 1) exchange = !exchange;
      if (exchange) {
        const int16_t next = static_cast<int16_t>(i + 1);
        SwapBlot(s, ops, i, next);
        exchanged = true;
      }
    }
  }
  FinishSort(ops);
  return sweeps;
}

void SortCommand(EditorState& s, BoardOps& ops) {
  switch (s.ui.SortChoice) {
    case SortOption::Hist:
      SortOnHisto(s, ops);
      break;
    case SortOption::Value:
      SortOnColor(s, ops, kSortValueSat);
      break;
    case SortOption::Hue:
      SortOnColor(s, ops, kSortHueValue);
      break;
    case SortOption::Sat:
      SortOnColor(s, ops, kSortSaturation);
      break;
    case SortOption::Red:
      SortOnColor(s, ops, kSortRedGreen);
      break;
  }
}

}  // namespace hw
