// A BoardOps that records what the algorithms ask of the editor, and a board of
// recognisable entries.
#pragma once

#include <string>
#include <vector>

#include "app/core/editor_state.h"
#include "colour/colour.h"
#include "edit/board_ops.h"

namespace hw::test {

class FakeBoard : public BoardOps {
 public:
  explicit FakeBoard(EditorState& s) : s_(s) {}
  void RepaintSwatch(int index) override { repaints.push_back(index); }
  void RemapPicture() override { follow_up.push_back("remap"); }
  void RealizeNewPalette() override { follow_up.push_back("realize"); }
  void RefreshPicture() override { follow_up.push_back("refresh"); }
  void ShowUsage(int16_t index) override { usage_shown.push_back(index); }
  // Counts per board position now: position j holds the as-loaded entry IndexMap(j).
  void ComputeHisto() override {
    follow_up.push_back("histo");
    s_.Histo.fill(0);
    for (int j = 0; j < 256; ++j) s_.Histo[j] = loaded_counts[s_.IndexMap[j]];
  }
  void Clear() {
    repaints.clear();
    follow_up.clear();
    usage_shown.clear();
  }

  std::array<int32_t, 256> loaded_counts{};  // usage by as-loaded index
  std::vector<int> repaints;
  std::vector<std::string> follow_up;
  std::vector<int16_t> usage_shown;

 private:
  EditorState& s_;
};

// A board as after start-up, with the identity map, red k at position k (so the
// colour names the entry too) and both marks on 0.
inline void ResetBoard(EditorState& s) {
  for (int k = 0; k < 256; ++k) {
    s.IndexMap[k] = static_cast<uint8_t>(k);
    s.BlotColour[k] = PackRGB({static_cast<uint8_t>(k), static_cast<uint8_t>(255 - k), 7});
    s.Pal[k] = GetRGB(s.BlotColour[k]);
  }
  s.LastSrc = s.LastDst = s.PrevIndex = s.CurIndex = 0;
}

// The entries positions first.. hold, read from the colours or from the map.
inline std::vector<int> Colours(const EditorState& s, int first, int n) {
  std::vector<int> out;
  for (int k = first; k < first + n; ++k) out.push_back(GetRed(s.BlotColour[k]));
  return out;
}
inline std::vector<int> Maps(const EditorState& s, int first, int n) {
  return std::vector<int>(s.IndexMap.begin() + first, s.IndexMap.begin() + first + n);
}

}  // namespace hw::test
