#include "qt/checker.h"

#include <QBrush>
#include <QPainter>
#include <QPixmap>

namespace hw {

void FillChecker(QPainter& painter, const QRect& area, int square) {
  QPixmap tile(2 * square, 2 * square);
  tile.fill(QColor(204, 204, 204));
  {
    QPainter p(&tile);
    p.fillRect(0, 0, square, square, QColor(153, 153, 153));
    p.fillRect(square, square, square, square, QColor(153, 153, 153));
  }
  painter.fillRect(area, QBrush(tile));
}

}  // namespace hw
