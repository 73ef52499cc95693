#include "qt/picture_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <bit>
#include <cmath>

#include "qt/checker.h"
#include "qt/twips.h"

namespace hw {

namespace {

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// How many logical pixels one picture pixel spans (below 1 when shrunk).
double Scale(int zoom) { return zoom >= 1 ? zoom : 1.0 / -zoom; }

}  // namespace

int ZoomIn(int zoom) {
  if (zoom >= 1) return std::min(zoom + 1, kMaxZoom);
  return zoom == -2 ? 1 : zoom + 1;
}

int ZoomOut(int zoom) {
  if (zoom > 1) return zoom - 1;
  return zoom == 1 ? -2 : std::max(zoom - 1, -kMaxShrink);
}

int FitZoom(QSize picture, QSize room) {
  if (picture.isEmpty() || room.isEmpty()) return 1;
  const int w = picture.width(), h = picture.height();
  if (w <= room.width() && h <= room.height()) {
    return std::clamp(std::min(room.width() / w, room.height() / h), 1, kMaxZoom);
  }
  int n = 2;
  while (n < kMaxShrink && (CeilDiv(w, n) > room.width() || CeilDiv(h, n) > room.height())) ++n;
  return -n;
}

QString ZoomText(int zoom) {
  return zoom >= 1 ? QStringLiteral("%1:1").arg(zoom) : QStringLiteral("1:%1").arg(-zoom);
}

PictureView::PictureView(QWidget* parent) : QWidget(parent), table_(256, qRgb(0, 0, 0)) {
  setObjectName(QStringLiteral("Picture1"));
  // paintEvent covers every pixel it is asked for (the picture, and the window
  // colour around it), so Qt need not clear the area first: a colour-cycling frame
  // repaints the whole view many times a second.
  setAutoFillBackground(false);
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setMouseTracking(true);  // the pixel under the pointer is shown without a click
  blink_timer_.setInterval(350);
  connect(&blink_timer_, &QTimer::timeout, this, [this] {
    blink_lit_ = !blink_lit_;
    update();
  });
}

void PictureView::SetPixels(const std::vector<uint8_t>* pixels, int width, int height) {
  const bool valid = pixels != nullptr && width > 0 && height > 0;
  pixels_ = valid ? pixels : nullptr;
  width_ = valid ? width : 0;
  height_ = valid ? height : 0;
  update();
}

void PictureView::SetColourTable(const LogicalPalette* palette,
                                 const std::array<uint8_t, 256>* alphas) {
  QList<QRgb> table(256, qRgb(0, 0, 0));
  if (palette) {
    for (size_t i = 0; i < palette->size() && i < 256; ++i) {
      const PaletteEntry& e = (*palette)[i];
      table[static_cast<qsizetype>(i)] =
          qRgba(e.red, e.green, e.blue, alphas != nullptr ? (*alphas)[i] : 255);
    }
  }
  if (table == table_) return;
  table_ = std::move(table);
  translucent_ = std::any_of(table_.begin(), table_.end(), [](QRgb c) { return qAlpha(c) < 255; });
  update();
}

QRgb PictureView::ShownColour(int x, int y) const {
  if (pixels_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const size_t k = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  return TableColour(k < pixels_->size() ? (*pixels_)[k] : 0);
}

void PictureView::SetZoom(int zoom) {
  zoom_ = zoom >= 1 ? std::min(zoom, kMaxZoom) : std::clamp(zoom, -kMaxShrink, -2);
  update();
}

QSize PictureView::ZoomedSize() const {
  if (zoom_ >= 1) return {width_ * zoom_, height_ * zoom_};
  return {CeilDiv(width_, -zoom_), CeilDiv(height_, -zoom_)};
}

QPoint PictureView::PixelAt(QPoint pos) const {
  const QPoint p = zoom_ >= 1 ? QPoint(pos.x() / zoom_, pos.y() / zoom_) : pos * -zoom_;
  return {std::clamp(p.x(), 0, std::max(width_ - 1, 0)),
          std::clamp(p.y(), 0, std::max(height_ - 1, 0))};
}

void PictureView::SetBlinkIndex(int index) {
  index = index >= 0 && index < 256 ? index : -1;
  if (index == blink_index_) return;
  blink_index_ = index;
  blink_lit_ = index >= 0;
  if (index >= 0) {
    blink_timer_.start();
  } else {
    blink_timer_.stop();
  }
  update();
}

void PictureView::paintEvent(QPaintEvent* event) {
  const QRect picture = pixels_ == nullptr ? QRect() : QRect(QPoint(0, 0), ZoomedSize());
  const QRegion around = event->region() - picture;
  if (!around.isEmpty()) {
    QPainter background(this);
    for (const QRect& r : around) background.fillRect(r, palette().window());
  }
  const QRect area = event->rect() & picture;
  if (area.isEmpty()) return;
  // The colours as shown: a blinking entry is swapped for black or white in its
  // lit half-period, in this copy only.
  QList<QRgb> table = table_;
  if (blink_lit_ && blink_index_ >= 0) {
    const QRgb c = table[blink_index_];
    const bool light = 299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c) >= 128000;
    table[blink_index_] = light ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
  }
  // With see-through entries the image keeps their opacity and is laid over the
  // checkerboard.
  const QImage::Format format = translucent_ ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  const QRgb* lut = table.constData();
  const size_t have = pixels_->size();
  const uint8_t* data = pixels_->data();
  const auto index_at = [&](int x, int y) {
    const size_t k = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    return k < have ? data[k] : uint8_t{0};
  };
  // One row of `count` pixels from (x, y) on, one picture pixel each: a plain table
  // lookup when the row lies in the buffer (it always does for a whole picture).
  const auto convert_row = [&](QRgb* out, int x, int y, int count) {
    const size_t first =
        static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    if (first + static_cast<size_t>(count) <= have) {
      const uint8_t* in = data + first;
      for (int col = 0; col < count; ++col) out[col] = lut[in[col]];
    } else {
      for (int col = 0; col < count; ++col) out[col] = lut[index_at(x + col, y)];
    }
  };
  QPainter painter(this);
  if (translucent_) FillChecker(painter, area, 8);
  // Only the picture pixels seen in the exposed rectangle are converted. Enlarged,
  // each is one pixel of the image, which the painter widens without smoothing
  // (nearest neighbour, also onto a high-density screen); shrunk, every n-th pixel
  // of every n-th row is taken.
  if (zoom_ >= 1) {
    const int z = zoom_;
    const QRect src(QPoint(area.left() / z, area.top() / z),
                    QPoint(area.right() / z, area.bottom() / z));
    if (part_.size() != src.size() || part_.format() != format) part_ = QImage(src.size(), format);
    QImage& part = part_;
    if (part.isNull()) return;
    for (int row = 0; row < src.height(); ++row) {
      convert_row(reinterpret_cast<QRgb*>(part.scanLine(row)), src.left(), src.top() + row,
                  src.width());
    }
    painter.drawImage(QRect(src.topLeft() * z, src.size() * z), part);
  } else {
    const int n = -zoom_;
    if (part_.size() != area.size() || part_.format() != format)
      part_ = QImage(area.size(), format);
    QImage& part = part_;
    if (part.isNull()) return;
    for (int row = 0; row < area.height(); ++row) {
      auto* out = reinterpret_cast<QRgb*>(part.scanLine(row));
      const int y = (area.top() + row) * n;
      for (int col = 0; col < area.width(); ++col) {
        out[col] = lut[index_at((area.left() + col) * n, y)];
      }
    }
    painter.drawImage(area.topLeft(), part);
  }
  PaintMixedTiles(painter, area);
}

void PictureView::PaintMixedTiles(QPainter& painter, const QRect& area) const {
  if (tile_check_ == nullptr || !tile_check_->has_value()) return;
  const TileCheck& check = **tile_check_;
  const TileBanks& banks = check.banks;
  if (banks.mixed == 0 || banks.columns <= 0 || banks.rows <= 0) return;
  // Picture coordinates to the box's and back, at the zoom shown.
  const int64_t z = zoom_;
  const auto to_view = [z](int64_t p) { return z >= 1 ? p * z : p / -z; };
  const auto to_picture = [z](int64_t v) { return z >= 1 ? v / z : v * -z; };
  const int64_t tw = check.options.tile_width, th = check.options.tile_height;
  const int64_t c0 = to_picture(area.left()) / tw, r0 = to_picture(area.top()) / th;
  const int64_t c1 = std::min<int64_t>(banks.columns - 1, to_picture(area.right()) / tw);
  const int64_t r1 = std::min<int64_t>(banks.rows - 1, to_picture(area.bottom()) / th);
  // Large enough tiles get an outline in two colours (seen on any picture); tiles
  // of a few screen pixels are filled instead.
  const bool small = to_view(std::min(tw, th)) < 4;
  const QColor fill(255, 0, 255, 140);
  for (int64_t r = r0; r <= r1; ++r) {
    for (int64_t c = c0; c <= c1; ++c) {
      const uint64_t used = banks.banks[static_cast<size_t>(r * banks.columns + c)];
      if (std::popcount(used) < 2) continue;
      const int64_t x0 = to_view(c * tw), y0 = to_view(r * th);
      const int64_t x1 = to_view(std::min<int64_t>((c + 1) * tw, width_));
      const int64_t y1 = to_view(std::min<int64_t>((r + 1) * th, height_));
      const QRect tile(QPoint(int(x0), int(y0)),
                       QPoint(int(std::max(x0, x1 - 1)), int(std::max(y0, y1 - 1))));
      if (small) {
        painter.fillRect(tile, fill);
      } else {
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(tile.adjusted(0, 0, -1, -1));
        painter.setPen(QPen(QColor(255, 0, 255), 1));
        painter.drawRect(tile.adjusted(1, 1, -2, -2));
      }
    }
  }
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || pixels_ == nullptr) {
    event->ignore();
    return;
  }
  event->accept();
  const QPoint pixel = PixelAt(event->position().toPoint());
  emit PixelClicked(pixel.x(), pixel.y());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  const QPoint at = event->position().toPoint();
  if (pixels_ == nullptr || !QRect(QPoint(0, 0), ZoomedSize()).contains(at)) {
    emit PixelHovered(-1, -1);
    return;
  }
  const QPoint pixel = PixelAt(at);
  emit PixelHovered(pixel.x(), pixel.y());
}

