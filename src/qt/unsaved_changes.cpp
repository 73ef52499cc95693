#include "qt/unsaved_changes.h"

#include "editor/commands.h"
#include "editor/editor.h"

namespace hw {

UnsavedChanges::UnsavedChanges(Editor& editor, EditorCommands& commands, QWidget* parent)
    : QObject(parent), editor_(editor), commands_(commands) {}

bool UnsavedChanges::MayDrop() {
  if (!editor_.Modified()) return true;
  switch (questions_->AskSave(editor_.PicturePath())) {
    case SaveAnswer::Discard:
      emit Discarded();
      return true;
    case SaveAnswer::Save:
      // A save that fails has been reported, and one the user cancels (it would
      // lose what the format cannot hold) cancels the quit or load too.
      return commands_.SavePictureToItsFile();
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

}  // namespace hw
