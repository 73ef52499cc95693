// Widgets of the palette board: the surface that holds the board and the
// controls, the swatches, which are drag sources and drop targets, and the
// transparent overlay that carries the rubber-band box.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <tuple>

#include <QByteArray>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

namespace hw {

class MainWindow;

inline constexpr const char* kSwatchMimeType = "application/x-huewright-swatch";

// A swatch as a drag payload: the board's token and the swatch index, so that a
// drop only ever counts when it comes from a swatch of the same board.
QMimeData* MakeSwatchMime(const QByteArray& board_token, int index);
// The dragged swatch's index, or nothing when the payload is foreign or malformed.
std::optional<int> ParseSwatchMime(const QMimeData* mime, const QByteArray& board_token);

// The main window's client area below the menu bar. It takes the keyboard for the
// board (arrows, Shift+arrows, Enter) and a press on its bare surface draws the
// rubber band.
class BoardSurface : public QWidget {
  Q_OBJECT
 public:
  BoardSurface(MainWindow* form, QWidget* parent);
  // Whether a point is on the bare surface, not over a control.
  bool OnSurface(QPoint pos) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  MainWindow* window_;
};

class SwatchCell : public QWidget {
  Q_OBJECT
 public:
  SwatchCell(MainWindow* form, int index, QWidget* parent);
  int Index() const { return index_; }
  // What the drag shows under the pointer: the swatch's outline.
  QPixmap OutlinePixmap() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void StartDrag(QPoint hot_spot);

  MainWindow* window_;
  int index_;
  // A left press waiting to become a drag (past the platform's drag distance) or
  // a click (released before that).
  bool pressed_ = false;
  QPoint press_pos_;
};

// Covers the whole client area above every other widget and lets the mouse
// through. Each box drawn toggles it: drawing the same box twice removes it, and
// boxes are combined with what lies below by exclusive-or, so crossing edges cancel
// just as they would on a screen drawn in exclusive-or mode.
class BandOverlay : public QWidget {
  Q_OBJECT
 public:
  explicit BandOverlay(QWidget* parent);
  void ToggleBox(float x0, float y0, float x1, float y1);  // pixels
  int BoxCount() const { return static_cast<int>(boxes_.size()); }
  void Clear();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  using Box = std::tuple<float, float, float, float>;
  static QRect PixelRect(const Box& box);
  std::set<Box> boxes_;  // the boxes drawn an odd number of times
};

}  // namespace hw
