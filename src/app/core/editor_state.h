// The editor's whole state: the fields of the main window and the values of the
// controls that the commands read or write. Plain data; the commands live in
// editor.h and in the algorithm folders.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "colour/colour.h"
#include "pixels/histogram.h"
#include "display/display_palette.h"
#include "formats/pcx.h"

namespace hw {

inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

enum class SortOption { Hist, Value, Hue, Sat, Red };

// Controls of the main window whose values the code reads or sets.
struct Controls {
  int CheckMoveIndex = 1;  // 1 ticked, 0 unticked
  int CheckMoveColor = 1;
  std::string TextMoveCount = "1";  // at most 3 characters
  SortOption SortChoice = SortOption::Hist;
  int CheckReverseSort = 0;
  int CheckOptimize = 0;
  int CheckMerge = 0;
  bool OptionMergeReplace = true;  // false: "Protect Range"
  int CheckHW = 1;
  int ListSchemeIndex = 0;
  int HScrollSpeed = 200;
  bool TimerEnabled = false;
  int TimerInterval = 16;  // milliseconds
  bool ButtonTestEnabled = false;
  std::string ButtonTestCaption = "Test";
  std::string Label1 = "<None Loaded>";
  std::string LabelHistCnt = "0000000";
  std::string LabelUR = "240";
  std::string LabelLL = "15";
  std::string FormPicCaption = "Current Picture";
  bool FormPicExists = false;
  bool FormPicVisible = false;
};

// Geometry of one swatch in twips, inside the main window's client area.
struct SwatchRect {
  float Left = 0, Top = 0, Width = 192, Height = 192;
};

struct EditorState {
  int16_t CycleOn = kFalse;
  int16_t PicLoaded = kFalse;
  int16_t LastSrc = 0;
  int16_t LastDst = 0;
  std::array<RGBTriple, 256> CycleEntries{};
  Palette Pal{};
  Palette PicPal{};
  std::array<uint8_t, 256> IndexMap{};
  float BandX0 = 0, BandY0 = 0, BandX1 = 0, BandY1 = 0;
  float BoardTop = 0, BoardLeft = 0, BoardRight = 0, BoardBottom = 0;
  std::vector<uint8_t> OrigPixels = std::vector<uint8_t>(2, 0);
  std::vector<uint8_t> Pixels = std::vector<uint8_t>(2, 0);
  PcxHeader PcxHead{};
  int32_t PixCount = 0;
  PaletteHandle HPal = 0;
  Histogram Histo{};
  std::array<int16_t, 6> CycleStarts{};
  int16_t PrevIndex = 0;
  int16_t CurIndex = 0;
  int16_t Flipped = kFalse;
  int16_t CycleScheme = 0;

  // Board: each swatch's colour (true colour or palette reference) and place.
  std::array<PackedColour, 256> BlotColour{};
  std::array<SwatchRect, 256> Blot{};

  Controls ui;
};

}  // namespace hw
