// View > Colour Cycling: the picture's cycle ranges in a list, with the rate
// (also as steps a second), direction and active flag of the selected one to
// edit, ranges added from the marked range or as the five-bands preset, removed,
// and Play / Stop. Every change goes through the editor's verbs (one undo step
// each); Sync() shows the editor's state.
#pragma once

#include <QDialog>
#include <functional>

#include "colour/cycle_ranges.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

namespace hw {

class Editor;

class CyclePanel : public QDialog {
  Q_OBJECT
 public:
  // `run` runs an editor command the way the window runs every command; `play`
  // is the action that plays and stops (its button triggers it).
  CyclePanel(QWidget* parent, Editor& editor, std::function<void(std::function<void()>)> run,
             QAction* play);
  void Sync();
  // The row selected in the list, or -1.
  int SelectedRange() const;
  void SelectRange(int index);

 private:
  // The selected range as the fields below the list say.
  void EditSelected();
  void ShowSelected();

  Editor& editor_;
  std::function<void(std::function<void()>)> run_;
  QTableWidget* list_;
  QSpinBox* rate_;
  QLabel* steps_;
  QComboBox* direction_;
  QCheckBox* active_;
  QAbstractButton* add_;
  QAbstractButton* remove_;
  QAbstractButton* preset_;
  QAbstractButton* play_;
  CycleRanges shown_;
  bool listed_ = false;
};

}  // namespace hw
