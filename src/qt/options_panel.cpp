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
#include "qt/status_texts.h"

namespace hw {

namespace {

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
      range_sort_box_(Control<QCheckBox>(s, "CheckSortRange")),
      optimize_box_(Control<QCheckBox>(s, "CheckOptimize")),
      merge_box_(Control<QCheckBox>(s, "CheckMerge")),
      merge_replace_option_(Control<QRadioButton>(s, "OptionMergeReplace")),
      merge_protect_option_(Control<QRadioButton>(s, "OptionMergeProtect")),
      hardware_colours_box_(Control<QCheckBox>(s, "CheckHW")),
      cycle_scheme_list_(Control<QListWidget>(s, "ListScheme")),
      cycle_speed_bar_(Control<QScrollBar>(s, "HScrollSpeed")),
      cycle_test_button_(Control<QAbstractButton>(s, "ButtonTest")) {
  // The six sort options form one group, two of them hidden.
  sort_group_->setObjectName(QStringLiteral("SortOptions"));
  const std::pair<const char*, SortKey> sorts[] = {
      {"OptionSortHist", SortKey::Usage},   {"OptionSortValue", SortKey::Brightness},
      {"OptionSortHue", SortKey::Hue},      {"OptionSortSat", SortKey::Saturation},
      {"OptionSortRed", SortKey::RedGreen}, {"OptionSortLightness", SortKey::Lightness}};
  for (const auto& [name, key] : sorts) {
    sort_group_->addButton(Control<QRadioButton>(s, name), static_cast<int>(key));
  }

  // These change what is shown at once: commands of their own.
  connect(hardware_colours_box_, &QCheckBox::clicked, this,
          [this, run](bool on) { run([this, on] { editor_.SetHardwareColours(on); }); });
  connect(cycle_scheme_list_, &QListWidget::currentRowChanged, this, [this, run](int row) {
    if (row >= 0) run([this, row] { editor_.SelectScheme(row); });
  });
  connect(cycle_speed_bar_, &QScrollBar::valueChanged, this,
          [this, run](int value) { run([this, value] { editor_.SetCycleSpeed(value); }); });
}

MoveWhat OptionsPanel::Moving() const {
  return {move_index_box_->isChecked(), move_colour_box_->isChecked()};
}

MoveOptions OptionsPanel::Move() const {
  // The field takes digits only (see the control table); empty counts as 0.
  return {move_count_edit_->text().toInt(), Moving()};
}

SortKey OptionsPanel::SortChoice() const {
  const int id = sort_group_->checkedId();
  return id >= 0 ? static_cast<SortKey>(id) : SortKey::Usage;
}

bool OptionsPanel::ReverseSort() const { return reverse_sort_box_->isChecked(); }

bool OptionsPanel::RangeOnlySort() const { return range_sort_box_->isChecked(); }

PaletteMerge OptionsPanel::Merge() const {
  if (!merge_box_->isChecked()) return PaletteMerge::All;
  return merge_replace_option_->isChecked() ? PaletteMerge::ReplaceRange
                                            : PaletteMerge::ProtectRange;
}

void OptionsPanel::Sync() {
  const BoardState& board = editor_.Board();
  // The name and size line never clips: a long path loses its middle, and the
  // whole of it is in the tooltip.
  const QString caption = PictureCaption(editor_);
  const QString shown =
      picture_label_->fontMetrics().elidedText(caption, Qt::ElideMiddle, picture_label_->width());
  picture_label_->setText(shown);
  picture_label_->setToolTip(editor_.PictureLoaded() ? caption : QString());
  status_label_->setText(QString::fromStdString(editor_.StatusLine()));
  usage_label_->setText(NumberText(editor_.Usage()[static_cast<size_t>(board.cur)]));
  const QString upper = editor_.Flipped() ? QStringLiteral("15") : QStringLiteral("240");
  const QString lower = editor_.Flipped() ? QStringLiteral("240") : QStringLiteral("15");
  upper_corner_label_->setText(upper);
  lower_corner_label_->setText(lower);
  // The numbers around the board say what they are when pointed at.
  upper_corner_label_->setToolTip(
      tr("The swatch in the board's top right corner is entry %1").arg(upper));
  lower_corner_label_->setToolTip(
      tr("The swatch in the board's bottom left corner is entry %1").arg(lower));
  usage_label_->setToolTip(tr("Pixels using the selected entry (%1)").arg(board.cur));
  Tick(hardware_colours_box_, editor_.HardwareColours());
  if (cycle_scheme_list_->currentRow() != editor_.CycleScheme()) {
    const QSignalBlocker block(cycle_scheme_list_);
    cycle_scheme_list_->setCurrentRow(editor_.CycleScheme());
  }
  cycle_test_button_->setText(editor_.CyclingOn() ? QStringLiteral("Stop")
                                                  : QStringLiteral("Test"));
}

}  // namespace hw
