#include "qt/board_view.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

#include "qt/main_window.h"

namespace hw {

QMimeData* MakeSwatchMime(const QByteArray& board_token, int index) {
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kSwatchMimeType), board_token + ':' + QByteArray::number(index));
  return mime;
}

std::optional<int> ParseSwatchMime(const QMimeData* mime, const QByteArray& board_token) {
  const QString type = QString::fromLatin1(kSwatchMimeType);
  if (mime == nullptr || !mime->hasFormat(type)) return std::nullopt;
  const QByteArray data = mime->data(type);
  if (data.size() > 64) return std::nullopt;
  const qsizetype colon = data.lastIndexOf(':');
  if (colon < 0 || data.left(colon) != board_token) return std::nullopt;
  bool ok = false;
  const int index = data.mid(colon + 1).toInt(&ok);
  if (!ok || index < 0 || index > 255) return std::nullopt;
  return index;
}

SwatchCell::SwatchCell(MainWindow* form, int index, QWidget* parent)
    : QWidget(parent), window_(form), index_(index) {
  setObjectName(QStringLiteral("Blot%1").arg(index));
  setAcceptDrops(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

BoardSurface::BoardSurface(MainWindow* form, QWidget* parent) : QWidget(parent), window_(form) {
  setObjectName(QStringLiteral("BoardSurface"));
  setFocusPolicy(Qt::StrongFocus);
}

bool BoardSurface::OnSurface(QPoint pos) const {
  return rect().contains(pos) && childAt(pos) == nullptr;
}

void BoardSurface::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (mods != Qt::NoModifier && mods != Qt::ShiftModifier) break;
      window_->StepMarks(static_cast<Qt::Key>(event->key()), mods == Qt::ShiftModifier);
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (mods != Qt::NoModifier) break;
      window_->EditCurrentColour();
      event->accept();
      return;
    default:
      break;
  }
  QWidget::keyPressEvent(event);
}

void BoardSurface::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  window_->Swatch(window_->editor().Board().cur)->update();
}

void BoardSurface::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  window_->Swatch(window_->editor().Board().cur)->update();
}

void BoardSurface::mousePressEvent(QMouseEvent* event) { window_->SurfaceMousePress(event); }
void BoardSurface::mouseMoveEvent(QMouseEvent* event) { window_->SurfaceMouseMove(event); }
void BoardSurface::mouseReleaseEvent(QMouseEvent* event) { window_->SurfaceMouseRelease(event); }

QPixmap SwatchCell::OutlinePixmap() const {
  const qreal ratio = devicePixelRatioF();
  QPixmap pixmap(size() * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const QRect outer(0, 0, width() - 1, height() - 1);
  painter.setPen(Qt::black);
  painter.drawRect(outer);
  if (outer.width() > 2 && outer.height() > 2) {
    painter.setPen(Qt::white);
    painter.drawRect(outer.adjusted(1, 1, -1, -1));
  }
  return pixmap;
}

namespace {

// Black or white, whichever stands out more on `c`.
QColor Contrasting(const QColor& c) {
  return 299 * c.red() + 587 * c.green() + 114 * c.blue() >= 128000 ? Qt::black : Qt::white;
}

}  // namespace

void SwatchCell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Editor& editor = window_->editor();
  const RGBTriple c = editor.SwatchShownColour(index_);
  const QColor colour(c.R, c.G, c.B);
  const BoardState& board = editor.Board();
  const bool in_range = index_ >= std::min(board.prev, board.cur) &&
                        index_ <= std::max(board.prev, board.cur);
  const QRect all = rect();
  // A thin frame like a picture box's border; the interior shows the colour. The
  // swatches of the range between the marks get a frame in the highlight colour
  // with a white line inside it.
  painter.fillRect(all, in_range ? palette().color(QPalette::Highlight) : QColor(64, 64, 64));
  QRect interior = all.adjusted(1, 1, -1, -1);
  if (in_range && interior.width() > 4) {
    painter.fillRect(interior, Qt::white);
    interior.adjust(1, 1, -1, -1);
  }
  painter.fillRect(interior, colour);
  const QColor ink = Contrasting(colour);
  if (window_->MarkUnused() && editor.PictureLoaded() &&
      editor.Usage()[static_cast<size_t>(index_)] == 0) {
    // No pixel uses the entry: struck through from corner to corner.
    painter.setPen(QPen(ink, 1.0));
    painter.drawLine(interior.topLeft(), interior.bottomRight());
  }
  if (index_ == board.cur && window_->Surface() && window_->Surface()->hasFocus()) {
    // Where the board's arrow keys start from.
    QPen dashes(ink, 1.0, Qt::DotLine);
    painter.setPen(dashes);
    painter.drawRect(interior.adjusted(0, 0, -1, -1));
  }
  if (editor.IsMarked(index_)) {
    // Centre of the interior, radius an eighth of the swatch's width, black
    // outline; the white fill keeps the mark visible on dark colours.
    const double w = all.width() - 2;
    const QPointF centre(all.left() + all.width() / 2.0, all.top() + all.height() / 2.0);
    const double radius = std::max(w / 8.0, 1.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, radius, radius);
  }
}

