// The options under the board and the labels around it. The options (what
// moves and how many, the sort key, the merge options) are the window's own:
// commands take them as arguments. The colour-cycling controls set the editor's
// settings, and Sync() shows those, the corner numbers, the usage count, the
// picture's label and the last command's message from the editor's state.
#pragma once

#include <QObject>
#include <functional>

#include "board/board.h"
#include "board/moves.h"
#include "board/sort.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QScrollBar;
class QWidget;

namespace hw {

class Editor;

class OptionsPanel : public QObject {
  Q_OBJECT
 public:
  // The controls are those of the control table on `surface`; `run` runs an
  // editor command the way the window runs every command.
  OptionsPanel(QWidget* surface, Editor& editor, std::function<void(std::function<void()>)> run);
  void Sync();

  // What the options say now.
  MoveWhat Moving() const;
  MoveOptions Move() const;  // a count outside 1..256 (an empty field) is refused by the editor
  SortKey SortChoice() const;
  bool ReverseSort() const;
  bool RangeOnlySort() const;
  PaletteMerge Merge() const;

 private:
  Editor& editor_;
  QLabel* upper_corner_label_;
  QLabel* lower_corner_label_;
  QLabel* picture_label_;
  QLabel* usage_label_;
  QLabel* status_label_;
  QLineEdit* move_count_edit_;
  QCheckBox* move_index_box_;
  QCheckBox* move_colour_box_;
  QButtonGroup* sort_group_;
  QCheckBox* reverse_sort_box_;
  QCheckBox* range_sort_box_;
  QCheckBox* optimize_box_;
  QCheckBox* merge_box_;
  QRadioButton* merge_replace_option_;
  QRadioButton* merge_protect_option_;
  QCheckBox* hardware_colours_box_;
  QListWidget* cycle_scheme_list_;
  QScrollBar* cycle_speed_bar_;
  QAbstractButton* cycle_test_button_;
};

}  // namespace hw
