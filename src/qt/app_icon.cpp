#include "qt/app_icon.h"

#include <QColor>
#include <QPainter>

namespace hw {

QPixmap MakeAppIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const double cell = size / 4.0;
  const double gap = size >= 32 ? cell / 8.0 : 0.0;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      // Hue runs along the columns, lightness down the rows, like a sorted board.
      const QColor colour = QColor::fromHsv(col * 90 + row * 15, 200, 255 - row * 45);
      painter.fillRect(QRectF(col * cell + gap / 2, row * cell + gap / 2, cell - gap, cell - gap),
                       colour);
    }
  }
  painter.setPen(QPen(Qt::black, size >= 32 ? 2.0 : 1.0));
  painter.setBrush(Qt::white);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(cell / 2, cell / 2);
  painter.drawEllipse(centre, cell / 4, cell / 4);
  return pixmap;
}

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(MakeAppIconPixmap(size));
  return icon;
}

}  // namespace hw
