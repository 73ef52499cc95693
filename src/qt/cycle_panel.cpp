#include "qt/cycle_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "cycle/fixed_frames.h"
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

// "2.18 s"; "1:12:48 h" past an hour is not worth it: seconds with two decimals.
QString SecondsText(double seconds) {
  return QCoreApplication::translate("CyclePanel", "%1 s").arg(seconds, 0, 'f', 2);
}

// What one exact loop of the active ranges takes, and whether it can be exported.
QString WholeCycleText(const ExactLoop& loop) {
  const auto tr = [](const char* text) { return QCoreApplication::translate("CyclePanel", text); };
  if (!loop.steps) return tr("Whole cycle: no active range steps.");
  const QString frames =
      loop.frames ? QString::fromStdString(GroupedDigits(*loop.frames)) : tr("uncountably many");
  const QString period = std::isfinite(loop.seconds) ? SecondsText(loop.seconds) : tr("very long");
  if (loop.fits()) return tr("Whole cycle: %1, %2 frames.").arg(period, frames);
  return tr("Whole cycle: %1, %2 frames: too long to export as an exact loop (at most %3); "
            "the export offers a fixed length instead.")
      .arg(period, frames, QString::fromStdString(GroupedDigits(kMaxCycleFrames)));
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

  list_ = new QTableWidget(0, 7, this);
  list_->setObjectName(QStringLiteral("CycleList"));
  list_->setHorizontalHeaderLabels({tr("Low"), tr("High"), tr("Rate"), tr("Steps/s"), tr("Period"),
                                    tr("Direction"), tr("Active")});
  list_->horizontalHeaderItem(4)->setToolTip(tr("Seconds until the range's colours come back"));
  list_->verticalHeader()->setVisible(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->setMinimumSize(400, 180);
  whole_ = new QLabel(this);
  whole_->setObjectName(QStringLiteral("CycleWholePeriod"));
  whole_->setWordWrap(true);

  auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  // Two sets of the same fields: those of the selected range edit it at once;
  // those of the next range only say what "Add from Range" adds.
  const auto fields = [this](const QString& title, const char* box_name, const char* prefix,
                             RangeFields& f) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(QString::fromLatin1(box_name));
    const auto name = [prefix](const char* what) {
      return QString::fromLatin1(prefix) + QString::fromLatin1(what);
    };
    f.rate = new QSpinBox(box);
    f.rate->setObjectName(name("Rate"));
    f.rate->setRange(0, kMaxCycleRate);
    f.rate->setValue(kCycleRateUnit);
    f.rate->setKeyboardTracking(false);
    f.steps = new QDoubleSpinBox(box);
    f.steps->setObjectName(name("StepsPerSecond"));
    f.steps->setRange(0.0, CycleStepsPerSecond(kMaxCycleRate));
    f.steps->setDecimals(2);
    f.steps->setKeyboardTracking(false);
    f.steps->setValue(CycleStepsPerSecond(kCycleRateUnit));
    f.direction = new QComboBox(box);
    f.direction->setObjectName(name("Direction"));
    f.direction->addItems({tr("Forward"), tr("Reverse")});
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(tr("Rate:"), box), 0, 0);
    grid->addWidget(f.rate, 0, 1);
    grid->addWidget(f.steps, 0, 2);
    grid->addWidget(new QLabel(tr("steps a second"), box), 0, 3);
    grid->addWidget(new QLabel(tr("Direction:"), box), 1, 0);
    grid->addWidget(f.direction, 1, 1);
    // The rate and its steps a second are two views of one number.
    QDoubleSpinBox* steps = f.steps;
    connect(f.rate, &QSpinBox::valueChanged, this, [steps](int rate) {
      const QSignalBlocker block(steps);
      steps->setValue(CycleStepsPerSecond(rate));
    });
    QSpinBox* rate = f.rate;
    connect(f.steps, &QDoubleSpinBox::valueChanged, this,
            [rate](double value) { rate->setValue(RateForSteps(value)); });
    return std::pair(box, grid);
  };
  auto [selected_box, selected_grid] =
      fields(tr("Selected range"), "CycleSelectedBox", "Cycle", selected_);
  selected_box_ = selected_box;
  active_ = new QCheckBox(tr("Active"), selected_box);
  active_->setObjectName(QStringLiteral("CycleActive"));
  selected_grid->addWidget(active_, 1, 2);
  remove_ = button("CycleRemove", tr("Remove"));
  selected_grid->addWidget(remove_, 1, 3);
  auto [next_box, next_grid] = fields(tr("Next range to add"), "CycleNextBox", "CycleNew", next_);
  add_ = button("CycleAdd", tr("Add from Range"));
  add_->setToolTip(tr("Adds the range between the marks with these settings"));
  preset_ = button("CyclePreset", tr("Five bands 196..235"));
  next_grid->addWidget(add_, 1, 2);
  next_grid->addWidget(preset_, 1, 3);
  play_ = button("CyclePlay", tr("Play"));

  auto* box = new QVBoxLayout(this);
  box->addWidget(list_);
  box->addWidget(whole_);
  box->addWidget(selected_box);
  box->addWidget(next_box);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(play_);
  box->addLayout(buttons);

  connect(selected_.rate, &QSpinBox::valueChanged, this, [this] { EditSelected(); });
  connect(selected_.direction, &QComboBox::currentIndexChanged, this, [this] { EditSelected(); });
  connect(active_, &QCheckBox::toggled, this, [this] { EditSelected(); });
  connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { ShowSelected(); });
  connect(add_, &QAbstractButton::clicked, this, [this] {
    const int rate = next_.rate->value();
    const bool reverse = next_.direction->currentIndex() == 1;
    // The range added is not selected: what is typed next edits only what the
    // user selects.
    list_->clearSelection();
    run_([this, rate, reverse] { editor_.AddCycleRangeFromMarks(rate, reverse); });
  });
  connect(remove_, &QAbstractButton::clicked, this, [this] {
    const int row = SelectedRange();
    if (row >= 0) run_([this, row] { editor_.RemoveCycleRange(row); });
  });
  connect(preset_, &QAbstractButton::clicked, this,
          [this] { run_([this] { editor_.AddFiveBands(); }); });
  if (play != nullptr) connect(play_, &QAbstractButton::clicked, play, &QAction::trigger);
  ShowSelected();
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
  r.rate = static_cast<uint16_t>(selected_.rate->value());
  r.reverse = selected_.direction->currentIndex() == 1;
  r.active = active_->isChecked();
  if (r == editor_.Cycles()[static_cast<size_t>(row)]) return;
  run_([this, row, r] { editor_.SetCycleRange(row, r); });
}

void CyclePanel::ShowSelected() {
  const int row = SelectedRange();
  const bool on = row >= 0 && static_cast<size_t>(row) < editor_.Cycles().size();
  // Without a selected range its fields have nothing to edit.
  selected_box_->setEnabled(on);
  if (!on) return;
  const CycleRange& r = editor_.Cycles()[static_cast<size_t>(row)];
  const QSignalBlocker b1(selected_.rate), b2(selected_.direction), b3(active_),
      b4(selected_.steps);
  selected_.rate->setValue(r.rate);
  selected_.steps->setValue(CycleStepsPerSecond(r.rate));
  selected_.direction->setCurrentIndex(r.reverse ? 1 : 0);
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
      const double period = RangePeriodSeconds(r);
      list_->setItem(row, 4, Cell(period > 0 ? SecondsText(period) : tr("never steps")));
      list_->setItem(row, 5, Cell(r.reverse ? tr("Reverse") : tr("Forward")));
      list_->setItem(row, 6, Cell(r.active ? tr("Yes") : tr("No")));
    }
    whole_->setText(WholeCycleText(ExactLoopOf(ranges)));
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
