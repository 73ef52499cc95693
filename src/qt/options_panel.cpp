#include "qt/options_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "editor/editor.h"
#include "qt/control_table.h"

namespace hw {

namespace {

QString FromState(const std::string& text) { return QString::fromStdString(text); }

// Sets a box without it reporting a click.
void Tick(QAbstractButton* b, bool on) {
  if (b->isChecked() == on) return;
  const QSignalBlocker block(b);
  b->setChecked(on);
}

}  // namespace

OptionsPanel::OptionsPanel(QWidget* s, Editor& editor,
                           std::function<void(std::function<void()>)> run)
    : QObject(s),
      editor_(editor),
      upper_corner_label_(Control<QLabel>(s, "LabelUR")),
      lower_corner_label_(Control<QLabel>(s, "LabelLL")),
      picture_label_(Control<QLabel>(s, "Label1")),
      usage_label_(Control<QLabel>(s, "LabelHistCnt")),
      status_label_(Control<QLabel>(s, "LabelStatus")),
      move_count_edit_(Control<QLineEdit>(s, "TextMoveCount")),
      move_index_box_(Control<QCheckBox>(s, "CheckMoveIndex")),
      move_colour_box_(Control<QCheckBox>(s, "CheckMoveColor")),
      sort_group_(new QButtonGroup(this)),
      reverse_sort_box_(Control<QCheckBox>(s, "CheckReverseSort")),
      optimize_box_(Control<QCheckBox>(s, "CheckOptimize")),
      merge_box_(Control<QCheckBox>(s, "CheckMerge")),
      merge_replace_option_(Control<QRadioButton>(s, "OptionMergeReplace")),
      merge_protect_option_(Control<QRadioButton>(s, "OptionMergeProtect")),
      hardware_colours_box_(Control<QCheckBox>(s, "CheckHW")),
      cycle_scheme_list_(Control<QListWidget>(s, "ListScheme")),
      cycle_speed_bar_(Control<QScrollBar>(s, "HScrollSpeed")),
      cycle_test_button_(Control<QAbstractButton>(s, "ButtonTest")) {
  // The five sort options form one group, two of them hidden.
  sort_group_->setObjectName(QStringLiteral("SortOptions"));
  const std::pair<const char*, SortKey> sorts[] = {
      {"OptionSortHist", SortKey::Usage}, {"OptionSortValue", SortKey::Brightness},
      {"OptionSortHue", SortKey::Hue},    {"OptionSortSat", SortKey::Saturation},
      {"OptionSortRed", SortKey::RedGreen}};
  for (const auto& [name, key] : sorts) {
    sort_group_->addButton(Control<QRadioButton>(s, name), static_cast<int>(key));
  }

  // Options the user sets: the editor reads them when a command runs.
  Controls& ui = editor_.controls();
  connect(move_index_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMoveIndex = on; });
  connect(move_colour_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMoveColor = on; });
  connect(reverse_sort_box_, &QCheckBox::clicked, this,
          [&ui](bool on) { ui.CheckReverseSort = on; });
  connect(optimize_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckOptimize = on; });
  connect(merge_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMerge = on; });
  connect(merge_replace_option_, &QRadioButton::clicked, this,
          [&ui] { ui.OptionMergeReplace = true; });
  connect(merge_protect_option_, &QRadioButton::clicked, this,
          [&ui] { ui.OptionMergeReplace = false; });
  connect(sort_group_, &QButtonGroup::idClicked, this,
          [&ui](int id) { ui.SortChoice = static_cast<SortKey>(id); });
  connect(move_count_edit_, &QLineEdit::textEdited, this,
          [&ui](const QString& text) { ui.TextMoveCount = text.left(3).toStdString(); });
  // These change what is shown at once: commands of their own.
  connect(hardware_colours_box_, &QCheckBox::clicked, this,
          [this, run](bool on) { run([this, on] { editor_.SetHardwareColours(on); }); });
  connect(cycle_scheme_list_, &QListWidget::currentRowChanged, this, [this, run](int row) {
    if (row >= 0) run([this, row] { editor_.SelectScheme(row); });
  });
  connect(cycle_speed_bar_, &QScrollBar::valueChanged, this,
          [this, run](int value) { run([this, value] { editor_.SetCycleSpeed(value); }); });
}

void OptionsPanel::Sync() {
  const Controls& ui = editor_.controls();
  picture_label_->setText(FromState(ui.Label1));
  status_label_->setText(FromState(ui.StatusText));
  usage_label_->setText(FromState(ui.LabelHistCnt));
  upper_corner_label_->setText(FromState(ui.LabelUR));
  lower_corner_label_->setText(FromState(ui.LabelLL));
  Tick(move_index_box_, ui.CheckMoveIndex);
  Tick(move_colour_box_, ui.CheckMoveColor);
  Tick(reverse_sort_box_, ui.CheckReverseSort);
  Tick(optimize_box_, ui.CheckOptimize);
  Tick(merge_box_, ui.CheckMerge);
  Tick(hardware_colours_box_, ui.CheckHW);
  Tick(ui.OptionMergeReplace ? merge_replace_option_ : merge_protect_option_, true);
  if (QAbstractButton* b = sort_group_->button(static_cast<int>(ui.SortChoice))) Tick(b, true);
  const QString count = FromState(ui.TextMoveCount);
  if (move_count_edit_->text() != count) move_count_edit_->setText(count);
  if (cycle_scheme_list_->currentRow() != ui.ListSchemeIndex && ui.ListSchemeIndex >= 0 &&
      ui.ListSchemeIndex < cycle_scheme_list_->count()) {
    const QSignalBlocker block(cycle_scheme_list_);
    cycle_scheme_list_->setCurrentRow(ui.ListSchemeIndex);
  }
  if (cycle_speed_bar_->value() != ui.HScrollSpeed) {
    const QSignalBlocker block(cycle_speed_bar_);
    cycle_speed_bar_->setValue(ui.HScrollSpeed);
  }
  cycle_test_button_->setText(FromState(ui.ButtonTestCaption));
}

}  // namespace hw
