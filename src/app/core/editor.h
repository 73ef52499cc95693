// The editor: its state plus every command as a method. The Qt shell turns events
// into these calls and repaints what the EditorView hears about; tests drive it
// directly with fake services.
#pragma once

#include <cstdint>
#include <string>

#include "app/core/editor_state.h"
#include "app/core/services.h"
#include "display/display_palette.h"

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

class Editor {
 public:
  // palette_size is the display's palette-size answer (0 for a true-colour screen).
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

  // Pointer commands.
  void ShowUsage(int16_t index);
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

  // The picture as the picture box shows it: width x height indices, row-major,
  // resolved through display().Realized(Surface::PictureBox).
  int32_t ShownWidth() const { return shown_width_; }
  int32_t ShownHeight() const { return shown_height_; }
  const std::vector<uint8_t>& ShownPixels() const;

 private:
  EditorState s_;
  EditorServices svc_;
  DisplayPalette display_;
  int32_t shown_width_ = 0;
  int32_t shown_height_ = 0;
};

}  // namespace hw