void SwatchCell::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();  // a swatch is a control: other buttons do nothing here
    return;
  }
  event->accept();
  if (window_->TakeSecondClick(index_)) {
    window_->EditSwatchColour(index_);
    window_->SuppressNextDoubleClick();
    return;
  }
  pressed_ = true;
  press_pos_ = event->position().toPoint();
}

void SwatchCell::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (!pressed_ || !(event->buttons() & Qt::LeftButton)) return;
  const QPoint moved = event->position().toPoint() - press_pos_;
  // A hand that wobbles during a click must not move entries.
  if (moved.manhattanLength() < QApplication::startDragDistance()) return;
  pressed_ = false;
  StartDrag(press_pos_);
}

void SwatchCell::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  window_->DropOnSwatch(index_, index_);  // a click selects the entry
}

void SwatchCell::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  // The press that came with this double click may already have opened the dialog.
  if (window_->TakeDoubleClickSuppression()) return;
  window_->EditSwatchColour(index_);
}

void SwatchCell::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  window_->HoverSwatch(index_);
}

void SwatchCell::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (window_->HoveredSwatch() == index_) window_->HoverSwatch(-1);
}

bool SwatchCell::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    // The values as they are now, not as they were when the swatch was built.
    auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), window_->SwatchValues(index_), this);
    return true;
  }
  return QWidget::event(event);
}

void SwatchCell::StartDrag(QPoint hot_spot) {
  QPointer<SwatchCell> self(this);
  auto* drag = new QDrag(this);
  drag->setMimeData(MakeSwatchMime(window_->BoardToken(), index_));
  drag->setPixmap(OutlinePixmap());
  drag->setHotSpot(hot_spot);
  window_->BeginSwatchDrag();
  drag->exec(Qt::MoveAction, Qt::MoveAction);
  if (!self) return;
  // A press and release on the same swatch is a drop onto itself. Some platforms
  // end such a drag without delivering a drop: detect it from the pointer.
  if (!window_->SwatchDropSeen() && rect().contains(mapFromGlobal(QCursor::pos()))) {
    window_->DropOnSwatch(index_, index_);
  }
}

void SwatchCell::dragEnterEvent(QDragEnterEvent* event) {
  if (ParseSwatchMime(event->mimeData(), window_->BoardToken())) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void SwatchCell::dragMoveEvent(QDragMoveEvent* event) {
  if (ParseSwatchMime(event->mimeData(), window_->BoardToken())) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void SwatchCell::dropEvent(QDropEvent* event) {
  const std::optional<int> source = ParseSwatchMime(event->mimeData(), window_->BoardToken());
  if (!source) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::MoveAction);
  event->accept();
  window_->DropOnSwatch(index_, *source);
}

BandOverlay::BandOverlay(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("BandOverlay"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::NoFocus);
}

QRect BandOverlay::PixelRect(const Box& box) {
  const auto [x0, y0, x1, y1] = box;
  const int left = static_cast<int>(std::lround(std::min(x0, x1)));
  const int right = static_cast<int>(std::lround(std::max(x0, x1)));
  const int top = static_cast<int>(std::lround(std::min(y0, y1)));
  const int bottom = static_cast<int>(std::lround(std::max(y0, y1)));
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

void BandOverlay::ToggleBox(float x0, float y0, float x1, float y1) {
  const Box box{x0, y0, x1, y1};
  if (!boxes_.erase(box)) boxes_.insert(box);
  update(PixelRect(box).adjusted(-1, -1, 1, 1));
}

void BandOverlay::Clear() {
  boxes_.clear();
  update();
}

void BandOverlay::paintEvent(QPaintEvent*) {
  if (boxes_.empty()) return;
  QPainter painter(this);
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  const QColor white(255, 255, 255);
  for (const Box& box : boxes_) {
    // Four edges that never overlap, so every pixel of the outline is inverted
    // exactly once.
    const QRect r = PixelRect(box);
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), white);
    if (r.height() > 1) painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), white);
    if (r.height() > 2) {
      painter.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), white);
      if (r.width() > 1) painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), white);
    }
  }
}

}  // namespace hw
