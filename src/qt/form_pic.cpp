#include "qt/form_pic.h"

#include <algorithm>
#include <cstring>

#include <QPainter>
#include <QPaintEvent>
#include <QScrollArea>

#include "qt/form_drag_n_drop.h"

namespace hw {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), table_(256, qRgb(0, 0, 0)) {
  setObjectName(QStringLiteral("Picture1"));
  setAutoFillBackground(true);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureBox::SetPixels(const std::vector<uint8_t>* pixels, int width, int height) {
  const bool valid = pixels != nullptr && width > 0 && height > 0;
  pixels_ = valid ? pixels : nullptr;
  width_ = valid ? width : 0;
  height_ = valid ? height : 0;
  update();
}

void PictureBox::SetColourTable(const LogicalPalette* palette) {
  QList<QRgb> table(256, qRgb(0, 0, 0));
  if (palette) {
    for (size_t i = 0; i < palette->size(); ++i) {
      const PaletteEntry& e = (*palette)[i];
      table[static_cast<qsizetype>(i)] = qRgb(e.red, e.green, e.blue);
    }
  }
  if (table == table_) return;
  table_ = std::move(table);
  update();
}

uint8_t PictureBox::PixelAt(int x, int y) const {
  const size_t k = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  return k < pixels_->size() ? (*pixels_)[k] : 0;
}

QRgb PictureBox::ShownColour(int x, int y) const {
  if (pixels_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return TableColour(PixelAt(x, y));
}

void PictureBox::paintEvent(QPaintEvent* event) {
  if (pixels_ == nullptr) return;
  const QRect area = event->rect() & QRect(0, 0, width_, height_);
  if (area.isEmpty()) return;
  // Only the exposed rectangle is converted, row by row, through the colour table.
  QImage part(area.size(), QImage::Format_RGB32);
  if (part.isNull()) return;
  const size_t have = pixels_->size();
  const uint8_t* data = pixels_->data();
  for (int row = 0; row < area.height(); ++row) {
    auto* out = reinterpret_cast<QRgb*>(part.scanLine(row));
    const size_t start = static_cast<size_t>(area.top() + row) * static_cast<size_t>(width_) +
                         static_cast<size_t>(area.left());
    for (int col = 0; col < area.width(); ++col) {
      const size_t k = start + static_cast<size_t>(col);
      out[col] = table_[k < have ? data[k] : 0];
    }
  }
  QPainter painter(this);
  painter.drawImage(area.topLeft(), part);
}

FormPic::FormPic() {
  setObjectName(QStringLiteral("FormPic"));
  setWindowTitle(QStringLiteral("Current Picture"));
  resize(TwipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());

  // The picture box sits 120 twips in from the top left corner; a picture larger
  // than the window scrolls.
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  auto* holder = new QWidget;
  picture1_ = new PictureBox(holder);
  picture1_->move(TwipsRect(120, 120, 0, 0).topLeft());
  scroll_->setWidget(holder);
  const QRect initial = TwipsRect(120, 120, 3840, 2880);
  SetPictureSize(initial.width(), initial.height());
  scroll_->setGeometry(rect());
}

void FormPic::SetPictureSize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (picture1_->size() == QSize(width, height)) return;
  picture1_->resize(width, height);
  // The same margin on the far sides, so a scrolled picture does not end flush
  // against the window's edge.
  const QPoint at = picture1_->pos();
  scroll_->widget()->resize(width + 2 * at.x(), height + 2 * at.y());
}

void FormPic::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  scroll_->setGeometry(rect());
}

}  // namespace hw
