#include "qt/board_surface.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "qt/rubber_band.h"
#include "qt/twips.h"

namespace hw {

QRect TwipsRect(double left, double top, double width, double height) {
  const auto px = [](double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
  };
  return QRect(px(left), px(top), px(width), px(height));
}

namespace {

int ButtonBits(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
         (buttons & Qt::MiddleButton ? 4 : 0);
}

float Twips(qreal pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

}  // namespace

BoardSurface::BoardSurface(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("BoardSurface"));
  setFocusPolicy(Qt::StrongFocus);
  overlay_ = new BandOverlay(this);
  band_ = std::make_unique<RubberBand>([this](float x0, float y0, float x1, float y1) {
    const auto px = [](float twips) { return static_cast<float>(twips / kTwipsPerPixel); };
    overlay_->ToggleBox(px(x0), px(y0), px(x1), px(y1));
  });
}

BoardSurface::~BoardSurface() = default;

void BoardSurface::RaiseOverlay() {
  overlay_->setGeometry(rect());
  overlay_->raise();
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
      if (mods == Qt::AltModifier) {
        emit MoveRequested(static_cast<Qt::Key>(event->key()));
        event->accept();
        return;
      }
      if (mods != Qt::NoModifier && mods != Qt::ShiftModifier) break;
      emit StepRequested(static_cast<Qt::Key>(event->key()), mods == Qt::ShiftModifier);
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (mods != Qt::NoModifier) break;
      emit EditRequested();
      event->accept();
      return;
    default:
      break;
  }
  QWidget::keyPressEvent(event);
}

void BoardSurface::SetBoardGrow(int grow) {
  const float more = static_cast<float>(grow * kTwipsPerPixel);
  band_->SetBounds(RubberBand::kDesignLeft, RubberBand::kDesignTop, RubberBand::kDesignRight + more,
                   RubberBand::kDesignBottom + more);
}

void BoardSurface::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RaiseOverlay();
  emit Resized();
}

void BoardSurface::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  emit FocusChanged(true);
}

void BoardSurface::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  emit FocusChanged(false);
}

void BoardSurface::mousePressEvent(QMouseEvent* event) {
  if (!band_pressed_ && !OnSurface(event->position().toPoint())) {
    event->ignore();  // over a control: not the surface's business
    return;
  }
  band_pressed_ = true;
  event->accept();
  const QPointF at = event->position();
  band_->Press(ButtonBits(event->buttons() | event->button()), Twips(at.x()), Twips(at.y()));
}

void BoardSurface::mouseMoveEvent(QMouseEvent* event) {
  if (!band_pressed_) {
    event->ignore();
    return;
  }
  event->accept();
  const QPointF at = event->position();
  band_->Move(ButtonBits(event->buttons()), Twips(at.x()), Twips(at.y()));
}

void BoardSurface::mouseReleaseEvent(QMouseEvent* event) {
  if (!band_pressed_) {
    event->ignore();
    return;
  }
  event->accept();
  if (event->buttons() == Qt::NoButton) band_pressed_ = false;
  // The button released, whatever else is still held.
  const QPointF at = event->position();
  band_->Release(ButtonBits(event->button()), Twips(at.x()), Twips(at.y()));
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
