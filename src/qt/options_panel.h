// The options and labels of the main window that mirror the editor's settings:
// what moves and how many, the sort key, the merge options, the colour-cycling
// controls, the corner numbers, the usage count, the picture's label and the
// status line. What the user sets goes into the editor's settings, which its
// commands read; Sync() shows the editor's settings and texts again.
#pragma once

#include <functional>

#include <QObject>

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
