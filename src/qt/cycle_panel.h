// View > Colour Cycling: the picture's cycle ranges in a list with each one's
// period and the whole cycle's; the rate (also as steps a second), direction and
// active flag of the selected one to edit; apart from them, the rate and
// direction of the next range, added from the marked range (or the five-bands
// preset); Remove, and Play / Stop. Every change goes through the editor's verbs (one undo step
// each); Sync() shows the editor's state.
#pragma once

#include <QDialog>
#include <functional>

#include "colour/cycle_ranges.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
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

  // The fields of a range: rate, its steps a second, direction.
  struct RangeFields {
    QSpinBox* rate = nullptr;
    QDoubleSpinBox* steps = nullptr;
    QComboBox* direction = nullptr;
  };

  Editor& editor_;
  std::function<void(std::function<void()>)> run_;
  QTableWidget* list_;
  QLabel* whole_;          // the whole cycle's period and frames
  QWidget* selected_box_;  // edits the selected range at once
  RangeFields selected_;
  QCheckBox* active_;
  RangeFields next_;  // what "Add from Range" adds
  QAbstractButton* add_;
  QAbstractButton* remove_;
  QAbstractButton* preset_;
  QAbstractButton* play_;
  CycleRanges shown_;
  bool listed_ = false;
};

}  // namespace hw
