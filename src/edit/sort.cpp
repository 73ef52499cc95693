#include "edit/sort.h"

#include <array>
#include <utility>

#include "colour/colour.h"
#include "edit/moves.h"

namespace hw {
namespace {

// The HSV of each position's colour, converted only when the colour a position
// holds differs from the one converted last: a pure function of the colour, so
// the decisions are exactly those of converting afresh for every comparison.
class HsvKeys {
 public:
  const HSVTriple& At(const EditorState& s, int i) {
    const size_t k = static_cast<size_t>(i);
    if (!valid_[k] || colour_[k] != s.BlotColour[k]) {
      colour_[k] = s.BlotColour[k];
      RGBToHSV(GetRGB(colour_[k]), hsv_[k]);
      valid_[k] = true;
    }
    return hsv_[k];
  }
  // Follows an exchange of two positions (checked again on the next read anyway).
  void Exchange(int i, int j) {
    std::swap(colour_[static_cast<size_t>(i)], colour_[static_cast<size_t>(j)]);
    std::swap(hsv_[static_cast<size_t>(i)], hsv_[static_cast<size_t>(j)]);
    std::swap(valid_[static_cast<size_t>(i)], valid_[static_cast<size_t>(j)]);
  }

 private:
  std::array<PackedColour, 256> colour_{};
  std::array<HSVTriple, 256> hsv_{};
  std::array<bool, 256> valid_{};
};

// Whether the entries at positions i and i + 1 are out of order for `sort`
// (before "Reverse sort" is applied).
bool OutOfOrder(const EditorState& s, HsvKeys& keys, int i, int16_t sort) {
  if (sort == kSortRedGreen) {
    const RGBTriple a = GetRGB(s.BlotColour[static_cast<size_t>(i)]);
    const RGBTriple b = GetRGB(s.BlotColour[static_cast<size_t>(i) + 1]);
    return b.R < a.R || (b.R == a.R && b.G < a.G);
  }
  if (sort < kSortHueValue || sort > kSortSaturation) return false;
  const HSVTriple& ha = keys.At(s, i);
  const HSVTriple& hb = keys.At(s, i + 1);
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
  HsvKeys keys;
  while (sweeps <= 256 && exchanged) {
    ++sweeps;
    exchanged = false;
    for (int16_t i = 0; i <= 254; ++i) {
      bool exchange = OutOfOrder(s, keys, i, sort);
      if (s.ui.CheckReverseSort == 1) exchange = !exchange;
      if (exchange) {
        const int16_t next = static_cast<int16_t>(i + 1);
        SwapBlot(s, ops, i, next);
        keys.Exchange(i, next);
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