void PictureView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  emit PixelHovered(-1, -1);
}

PictureWindow::PictureWindow() {
  setObjectName(QStringLiteral("PictureWindow"));
  setWindowTitle(QStringLiteral("Current Picture"));
  resize(TwipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());

  // The picture box sits 120 twips in from the top left corner; a picture larger
  // than the window scrolls.
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  holder_ = new QWidget;
  view_ = new PictureView(holder_);
  view_->move(TwipsRect(120, 120, 0, 0).topLeft());
  scroll_->setWidget(holder_);
  const QRect initial = TwipsRect(120, 120, 3840, 2880);
  SetPictureSize(initial.width(), initial.height());
  scroll_->setGeometry(rect());
  for (QObject* o : std::initializer_list<QObject*>{view_, scroll_->viewport(), scroll_}) {
    o->installEventFilter(this);
  }
}

void PictureWindow::SetPictureSize(int width, int height) {
  picture_size_ = QSize(std::max(width, 1), std::max(height, 1));
  Relayout();
}

void PictureWindow::Relayout() {
  // Until a picture is shown the box keeps its design size.
  const QSize size = view_->PictureSize().isEmpty() ? picture_size_ : view_->ZoomedSize();
  if (view_->size() != size) view_->resize(size);
  // The same margin on the far sides, so a scrolled picture does not end flush
  // against the window's edge.
  const QPoint at = view_->pos();
  const QSize outer(size.width() + 2 * at.x(), size.height() + 2 * at.y());
  if (holder_->size() != outer) holder_->resize(outer);
}

