#include "qt/board_view.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "editor/editor.h"
#include "qt/checker.h"

namespace hw {

QMimeData* MakeSwatchMime(const QByteArray& board_token, int index) {
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kSwatchMimeType),
                board_token + ':' + QByteArray::number(index));
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

int NeighbourOnScreen(int at, Qt::Key key, bool flipped) {
  const int across = flipped ? 1 : 16;  // a step across the screen, in positions
  const int down = flipped ? 16 : 1;
  const int col = flipped ? at % 16 : at / 16;
  const int row = flipped ? at / 16 : at % 16;
  if (key == Qt::Key_Left && col > 0) return at - across;
  if (key == Qt::Key_Right && col < 15) return at + across;
  if (key == Qt::Key_Up && row > 0) return at - down;
  if (key == Qt::Key_Down && row < 15) return at + down;
  return at;
}

// ---- the cells: each event goes to the board view ----

SwatchCell::SwatchCell(BoardView* board, int index, QWidget* parent)
    : QWidget(parent), board_(board), index_(index) {
  setObjectName(QStringLiteral("Blot%1").arg(index));
  setAcceptDrops(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

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

void SwatchCell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  board_->Paint(*this, painter);
}

void SwatchCell::mousePressEvent(QMouseEvent* event) {
  event->accept();  // a swatch is a control: other buttons do nothing here
  if (event->button() == Qt::LeftButton) board_->Press(index_, event->position().toPoint());
}

void SwatchCell::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  board_->Move(*this, event->position().toPoint(), event->buttons() & Qt::LeftButton);
}

void SwatchCell::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) board_->Release(index_);
}

void SwatchCell::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) board_->DoubleClick(index_);
}

void SwatchCell::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  board_->Enter(index_);
}

void SwatchCell::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  board_->Leave(index_);
}

bool SwatchCell::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    // The values as they are now, not as they were when the swatch was built.
    auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), board_->Tooltip(index_), this);
    return true;
  }
  return QWidget::event(event);
}

