// The picture window: a separate top-level window whose picture box shows the
// editor's retained index image through the palette realized for it. The pixels
// are copied only when they change; a palette change only swaps the colour table,
// which is what lets colour cycling animate the picture cheaply.
#pragma once

#include <cstdint>
#include <vector>

#include <QImage>
#include <QWidget>

#include "display/display_palette.h"

class QScrollArea;

namespace hw {

class PictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent);
  const QImage& Image() const { return image_; }
  // Copies width x height indices (row-major). A buffer shorter than that leaves the
  // missing pixels at index 0; a size that cannot be allocated shows nothing.
  void SetPixels(const std::vector<uint8_t>& pixels, int width, int height);
  void SetColourTable(const LogicalPalette* palette);
  // The colour a pixel shows now, for tests and screenshots.
  QRgb ShownColour(int x, int y) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QList<QRgb> table_;
};

class FormPic : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidthTwips = 4680;
  static constexpr int kClientHeightTwips = 3195;

  FormPic();
  PictureBox* Picture1() const { return picture1_; }
  QScrollArea* ScrollArea() const { return scroll_; }
  // Makes the picture box's drawing area exactly width x height pixels.
  void SetPictureSize(int width, int height);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QScrollArea* scroll_ = nullptr;
  PictureBox* picture1_ = nullptr;
};

}  // namespace hw
