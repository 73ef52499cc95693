// The question asked before unsaved changes would be lost (quitting, closing the
// main window, loading another picture): save them, discard them, or cancel.
#pragma once

#include <QObject>

#include "qt/qt_services.h"

namespace hw {

class Editor;
class EditorCommands;

class UnsavedChanges : public QObject {
  Q_OBJECT
 public:
  UnsavedChanges(Editor& editor, EditorCommands& commands, QWidget* parent);
  // Who answers (Questions::AskSave); the window passes its own.
  void SetQuestions(Questions* questions) { questions_ = questions ? questions : &defaults_; }
  // True when there is nothing to lose, or the user saved the changes (a save
  // that fails or is cancelled counts as no) or agreed to lose them.
  bool MayDrop();

 signals:
  void Discarded();

 private:
  Editor& editor_;
  EditorCommands& commands_;
  Questions defaults_;
  Questions* questions_ = &defaults_;
};

}  // namespace hw