QSize PictureWindow::Room() const {
  const QPoint margin = view_->pos();
  return scroll_->size() - QSize(2 * margin.x(), 2 * margin.y());
}

void PictureWindow::SetZoom(int zoom, QPoint anchor) {
  const QWidget* viewport = scroll_->viewport();
  if (anchor.x() < 0) anchor = viewport->rect().center();
  // The picture point under the anchor stays under it.
  const QPointF box_at = view_->mapFrom(viewport, anchor);
  const QPointF picture_at = box_at / Scale(view_->Zoom());
  const int before = view_->Zoom();
  view_->SetZoom(zoom);
  Relayout();
  const QPointF box_now = picture_at * Scale(view_->Zoom());
  const QPoint scroll = (QPointF(view_->pos()) + box_now).toPoint() - anchor;
  scroll_->horizontalScrollBar()->setValue(scroll.x());
  scroll_->verticalScrollBar()->setValue(scroll.y());
  if (view_->Zoom() != before) emit ZoomChanged();
}

void PictureWindow::StepZoom(int steps, QPoint anchor) {
  int zoom = view_->Zoom();
  for (; steps > 0; --steps) zoom = ZoomIn(zoom);
  for (; steps < 0; ++steps) zoom = ZoomOut(zoom);
  SetZoom(zoom, anchor);
}

