// The thin layer between the window's commands and the editor's verbs: it asks
// the dialogs (a file name, a colour, whether to save what a format cannot hold),
// then calls the verb. A cancelled dialog
// does nothing at all.
#pragma once

#include <optional>
#include <string>

#include "editor/editor.h"
#include "editor/services.h"

namespace hw {

class EditorCommands {
 public:
  EditorCommands(Editor& editor, FileDialogs* files, ColourDialog* colours)
      : editor_(editor), files_(files), colours_(colours) {}
  EditorCommands(const EditorCommands&) = delete;
  EditorCommands& operator=(const EditorCommands&) = delete;

  // Who answers the commands' questions; none: every question takes its default
  // answer (services.h).
  void SetQuestions(Questions* questions) { questions_ = questions ? questions : &defaults_; }

  void LoadPicture();
  // The saves: true when the file was written.
  bool SavePicture();           // "Save Pic As...": asks for the name
  bool SavePictureToItsFile();  // "Save Pic": the picture's own file and format
  void LoadPalette(PaletteMerge merge);
  bool SavePalette();
  // "Save Bank...": the bank (the current entry's, of the size `size`, to start
  // with), then the file.
  bool SaveBank(int size);
  // "Export Cycle Animation...": asks for the GIF's name, starting beside the
  // picture on NAME-cycle.gif; true when the file was written. When the exact
  // loop has more frames than a GIF export holds, first offers 10 seconds at 50
  // frames a second instead (declined: nothing happens).
  bool ExportCycleAnimation();
  void EditColour(int index);  // the dialog opens on the entry's own colour
  // "Remap to Palette...": the palette file (or a picture), then the transparent
  // position when the remap needs one.
  void RemapToPalette(RemapMetric metric);
  // "Check Tiles...": the dialog opens on the last check's settings.
  void CheckTiles();
  // "Reduce Colours...": the number of colours, then the reduction.
  void ReduceColours();

 private:
  // False when the user would rather not lose `loss` in `path`.
  bool MaySave(const std::string& path, const std::optional<std::string>& loss);
  bool MaySave(const std::string& path, const SaveLoss& loss);

  Editor& editor_;
  FileDialogs* files_;
  ColourDialog* colours_;
  Questions defaults_;
  Questions* questions_ = &defaults_;
};

}  // namespace hw
