// The editor: its state plus every command as a method. The Qt shell turns events
// into these calls and repaints what the EditorView hears about; tests drive it
// directly with fake services.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/core/editor_state.h"
#include "app/core/services.h"
#include "display/display_palette.h"
#include "edit/board_ops.h"
#include "pixels/remap.h"

namespace hw {

// What the shell needs to hear to repaint. Every method has an empty default.
class EditorView {
 public:
  virtual ~EditorView() = default;
  virtual void SwatchChanged(int /*index*/) {}       // colour, mark or place
  virtual void BoardChanged() {}                     // all swatches
  virtual void ControlsChanged() {}                  // captions, labels, enabled states
  virtual void PictureChanged() {}                   // pixels or size of the picture box
  virtual void PicturePaletteChanged() {}            // what the picture box shows
  virtual void PictureWindowShown() {}
  virtual void TimerChanged() {}                     // enabled or interval
  // Draws a white box between two corners (twips) in exclusive-or mode: drawing
  // the same box twice removes it.
  virtual void DrawBandBox(float /*x0*/, float /*y0*/, float /*x1*/, float /*y1*/) {}
};

struct EditorServices {
  FileDialogs* files = nullptr;
  ColourDialog* colours = nullptr;
  ErrorReporter* errors = nullptr;
  BusyPointer* busy = nullptr;
  RandomSource* random = nullptr;
  EditorView* view = nullptr;  // may stay null
};

// The items of the cycle-scheme list, in list order.
inline constexpr std::array<const char*, 3> kListSchemeItems = {
    "DPaint x 5 (backward)", "DPaint x 5 (foreward)", "Shimmer"};

// A number as the labels show it: a space in the sign position of a number of 0
// or more, a minus sign otherwise (" 87", "-3").
std::string NumberText(int32_t value);

// The inverse of an index map for rewriting pixels: for each as-loaded index p the
// board position j that holds it (map[j] == p). When several positions hold p the
// lowest one wins; when none does, p keeps its own index.
IndexLut InverseIndexMap(const std::array<uint8_t, 256>& map);

class Editor : public BoardOps {
 public:
  // palette_size is the display's palette-size answer (0 for a true-colour screen).
  // The fields start as plain zeros; Form_Load sets the start-up values and must run
  // once before any command.
  Editor(EditorServices services, int palette_size = 0);

  EditorState& state() { return s_; }
  const EditorState& state() const { return s_; }
  DisplayPalette& display() { return display_; }
  const DisplayPalette& display() const { return display_; }
  void SetView(EditorView* view) { svc_.view = view; }

  // Start-up and board.
  void Form_Load();
  void InitBlots();
  void CheckHW_Click();
  void CommanFlip_Click();
  bool IsMarked(int index) const;  // index is PrevIndex or CurIndex
  // The colour a swatch shows on screen: its true colour, or for a palette
  // reference the entry of the palette realized in that swatch.
  RGBTriple SwatchShownColour(int index) const;

  // The palette the board shows and the next save writes: position j shows the
  // working-palette entry Pal(IndexMap(j)).
  Palette BoardPalette() const;

  // Pointer commands.
  void ShowUsage(int16_t index) override;
  void Blot_Click(int16_t index);  // colour dialog
  void Blot_DragDrop(int16_t target, int16_t source);
  void Form_MouseDown(int button, float x, float y);
  void Form_MouseMove(int button, float x, float y);
  void Form_MouseUp(int button, float x, float y);

  // File commands.
  void ButtonLoad_Click();
  void ButtonSave_Click();
  void CommandLoadPal_Click();
  void CommandSavePal_Click();

  // Rearranging and recolouring.
  void ButtonUndo_Click();
  void CommandReverse_Click();
  void CommandSort_Click();
  void CommandSpreadRGB_Click();
  void CommandSpreadHSV_Click();
  void CommandSpreadHSVReverse_Click();

  // Colour cycling.
  void ButtonTest_Click();
  void ListScheme_Click(int index);
  void HScrollSpeed_Change(int value);
  void TimerColor_Timer();

  // Picture window. DrawPicture builds and realizes a display palette from
  // `palette` on the picture box and the picture window, makes Pixels (width x
  // height of it) the picture box's retained image and returns the palette's handle.
  void SetPictureSize(int32_t width, int32_t height);
  PaletteHandle DrawPicture(int32_t width, int32_t height, const Palette& palette);
  PaletteHandle BuildPicturePalette(const Palette& palette);
  void UsePicturePalette(PaletteHandle palette);
  PaletteHandle SelectAndRealize(Surface target, PaletteHandle palette);
  // Inner size of the picture box in pixels, as SetPictureSize left it.
  int32_t PictureBoxWidth() const { return box_width_; }
  int32_t PictureBoxHeight() const { return box_height_; }
  // Usage counts by as-loaded index, counted once per picture load; Histo holds
  // the counts by board position derived from these through IndexMap.
  const Histogram& LoadedHisto() const { return loaded_histo_; }

  // BoardOps: the follow-up of a change of entries.
  void RepaintSwatch(int index) override;
  void RemapPicture() override;
  void RealizeNewPalette() override;
  void RefreshPicture() override;
  void ComputeHisto() override;

  // The picture as the picture box shows it: width x height indices, row-major,
  // resolved through display().Realized(Surface::PictureBox). It is Pixels itself,
  // so it always holds what the next save writes.
  int32_t ShownWidth() const { return shown_width_; }
  int32_t ShownHeight() const { return shown_height_; }
  const std::vector<uint8_t>& ShownPixels() const;

 private:
  EditorView* view() const { return svc_.view; }
  void DeriveHisto();
  void ReportError(const std::string& message);

  EditorState s_;
  EditorServices svc_;
  DisplayPalette display_;
  int32_t shown_width_ = 0;
  int32_t shown_height_ = 0;
  int32_t box_width_ = 0;
  int32_t box_height_ = 0;
  Histogram loaded_histo_{};
  // True from a left press inside the board until the release: only then do moves
  // and the release draw band boxes.
  bool band_active_ = false;
  // The colour dialog opens with the colour last chosen in it.
  PackedColour dialog_colour_ = 0;
};

}  // namespace hw
