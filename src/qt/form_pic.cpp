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

void PictureBox::SetPixels(const std::vector<uint8_t>& pixels, int width, int height) {
  image_ = QImage();
  if (width <= 0 || height <= 0) {
    update();
    return;
  }
  QImage image(width, height, QImage::Format_Indexed8);
  if (image.isNull()) {  // too large to allocate: show nothing rather than fail
    update();
    return;
  }
  image.setColorTable(table_);
  const size_t row = static_cast<size_t>(width);
  for (int y = 0; y < height; ++y) {
    uchar* line = image.scanLine(y);
    const size_t start = static_cast<size_t>(y) * row;
    const size_t have = start < pixels.size() ? std::min(row, pixels.size() - start) : 0;
    if (have > 0) std::memcpy(line, pixels.data() + start, have);
    if (have < row) std::memset(line + have, 0, row - have);
  }
  image_ = std::move(image);
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
  if (!image_.isNull()) image_.setColorTable(table_);
  update();
}

QRgb PictureBox::ShownColour(int x, int y) const {
  if (image_.isNull() || !image_.valid(x, y)) return 0;
  return table_.value(image_.pixelIndex(x, y), qRgb(0, 0, 0));
}

void PictureBox::paintEvent(QPaintEvent* event) {
  if (image_.isNull()) return;
  QPainter painter(this);
  const QRect area = event->rect() & image_.rect();
  if (!area.isEmpty()) painter.drawImage(area.topLeft(), image_, area);
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
