// The editor's start-up, the palette board and the pointer commands. The picture
// window lives in picture/picture_window.cpp and the file commands in
// picture/file_commands.cpp; the moves, sorting, spreading and cycling commands in
// their own folders.
#include "app/core/editor.h"

#include <utility>

namespace hw {

namespace {

// Design-time place and size of swatch 0, in twips.
constexpr SwatchRect kSwatch0{120.0f, 360.0f, 192.0f, 192.0f};
constexpr double kPitch = 1.1;

// One coordinate of the board layout: cell (as a Single) times size times the
// pitch plus the origin, formed in double precision and stored as a Single.
float BoardCoordinate(int cell, float size, float origin) {
  return static_cast<float>(static_cast<double>(static_cast<float>(cell)) * size * kPitch +
                            origin);
}

}  // namespace

std::string NumberText(int32_t value) {
  if (value >= 0) return " " + std::to_string(value);
  return std::to_string(value);
}

IndexLut InverseIndexMap(const std::array<uint8_t, 256>& map) {
  IndexLut lut{};
  std::array<bool, 256> held{};
  for (int p = 0; p < 256; ++p) lut[static_cast<size_t>(p)] = static_cast<uint8_t>(p);
  // Lowest position first, so the first position met for each index wins.
  for (int j = 0; j < 256; ++j) {
    const uint8_t p = map[static_cast<size_t>(j)];
    if (!held[p]) {
      held[p] = true;
      lut[p] = static_cast<uint8_t>(j);
    }
  }
  return lut;
}

Editor::Editor(EditorServices services, int palette_size)
    : svc_(services), display_(palette_size) {}

// ---- start-up -------------------------------------------------------------

void Editor::Form_Load() {
  // Step 1: flags and the start-up picture window of the header.
  s_.Flipped = kFalse;
  s_.CycleOn = kFalse;
  s_.PicLoaded = kFalse;
  s_.PcxHead.Xmin = 0;
  s_.PcxHead.Xmax = 0;
  s_.PcxHead.Ymin = -1;
  s_.PcxHead.Ymax = -1;

  // Step 2: two-element pixel buffers.
  s_.OrigPixels.assign(2, 0);
  s_.Pixels.assign(2, 0);

  // Step 3: the display's palette size, used at the end.
  const int palette_size = display_.PaletteSize();

  // Step 4: usage counts.
  ClearHisto(s_.Histo);
  ClearHisto(loaded_histo_);

  // Steps 5 to 8: colour-cycle fields. Selecting list item 0 makes CycleScheme 0.
  for (int k = 0; k < 5; ++k) s_.CycleStarts[static_cast<size_t>(k)] = static_cast<int16_t>(5 * k);
  s_.CycleStarts[5] = 0;
  s_.CycleScheme = 0;
  s_.ui.ListSchemeIndex = s_.CycleScheme;

  // Step 9: the board rectangle from swatch 0 at its design place.
  s_.Blot[0] = kSwatch0;
  const SwatchRect& b0 = s_.Blot[0];
  s_.BoardTop = static_cast<float>(static_cast<double>(b0.Top) - 10);
  s_.BoardLeft = static_cast<float>(static_cast<double>(b0.Left) - 10);
  s_.BoardBottom =
      static_cast<float>(static_cast<double>(b0.Height) * 16 * kPitch + b0.Top + 20);
  s_.BoardRight = static_cast<float>(static_cast<double>(b0.Width) * 16 * kPitch + b0.Left + 20);

  // Step 10: lay out the board column by column.
  int n = 0;
  for (int col = 0; col < 16; ++col) {
    for (int row = 0; row < 16; ++row) {
      SwatchRect& r = s_.Blot[static_cast<size_t>(n)];
      r.Width = s_.Blot[0].Width;
      r.Height = s_.Blot[0].Height;
      r.Left = BoardCoordinate(col, s_.Blot[0].Width, s_.Blot[0].Left);
      r.Top = BoardCoordinate(row, s_.Blot[0].Height, s_.Blot[0].Top);
      ++n;
    }
  }

  // Steps 11 and 12: identity map and the start palette.
  for (int i = 0; i < 256; ++i) {
    s_.IndexMap[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    s_.Pal[static_cast<size_t>(i)] = RGBTriple{255, 170, 85};
    s_.PicPal[static_cast<size_t>(i)] = s_.Pal[static_cast<size_t>(i)];
  }

  // Step 13: colour and mark the board ("Use HW Colors" is still ticked).
  InitBlots();
  if (auto* v = view()) v->ControlsChanged();

  // Steps 14 and 15: a display without a 256-entry palette shows true colours.
  if (palette_size == 256) return;
  s_.ui.CheckHW = 0;
  CheckHW_Click();
}

// ---- board ------------------------------------------------------------------

Palette Editor::BoardPalette() const {
  Palette out{};
  for (size_t j = 0; j < 256; ++j) out[j] = s_.Pal[s_.IndexMap[j]];
  return out;
}

void Editor::InitBlots() {
  for (int i = 0; i < 256; ++i) {
    const size_t k = static_cast<size_t>(i);
    if (s_.ui.CheckHW == 1) {
      // The swatch shows entry i of the display palette realized in it.
      const Surface surface = SwatchSurface(i);
      display_.SelectPalette(surface, s_.HPal, false);
      display_.RealizePalette(surface);
      s_.BlotColour[k] = kPaletteRef + i;
    } else {
      // Position i shows (and saves) the working-palette entry it holds.
      s_.BlotColour[k] = PackRGB(s_.Pal[s_.IndexMap[k]]);
    }
  }
  if (auto* v = view()) v->BoardChanged();
}

void Editor::CheckHW_Click() { InitBlots(); }

bool Editor::IsMarked(int index) const {
  return index == s_.PrevIndex || index == s_.CurIndex;
}

RGBTriple Editor::SwatchShownColour(int index) const {
  if (index < 0 || index > 255) return RGBTriple{};
  const PackedColour colour = s_.BlotColour[static_cast<size_t>(index)];
  if (colour >= kPaletteRef && colour < kPaletteRef + 256) {
    const LogicalPalette* realized = display_.Realized(SwatchSurface(index));
    // No palette realized in the swatch: the reference resolves to nothing shown.
    if (realized == nullptr) return RGBTriple{};
    const PaletteEntry& e = (*realized)[static_cast<size_t>(colour - kPaletteRef)];
    return RGBTriple{e.red, e.green, e.blue};
  }
  return GetRGB(colour);
}

void Editor::CommanFlip_Click() {
  const int16_t old = s_.Flipped;
  s_.Flipped = static_cast<int16_t>(~s_.Flipped);
  if (old == 0) {
    s_.ui.LabelLL = "240";
    s_.ui.LabelUR = "15";
  } else {
    s_.ui.LabelLL = "15";
    s_.ui.LabelUR = "240";
  }
  int n = 0;
  for (int i = 0; i < 16; ++i) {
    for (int j = 0; j < 16; ++j) {
      SwatchRect& r = s_.Blot[static_cast<size_t>(n)];
      // Swatch 0 is read anew for every assignment; it never moves itself (its
      // cell is 0, 0 in both orientations).
      if (s_.Flipped != 0) {
        r.Left = BoardCoordinate(j, s_.Blot[0].Width, s_.Blot[0].Left);
        r.Top = BoardCoordinate(i, s_.Blot[0].Height, s_.Blot[0].Top);
      } else {
        r.Left = BoardCoordinate(i, s_.Blot[0].Width, s_.Blot[0].Left);
        r.Top = BoardCoordinate(j, s_.Blot[0].Height, s_.Blot[0].Top);
      }
      ++n;
    }
  }
  if (auto* v = view()) {
    v->ControlsChanged();
    v->BoardChanged();
  }
}

void Editor::RepaintSwatch(int index) {
  if (index < 0 || index > 255) return;
  if (auto* v = view()) v->SwatchChanged(index);
}

// ---- usage counts -----------------------------------------------------------

void Editor::DeriveHisto() {
  // Each pixel of as-loaded index p now uses the position the remap sends it to.
  const IndexLut lut = InverseIndexMap(s_.IndexMap);
  ClearHisto(s_.Histo);
  for (size_t p = 0; p < 256; ++p) s_.Histo[lut[p]] += loaded_histo_[p];
}

void Editor::ComputeHisto() { DeriveHisto(); }

// ---- pointer commands -------------------------------------------------------

void Editor::ShowUsage(int16_t index) {
  if (index < 0 || index > 255) return;
  s_.ui.LabelHistCnt = NumberText(s_.Histo[static_cast<size_t>(index)]);
  const int16_t old = s_.PrevIndex;
  s_.PrevIndex = s_.CurIndex;
  s_.CurIndex = index;
  if (auto* v = view()) {
    v->ControlsChanged();
    v->SwatchChanged(old);
    v->SwatchChanged(s_.CurIndex);
  }
}

void Editor::Blot_Click(int16_t index) {
  if (index < 0 || index > 255 || svc_.colours == nullptr) return;
  const std::optional<PackedColour> chosen = svc_.colours->ChooseColour(dialog_colour_);
  if (!chosen) return;  // cancelled: nothing changes at all
  const PackedColour colour = *chosen & (RedMask | GreenMask | BlueMask);
  dialog_colour_ = colour;

  const size_t k = static_cast<size_t>(index);
  s_.BlotColour[k] = colour;
  // The position shows the working-palette entry it holds; that entry takes the
  // colour, so the board, the picture and the next save agree.
  s_.Pal[s_.IndexMap[k]] = GetRGB(colour);
  if (auto* v = view()) v->SwatchChanged(index);

  ShowUsage(index);

  if (s_.PicLoaded != 0) {
    const Result<PcxSize> size = PictureSize(s_.PcxHead);
    if (!size) return;
    // Redraw the picture through the colours the board shows.
    s_.PicPal = BoardPalette();
    s_.HPal = DrawPicture(size->width, size->height, s_.PicPal);
  }
}

void Editor::Form_MouseDown(int button, float x, float y) {
  if (button != 1) return;
  if (s_.BoardLeft < x && x < s_.BoardRight && s_.BoardTop < y && y < s_.BoardBottom) {
    s_.BandX0 = s_.BandX1 = x;
    s_.BandY0 = s_.BandY1 = y;
    band_active_ = true;
    if (auto* v = view()) v->DrawBandBox(x, y, x, y);
  } else {
    s_.BandX0 = s_.BandY0 = -1;
    band_active_ = false;
  }
}

void Editor::Form_MouseMove(int button, float x, float y) {
  if (button != 1 || !band_active_) return;
  int32_t xi = RoundHalfEven(x);
  int32_t yi = RoundHalfEven(y);
  if (static_cast<float>(xi) < s_.BoardLeft) xi = RoundHalfEven(s_.BoardLeft);
  if (static_cast<float>(xi) > s_.BoardRight) xi = RoundHalfEven(s_.BoardRight);
  if (static_cast<float>(yi) < s_.BoardTop) yi = RoundHalfEven(s_.BoardTop);
  if (static_cast<float>(yi) > s_.BoardBottom) yi = RoundHalfEven(s_.BoardBottom);
  const float nx = static_cast<float>(xi);
  const float ny = static_cast<float>(yi);
  if (auto* v = view()) {
    v->DrawBandBox(s_.BandX0, s_.BandY0, s_.BandX1, s_.BandY1);  // removes the old box
    v->DrawBandBox(s_.BandX0, s_.BandY0, nx, ny);
  }
  s_.BandX1 = nx;
  s_.BandY1 = ny;
}

void Editor::Form_MouseUp(int button, float /*x*/, float /*y*/) {
  if (button != 1 || !band_active_) return;
  band_active_ = false;
  if (auto* v = view()) v->DrawBandBox(s_.BandX0, s_.BandY0, s_.BandX1, s_.BandY1);
}

void Editor::ReportError(const std::string& message) {
  if (svc_.errors != nullptr) svc_.errors->ShowError(message);
}

}  // namespace hw
