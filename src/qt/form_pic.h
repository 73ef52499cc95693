// The picture window: a separate top-level window whose picture box shows the
// editor's pixels through the palette realized for it. The box keeps no copy of
// the pixels: it reads the editor's buffer and converts only the rectangle being
// painted, so a palette change (a rebuild, a cycling tick) costs a repaint of
// what is on screen and nothing more.
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
  // Shows width x height indices (row-major) of `pixels`, which must outlive the
  // box; it is read at every paint. Missing pixels of a shorter buffer show index 0.
  void SetPixels(const std::vector<uint8_t>* pixels, int width, int height);
  void SetColourTable(const LogicalPalette* palette);
  QSize PictureSize() const { return {width_, height_}; }
  // The colour a pixel shows now, and the colour of table entry i.
  QRgb ShownColour(int x, int y) const;
  QRgb TableColour(int index) const { return table_.value(index, qRgb(0, 0, 0)); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  uint8_t PixelAt(int x, int y) const;

  const std::vector<uint8_t>* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
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
