#include "qt/banks_panel.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/editor.h"
#include "qt/checker.h"

namespace hw {

namespace {

constexpr int kSwatch = 16;  // a swatch's side, with a pixel of gap after it
constexpr int kStep = kSwatch + 1;
constexpr int kLabel = 24;   // the number before each bank
constexpr int kBankGap = 6;  // between banks of 4 on one line
constexpr int kLineGap = 3;  // between lines
constexpr int kMargin = 4;

int BanksPerLine(int size) { return 16 / size; }

}  // namespace

BankGrid::BankGrid(QWidget* parent, const Editor& editor) : QWidget(parent), editor_(editor) {
  setObjectName(QStringLiteral("BankGrid"));
  setMouseTracking(true);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BankGrid::SetBankSize(int size) {
  size_ = size == 4 ? 4 : 16;
  pressed_.reset();
  hovered_.reset();
  updateGeometry();
  update();
}

QSize BankGrid::sizeHint() const {
  const int per_line = BanksPerLine(size_);
  const int length = 2 * kMargin + per_line * (kLabel + size_ * kStep) + (per_line - 1) * kBankGap;
  const int across = 2 * kMargin + 16 * (kStep + kLineGap);
  return editor_.Flipped() ? QSize(length, across) : QSize(across, length);
}

QRect BankGrid::Place(int u, int v, int length, int thickness) const {
  return editor_.Flipped() ? QRect(u, v, length, thickness) : QRect(v, u, thickness, length);
}

QRect BankGrid::LabelRect(int bank) const {
  const int per_line = BanksPerLine(size_);
  const int line = bank / per_line;
  const int u = kMargin + (bank % per_line) * (kLabel + size_ * kStep + kBankGap);
  return Place(u, kMargin + line * (kStep + kLineGap), kLabel - 2, kSwatch);
}

QRect BankGrid::SwatchRect(int position) const {
  const int bank = position / size_;
  const int per_line = BanksPerLine(size_);
  const int u = kMargin + (bank % per_line) * (kLabel + size_ * kStep + kBankGap) + kLabel +
                (position % size_) * kStep;
  return Place(u, kMargin + bank / per_line * (kStep + kLineGap), kSwatch, kSwatch);
}

QRect BankGrid::BankRect(int bank) const {
  return LabelRect(bank).united(SwatchRect(bank * size_ + size_ - 1));
}

std::optional<int> BankGrid::BankAt(QPoint point) const {
  for (int bank = 0; bank < 256 / size_; ++bank) {
    if (BankRect(bank).adjusted(-1, -1, 1, 1).contains(point)) return bank;
  }
  return std::nullopt;
}

QPoint BankGrid::BankCentre(int bank) const { return SwatchRect(bank * size_).center(); }

void BankGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const BoardState& board = editor_.Board();
  const int low = std::min(board.prev, board.cur), high = std::max(board.prev, board.cur);
  for (int bank = 0; bank < 256 / size_; ++bank) {
    const bool target = pressed_ && hovered_ == bank && *pressed_ != bank;
    const bool marked = bank * size_ == low && bank * size_ + size_ - 1 == high;
    const QRect label = LabelRect(bank);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(bank));
    for (int k = 0; k < size_; ++k) {
      const int position = bank * size_ + k;
      const BoardEntry& e = board.entries[static_cast<size_t>(position)];
      const QRect r = SwatchRect(position);
      if (e.A != 255) FillChecker(painter, r);
      painter.fillRect(r, QColor(e.rgb.R, e.rgb.G, e.rgb.B, e.A));
      if (board.locked.test(static_cast<size_t>(position))) {
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawLine(r.topLeft(), r.bottomRight());
      }
    }
    if (marked || target || pressed_ == bank) {
      painter.setPen(
          QPen(target ? palette().color(QPalette::Link) : palette().color(QPalette::Highlight), 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(BankRect(bank).adjusted(-1, -1, 0, 0));
    }
  }
}

void BankGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = BankAt(event->position().toPoint());
  hovered_ = pressed_;
  update();
}

void BankGrid::mouseMoveEvent(QMouseEvent* event) {
  const std::optional<int> at = BankAt(event->position().toPoint());
  if (at != hovered_) {
    hovered_ = at;
    if (pressed_) update();
  }
}

void BankGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  const int from = *pressed_;
  const std::optional<int> onto = BankAt(event->position().toPoint());
  pressed_.reset();
  update();
  if (!onto) return;
  if (*onto == from) {
    emit Clicked(from);
  } else {
    emit Dropped(from, *onto);
  }
}

bool BankGrid::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    if (const std::optional<int> bank = BankAt(help->pos())) {
      QToolTip::showText(help->globalPos(), tr("Bank %1: positions %2 to %3")
                                                .arg(*bank)
                                                .arg(*bank * size_)
                                                .arg(*bank * size_ + size_ - 1));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

BanksPanel::BanksPanel(QWidget* parent, Editor& editor,
                       std::function<void(std::function<void()>)> run, QAction* save)
    : QDialog(parent), editor_(editor), run_(std::move(run)) {
  setObjectName(QStringLiteral("BanksPanel"));
  setWindowTitle(tr("Banks"));
  auto* top = new QHBoxLayout;
  size_ = new QComboBox(this);
  size_->setObjectName(QStringLiteral("BankSize"));
  size_->addItem(tr("16 banks of 16"), 16);
  size_->addItem(tr("64 banks of 4"), 4);
  auto* save_button = new QPushButton(save->text(), this);
  save_button->setObjectName(QStringLiteral("SaveBank"));
  connect(save_button, &QPushButton::clicked, save, &QAction::trigger);
  top->addWidget(size_);
  top->addStretch(1);
  top->addWidget(save_button);
  grid_ = new BankGrid(this, editor_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(grid_, 0, Qt::AlignCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(size_, &QComboBox::currentIndexChanged, this,
          [this] { grid_->SetBankSize(size_->currentData().toInt()); });
  connect(grid_, &BankGrid::Clicked, this, [this](int bank) {
    const int size = grid_->BankSize();
    run_([this, bank, size] { editor_.SetMarks(bank * size, bank * size + size - 1); });
  });
  connect(grid_, &BankGrid::Dropped, this, [this](int from, int onto) {
    const int size = grid_->BankSize();
    run_([this, from, onto, size] { editor_.SwapBanks(from, onto, size); });
  });
}

void BanksPanel::Sync() {
  grid_->updateGeometry();
  grid_->update();
}

}  // namespace hw
