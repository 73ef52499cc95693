// The thin layer between the window's buttons and the editor's verbs: it asks
// the dialogs (a file name, a colour) and reads the options the user set, then
// calls the verb. A cancelled dialog does nothing at all.
#pragma once

#include "editor/editor.h"
#include "editor/services.h"

namespace hw {

class EditorCommands {
 public:
  EditorCommands(Editor& editor, FileDialogs* files, ColourDialog* colours)
      : editor_(editor), files_(files), colours_(colours) {}

  void LoadPicture();
  void SavePicture();
  void LoadPalette();  // merged as "Merge next load" and its options say
  void SavePalette();
  void EditColour(int index);  // the dialog opens on the entry's own colour
  void Sort();                 // by the chosen option, "Reverse sort" as ticked

 private:
  Editor& editor_;
  FileDialogs* files_;
  ColourDialog* colours_;
};

}  // namespace hw