void SwatchCell::dragEnterEvent(QDragEnterEvent* event) {
  if (!board_->Accepts(event->mimeData())) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void SwatchCell::dragMoveEvent(QDragMoveEvent* event) {
  if (!board_->Accepts(event->mimeData())) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void SwatchCell::dropEvent(QDropEvent* event) {
  if (!board_->Accepts(event->mimeData())) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
  board_->Drop(index_, event->mimeData());
}

// ---- the board view ----

BoardView::BoardView(const Editor& editor, QWidget* surface) : QObject(surface), editor_(editor) {
  setObjectName(QStringLiteral("BoardView"));
  token_ = QByteArray::number(QCoreApplication::applicationPid()) + '-' +
           QByteArray::number(reinterpret_cast<quintptr>(this), 16);
  for (int i = 0; i < 256; ++i) {
    auto* cell = new SwatchCell(this, i, surface);
    cell->setGeometry(SwatchPlace(0, false));
    cell->hide();
    cells_[static_cast<size_t>(i)] = cell;
  }
}

BoardGeometry BoardGeometry::ForPitch(int pitch) {
  BoardGeometry g;
  g.pitch = std::max(pitch, kDesignPitch);
  // A swatch is 192 twips of every 211.2: ten elevenths of the pitch.
  g.side = static_cast<int>(std::lround(g.pitch / 1.1));
  return g;
}

QRect SwatchPlace(int index, bool flipped, const BoardGeometry& g) {
  // Column-major: position 16 i + j sits in column i, row j; flipped, in row i,
  // column j. Swatch 0 is in the corner either way.
  const int col = flipped ? index % 16 : index / 16;
  const int row = flipped ? index / 16 : index % 16;
  return QRect(g.left + col * g.pitch, g.top + row * g.pitch, g.side, g.side);
}

void BoardView::SetGeometry(const BoardGeometry& geometry) {
  if (geometry == geometry_) return;
  geometry_ = geometry;
  Sync();
}

void BoardView::Sync() {
  for (size_t i = 0; i < cells_.size(); ++i) {
    SwatchCell* cell = cells_[i];
    const QRect place = SwatchPlace(static_cast<int>(i), editor_.Flipped(), geometry_);
    if (cell->geometry() != place) cell->setGeometry(place);
    if (cell->isHidden() && !closed_) cell->show();
    cell->update();
  }
}

void BoardView::Repaint(int index) {
  if (index >= 0 && index < 256) cells_[static_cast<size_t>(index)]->update();
}

void BoardView::SetMarkUnused(bool on) {
  mark_unused_ = on;
  for (SwatchCell* cell : cells_) cell->update();
}

void BoardView::SetKeyboardFocus(bool focused) {
  keyboard_focus_ = focused;
  Repaint(editor_.Board().cur);
}

namespace {

// Black or white, whichever stands out more on `c`.
QColor Contrasting(const QColor& c) {
  return 299 * c.red() + 587 * c.green() + 114 * c.blue() >= 128000 ? Qt::black : Qt::white;
}

}  // namespace

void BoardView::Paint(const SwatchCell& cell, QPainter& painter) const {
  const int index = cell.Index();
  const RGBTriple c = editor_.SwatchShownColour(index);
  const BoardState& board = editor_.Board();
  const uint8_t alpha = board.entries[static_cast<size_t>(index)].A;
  const QColor colour(c.R, c.G, c.B, alpha);
  const bool in_range =
      index >= std::min(board.prev, board.cur) && index <= std::max(board.prev, board.cur);
  const QRect all = cell.rect();
  // A thin frame like a picture box's border; the interior shows the colour. The
  // swatches of the range between the marks get a frame in the highlight colour
  // with a white line inside it.
  painter.fillRect(all, in_range ? cell.palette().color(QPalette::Highlight) : QColor(64, 64, 64));
  QRect interior = all.adjusted(1, 1, -1, -1);
  if (in_range && interior.width() > 4) {
    painter.fillRect(interior, Qt::white);
    interior.adjust(1, 1, -1, -1);
  }
  if (alpha < 255) {
    // A see-through entry shows the checkerboard through its colour.
    FillChecker(painter, interior, std::max(2, interior.width() / 4));
  }
  painter.fillRect(interior, colour);
  const QColor ink = Contrasting(colour);
  if (mark_unused_ && editor_.PictureLoaded() && editor_.Usage()[static_cast<size_t>(index)] == 0) {
    // No pixel uses the entry: struck through from corner to corner.
    painter.setPen(QPen(ink, 1.0));
    painter.drawLine(interior.topLeft(), interior.bottomRight());
  }
  if (!OnTarget(board.target, board.entries[static_cast<size_t>(index)].rgb)) {
    // Off the target hardware's colours until snapped: a small triangle in the
    // top left corner, in the ink colour (the padlock has the top right).
    const int side = std::max(3, interior.width() / 3);
    const QPoint corner = interior.topLeft();
    const QPoint tri[3] = {corner, corner + QPoint(side, 0), corner + QPoint(0, side)};
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPolygon(tri, 3);
    painter.setBrush(Qt::NoBrush);
  }
  if (IsLocked(board, index)) {
    // Locked: a small padlock in the top right corner, in the ink colour on a
    // square of the other, clear on any colour.
    const int size = std::max(6, interior.width() / 3);
    const QRect pad(interior.right() - size + 1, interior.top(), size, size);
    painter.fillRect(pad, ink == Qt::black ? Qt::white : Qt::black);
    const int body_h = std::max(3, size / 2);
    const QRect body(pad.left() + 1, pad.bottom() - body_h, size - 2, body_h);
    painter.fillRect(body, ink);
    const int arc_w = std::max(2, (size - 2) * 3 / 5);
    const int arc_x = pad.left() + (size - arc_w) / 2;
    painter.setPen(QPen(ink, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(arc_x, pad.top() + 1, arc_w - 1, body.top() - pad.top() - 1));
  }
  if (index == board.cur && keyboard_focus_) {
    // Where the board's arrow keys start from: a frame in the ink colour with a
    // line of the other one inside, clear on any colour.
    painter.setPen(QPen(ink, 1.0));
    painter.drawRect(interior.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(ink == Qt::black ? Qt::white : Qt::black, 1.0, Qt::DashLine));
    painter.drawRect(interior.adjusted(1, 1, -2, -2));
  }
  if (editor_.IsMarked(index)) {
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

void BoardView::Press(int index, QPoint at) {
  const bool second = index == last_click_index_ && last_click_.isValid() &&
                      last_click_.elapsed() <= QApplication::doubleClickInterval();
  last_click_index_ = -1;
  if (second) {
    // The second press of a double click edits at once; the double-click event
    // the platform sends for it is then ignored.
    suppress_double_click_.start();
    Activate(index);
    return;
  }
  pressed_ = index;
  press_pos_ = at;
}

void BoardView::Move(SwatchCell& cell, QPoint at, bool left_held) {
  if (pressed_ != cell.Index() || !left_held) return;
  // A hand that wobbles during a click must not move entries.
  if ((at - press_pos_).manhattanLength() < QApplication::startDragDistance()) return;
  pressed_ = -1;
  StartDrag(cell, press_pos_);
}

void BoardView::Release(int index) {
  if (pressed_ != index) return;
  pressed_ = -1;
  Click(index);
}

void BoardView::DoubleClick(int index) {
  const bool suppress = suppress_double_click_.isValid() &&
                        suppress_double_click_.elapsed() <= QApplication::doubleClickInterval();
  suppress_double_click_.invalidate();
  if (suppress) return;
  Activate(index);
}

void BoardView::Activate(int index) {
  last_click_index_ = -1;
  const bool after_click = index == clicked_index_;
  clicked_index_ = -1;
  const BoardState& b = editor_.Board();
  if (!closed_) {
    emit Activated(index, after_click ? marks_before_click_[0] : b.prev,
                   after_click ? marks_before_click_[1] : b.cur);
  }
}

void BoardView::Click(int index) {
  drop_seen_ = true;
  clicked_index_ = index;
  marks_before_click_[0] = editor_.Board().prev;
  marks_before_click_[1] = editor_.Board().cur;
  if (!closed_) emit Clicked(index);
  last_click_index_ = index;
  last_click_.start();
}

void BoardView::Drop(int target, const QMimeData* mime) {
  const std::optional<int> source = ParseSwatchMime(mime, token_);
  if (!source) return;
  if (*source == target) return Click(target);
  drop_seen_ = true;
  last_click_index_ = -1;
  clicked_index_ = -1;
  if (!closed_) emit Dropped(target, *source);
}

void BoardView::Enter(int index) {
  hovered_ = index;
  if (!closed_) emit Hovered(index);
}

void BoardView::Leave(int index) {
  if (hovered_ != index) return;
  hovered_ = -1;
  if (!closed_) emit Hovered(-1);
}

void BoardView::StartDrag(SwatchCell& cell, QPoint hot_spot) {
  QPointer<SwatchCell> self(&cell);
  auto* drag = new QDrag(&cell);
  drag->setMimeData(MakeSwatchMime(token_, cell.Index()));
  drag->setPixmap(cell.OutlinePixmap());
  drag->setHotSpot(hot_spot);
  drop_seen_ = false;
  drag->exec(Qt::MoveAction, Qt::MoveAction);
  if (!self) return;
  // A press and release on the same swatch is a drop onto itself. Some platforms
  // end such a drag without delivering a drop: detect it from the pointer.
  if (!drop_seen_ && self->rect().contains(self->mapFromGlobal(QCursor::pos()))) {
    Click(self->Index());
  }
}

}  // namespace hw