void PictureWindow::FitZoom() { SetZoom(hw::FitZoom(view_->PictureSize(), Room())); }

void PictureWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  scroll_->setGeometry(rect());
}

bool PictureWindow::eventFilter(QObject* watched, QEvent* event) {
  QWidget* viewport = scroll_->viewport();
  QScrollBar* h = scroll_->horizontalScrollBar();
  QScrollBar* v = scroll_->verticalScrollBar();
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Space) break;
      if (!key->isAutoRepeat()) {
        space_held_ = event->type() == QEvent::KeyPress;
        if (!panning_) {
          if (space_held_) {
            viewport->setCursor(Qt::OpenHandCursor);
          } else {
            viewport->unsetCursor();
          }
        }
      }
      return true;
    }
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const bool pan =
          mouse->button() == Qt::MiddleButton || (mouse->button() == Qt::LeftButton && space_held_);
      if (!pan || panning_) break;
      panning_ = true;
      pan_from_ = mouse->globalPosition().toPoint();
      pan_scroll_ = QPoint(h->value(), v->value());
      viewport->setCursor(Qt::ClosedHandCursor);
      return true;
    }
    case QEvent::MouseMove: {
      if (!panning_) break;
      const QPoint moved = static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - pan_from_;
      h->setValue(pan_scroll_.x() - moved.x());
      v->setValue(pan_scroll_.y() - moved.y());
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (!panning_ || (mouse->buttons() & (Qt::MiddleButton | Qt::LeftButton))) break;
      panning_ = false;
      if (space_held_) {
        viewport->setCursor(Qt::OpenHandCursor);
      } else {
        viewport->unsetCursor();
      }
      return true;
    }
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      if (watched != viewport || !(wheel->modifiers() & Qt::ControlModifier)) break;
      const int delta = wheel->angleDelta().y();
      if (delta != 0) StepZoom(delta > 0 ? 1 : -1, wheel->position().toPoint());
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

namespace {

constexpr int kGap = 12;               // between the main window and the picture window
constexpr int kMargin = 8;             // around the picture box (120 twips)
constexpr QSize kMinClient(160, 120);  // room for the title and the scroll bars
constexpr int kMinRoom = 200;          // narrower room beside is not used

}  // namespace

PictureWindowPlan PlanPictureWindow(QSize picture, const QRect& main_frame, const QRect& screen,
                                    const QMargins& decoration) {
  const int right_room = screen.right() - main_frame.right() - kGap;
  const int left_room = main_frame.left() - screen.left() - kGap;
  const bool right = right_room >= left_room;
  const int side_room = std::max(right ? right_room : left_room, 0);
  // Too little room beside the main window: the picture may use the whole screen.
  const int room_width = side_room >= kMinRoom ? side_room : screen.width();
  const QSize decor(decoration.left() + decoration.right(), decoration.top() + decoration.bottom());
  const QSize room(room_width - decor.width() - 2 * kMargin,
                   screen.height() - decor.height() - 2 * kMargin);
  PictureWindowPlan plan;
  plan.zoom = std::min(hw::FitZoom(picture, room.expandedTo(QSize(1, 1))), 1);
  const QSize zoomed = plan.zoom >= 1 ? picture * plan.zoom
                                      : QSize(CeilDiv(picture.width(), -plan.zoom),
                                              CeilDiv(picture.height(), -plan.zoom));
  plan.client = (zoomed + QSize(2 * kMargin, 2 * kMargin))
                    .expandedTo(kMinClient)
                    .boundedTo(screen.size() - decor);
  const QSize frame = plan.client + decor;
  QPoint at;
  if (frame.width() <= side_room) {
    at.setX(right ? main_frame.right() + 1 + kGap : main_frame.left() - kGap - frame.width());
  } else {
    at.setX(right ? screen.right() + 1 - frame.width() : screen.left());
  }
  at.setY(std::clamp(main_frame.top(), screen.top(),
                     std::max(screen.top(), screen.bottom() + 1 - frame.height())));
  plan.frame = QRect(at, frame);
  return plan;
}

void PictureWindow::ApplyPlan(const PictureWindowPlan& plan) {
  resize(plan.client);
  move(plan.frame.topLeft());
  SetZoom(plan.zoom);
  scroll_->horizontalScrollBar()->setValue(0);
  scroll_->verticalScrollBar()->setValue(0);
}

}  // namespace hw
