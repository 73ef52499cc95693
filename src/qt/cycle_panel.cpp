#include "qt/cycle_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/editor.h"

namespace hw {

namespace {

// Rates as rounded steps a second: 16384 is 60.
QString StepsText(int rate) { return QString::number(CycleStepsPerSecond(rate), 'f', 2); }

// The rate that comes closest to `steps` a second.
int RateForSteps(double steps) {
  const double rate = steps * kCycleRateUnit / 60.0;
  return static_cast<int>(std::clamp(rate + 0.5, 0.0, double{kMaxCycleRate}));
}

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

CyclePanel::CyclePanel(QWidget* parent, Editor& editor,
                       std::function<void(std::function<void()>)> run, QAction* play)
    : QDialog(parent, Qt::Tool), editor_(editor), run_(std::move(run)) {
  setObjectName(QStringLiteral("CyclePanel"));
  setWindowTitle(tr("Colour Cycling"));

  list_ = new QTableWidget(0, 6, this);
  list_->setObjectName(QStringLiteral("CycleList"));
  list_->setHorizontalHeaderLabels(
      {tr("Low"), tr("High"), tr("Rate"), tr("Steps/s"), tr("Direction"), tr("Active")});
  list_->verticalHeader()->setVisible(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->setMinimumSize(360, 180);

  rate_ = new QSpinBox(this);
  rate_->setObjectName(QStringLiteral("CycleRate"));
  rate_->setRange(0, kMaxCycleRate);
  rate_->setValue(kCycleRateUnit);
  rate_->setKeyboardTracking(false);
  auto* steps = new QDoubleSpinBox(this);
  steps->setObjectName(QStringLiteral("CycleStepsPerSecond"));
  steps->setRange(0.0, CycleStepsPerSecond(kMaxCycleRate));
  steps->setDecimals(2);
  steps->setKeyboardTracking(false);
  steps_ = new QLabel(tr("steps a second"), this);
  direction_ = new QComboBox(this);
  direction_->setObjectName(QStringLiteral("CycleDirection"));
  direction_->addItems({tr("Forward"), tr("Reverse")});
  active_ = new QCheckBox(tr("Active"), this);
  active_->setObjectName(QStringLiteral("CycleActive"));

  auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  add_ = button("CycleAdd", tr("Add from Range"));
  remove_ = button("CycleRemove", tr("Remove"));
  preset_ = button("CyclePreset", tr("Five bands 196..235"));
  play_ = button("CyclePlay", tr("Play"));

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(tr("Rate:"), this), 0, 0);
  fields->addWidget(rate_, 0, 1);
  fields->addWidget(steps, 0, 2);
  fields->addWidget(steps_, 0, 3);
  fields->addWidget(new QLabel(tr("Direction:"), this), 1, 0);
  fields->addWidget(direction_, 1, 1);
  fields->addWidget(active_, 1, 2);
  auto* buttons = new QHBoxLayout;
  for (QAbstractButton* b : {add_, remove_, preset_, play_}) buttons->addWidget(b);
  auto* box = new QVBoxLayout(this);
  box->addWidget(list_);
  box->addLayout(fields);
  box->addLayout(buttons);

  // The rate and its steps a second are two views of one number.
  connect(rate_, &QSpinBox::valueChanged, this, [this, steps](int rate) {
    const QSignalBlocker block(steps);
    steps->setValue(CycleStepsPerSecond(rate));
    EditSelected();
  });
  connect(steps, &QDoubleSpinBox::valueChanged, this,
          [this](double value) { rate_->setValue(RateForSteps(value)); });
  steps->setValue(CycleStepsPerSecond(rate_->value()));
  connect(direction_, &QComboBox::currentIndexChanged, this, [this] { EditSelected(); });
  connect(active_, &QCheckBox::toggled, this, [this] { EditSelected(); });
  connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { ShowSelected(); });
  connect(add_, &QAbstractButton::clicked, this, [this] {
    const int rate = rate_->value();
    const bool reverse = direction_->currentIndex() == 1;
    run_([this, rate, reverse] {
      if (editor_.AddCycleRangeFromMarks(rate, reverse)) {
        SelectRange(static_cast<int>(editor_.Cycles().size()) - 1);
      }
    });
  });
  connect(remove_, &QAbstractButton::clicked, this, [this] {
    const int row = SelectedRange();
    if (row >= 0) run_([this, row] { editor_.RemoveCycleRange(row); });
  });
  connect(preset_, &QAbstractButton::clicked, this,
          [this] { run_([this] { editor_.AddFiveBands(); }); });
  if (play != nullptr) connect(play_, &QAbstractButton::clicked, play, &QAction::trigger);
}

int CyclePanel::SelectedRange() const {
  const QList<QTableWidgetSelectionRange> sel = list_->selectedRanges();
  return sel.isEmpty() ? -1 : sel.front().topRow();
}

void CyclePanel::SelectRange(int index) {
  Sync();
  if (index >= 0 && index < list_->rowCount()) list_->selectRow(index);
}

void CyclePanel::EditSelected() {
  const int row = SelectedRange();
  if (row < 0 || static_cast<size_t>(row) >= editor_.Cycles().size()) return;
  CycleRange r = editor_.Cycles()[static_cast<size_t>(row)];
  r.rate = static_cast<uint16_t>(rate_->value());
  r.reverse = direction_->currentIndex() == 1;
  r.active = active_->isChecked();
  if (r == editor_.Cycles()[static_cast<size_t>(row)]) return;
  run_([this, row, r] { editor_.SetCycleRange(row, r); });
}

void CyclePanel::ShowSelected() {
  const int row = SelectedRange();
  remove_->setEnabled(row >= 0);
  active_->setEnabled(row >= 0);
  if (row < 0 || static_cast<size_t>(row) >= editor_.Cycles().size()) return;
  const CycleRange& r = editor_.Cycles()[static_cast<size_t>(row)];
  const QSignalBlocker b1(rate_), b2(direction_), b3(active_);
  rate_->setValue(r.rate);
  // The steps box follows the rate without editing the range again.
  if (auto* steps = findChild<QDoubleSpinBox*>(QStringLiteral("CycleStepsPerSecond"))) {
    const QSignalBlocker b4(steps);
    steps->setValue(CycleStepsPerSecond(r.rate));
  }
  direction_->setCurrentIndex(r.reverse ? 1 : 0);
  active_->setChecked(r.active);
}

void CyclePanel::Sync() {
  const CycleRanges& ranges = editor_.Cycles();
  if (!listed_ || !(ranges == shown_)) {
    const int keep = SelectedRange();
    const QSignalBlocker block(list_);
    list_->setRowCount(static_cast<int>(ranges.size()));
    for (size_t i = 0; i < ranges.size(); ++i) {
      const CycleRange& r = ranges[i];
      const int row = static_cast<int>(i);
      list_->setItem(row, 0, Cell(QString::number(r.low)));
      list_->setItem(row, 1, Cell(QString::number(r.high)));
      list_->setItem(row, 2, Cell(QString::number(r.rate)));
      list_->setItem(row, 3, Cell(StepsText(r.rate)));
      list_->setItem(row, 4, Cell(r.reverse ? tr("Reverse") : tr("Forward")));
      list_->setItem(row, 5, Cell(r.active ? tr("Yes") : tr("No")));
    }
    if (keep >= 0 && keep < list_->rowCount()) list_->selectRow(keep);
    shown_ = ranges;
    listed_ = true;
  }
  ShowSelected();
  add_->setEnabled(!ranges.full());
  preset_->setEnabled(ranges.size() + 5 <= kMaxCycleRanges);
  play_->setText(editor_.PlayingRanges() ? tr("Stop") : tr("Play"));
}

}  // namespace hw
