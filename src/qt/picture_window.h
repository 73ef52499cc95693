// The picture window: a separate, resizable top-level window whose picture box
// shows the editor's pixels through the palette realized for it, zoomed in whole
// steps. The box keeps no copy of the pixels: it reads the editor's buffer and
// converts only the part of the picture inside the rectangle being painted, so a
// palette change (a rebuild, a cycling tick) costs a repaint of what is on screen
// and nothing more.
#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "display/display_palette.h"
#include "editor/editor.h"

class QScreen;
class QScrollArea;

namespace hw {

// A zoom is a whole step: n >= 1 shows each picture pixel as n x n logical
// pixels (n:1); n <= -2 shows every n-th pixel of every n-th row (1:n).
inline constexpr int kMaxZoom = 32;    // 32:1
inline constexpr int kMaxShrink = 64;  // 1:64
int ZoomIn(int zoom);
int ZoomOut(int zoom);
// The largest step at which a picture of `picture` pixels fits into `room`.
int FitZoom(QSize picture, QSize room);
QString ZoomText(int zoom);  // "3:1", "1:1", "1:4"

// The picture window's zoom, client size and frame (its place on the screen,
// decoration included) for a picture on loading.
struct PictureWindowPlan {
  int zoom = 1;
  QSize client;
  QRect frame;
};
// The largest zoom step up to 1:1 at which `picture` fits the room beside the
// main window (`main_frame`) on the side of `screen` (its available area) with
// more of it; the window goes there, or, when it cannot fit, against that edge of
// the screen, where it overlaps the main window least. `decoration` is what the
// window manager adds around a window's client area. All in logical pixels.
PictureWindowPlan PlanPictureWindow(QSize picture, const QRect& main_frame, const QRect& screen,
                                    const QMargins& decoration);

class PictureView : public QWidget {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent);
  // Shows width x height indices (row-major) of `pixels`, which must outlive the
  // box; it is read at every paint. Missing pixels of a shorter buffer show index 0.
  void SetPixels(const std::vector<uint8_t>* pixels, int width, int height);
  // The colours of the table's entries, with the opacity of each (none: all
  // opaque). Pixels of entries that are not opaque show a checkerboard under them.
  void SetColourTable(const LogicalPalette* palette,
                      const std::array<uint8_t, 256>* alphas = nullptr);
  QSize PictureSize() const { return {width_, height_}; }
  // The colour a pixel shows now (blinking aside), and the colour of table entry i.
  QRgb ShownColour(int x, int y) const;
  QRgb TableColour(int index) const { return table_.value(index, qRgb(0, 0, 0)); }

  int Zoom() const { return zoom_; }
  // Resizes the box to the picture at `zoom`.
  void SetZoom(int zoom);
  // The box's size for the picture at the current zoom.
  QSize ZoomedSize() const;
  // The picture pixel under a point of the box.
  QPoint PixelAt(QPoint pos) const;

  // The pixels using table entry `index` blink (-1: none). Only what is shown
  // changes; the colour table and the pixels stay as they are.
  void SetBlinkIndex(int index);
  // The tiles of `check` that use more than one bank are outlined (none: no
  // outlines); `check` must outlive the box and is read at every paint.
  void SetTileCheck(const std::optional<TileCheck>* check) { tile_check_ = check; }
  int BlinkIndex() const { return blink_index_; }

 signals:
  void PixelClicked(int x, int y);
  // The picture pixel under the pointer, or (-1, -1) once the pointer left it.
  void PixelHovered(int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Outlines the tiles of the tile check that use more than one bank, within `area`.
  void PaintMixedTiles(QPainter& painter, const QRect& area) const;

 private:
  const std::vector<uint8_t>* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int zoom_ = 1;
  QList<QRgb> table_;
  // The converted part of the last paint, kept for the next one of the same size:
  // a picture that animates repaints the same area many times a second, and fresh
  // memory for every frame costs more than the conversion.
  QImage part_;
  bool translucent_ = false;  // some entry of the table is not opaque
  int blink_index_ = -1;
  const std::optional<TileCheck>* tile_check_ = nullptr;
  bool blink_lit_ = false;
  QTimer blink_timer_;
};

class PictureWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidthTwips = 4680;
  static constexpr int kClientHeightTwips = 3195;

  PictureWindow();
  PictureView* View() const { return view_; }
  QScrollArea* ScrollArea() const { return scroll_; }
  // Makes the picture box show a picture of width x height pixels.
  void SetPictureSize(int width, int height);

  int Zoom() const { return view_->Zoom(); }
  // Zooms keeping the picture point under `anchor` (a point of the viewport; by
  // default its centre) where it is.
  void SetZoom(int zoom, QPoint anchor = QPoint(-1, -1));
  void StepZoom(int steps, QPoint anchor = QPoint(-1, -1));
  // The largest step at which the whole picture fits the window.
  void FitZoom();
  // Sizes, zooms and places the window as planned for its picture.
  void ApplyPlan(const PictureWindowPlan& plan);

 signals:
  void ZoomChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Relayout();
  QSize Room() const;

  QScrollArea* scroll_ = nullptr;
  QWidget* holder_ = nullptr;
  PictureView* view_ = nullptr;
  QSize picture_size_;
  // Panning: with the middle button, or the left one while Space is held.
  bool space_held_ = false;
  bool panning_ = false;
  QPoint pan_from_;
  QPoint pan_scroll_;
};

}  // namespace hw
