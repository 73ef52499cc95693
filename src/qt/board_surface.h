// The main window's client area below the menu bar, which holds the board and
// the controls, and the transparent overlay that carries the rubber-band box.
#pragma once

#include <QWidget>
#include <memory>
#include <set>
#include <tuple>

namespace hw {

class RubberBand;

class BandOverlay;

// Takes the keyboard for the board (arrows, Shift+arrows, Enter) and reports it
// upward; a press on its bare surface (not over a control) draws the rubber band
// on the overlay above everything else.
class BoardSurface : public QWidget {
  Q_OBJECT
 public:
  explicit BoardSurface(QWidget* parent);
  ~BoardSurface() override;
  // Whether a point is on the bare surface, not over a control.
  bool OnSurface(QPoint pos) const;
  BandOverlay* Overlay() const { return overlay_; }
  // Keeps the overlay above the controls and the board.
  void RaiseOverlay();
  // The board is `grow` pixels wider and taller than its design size; the
  // rubber band keeps to it.
  void SetBoardGrow(int grow);

 signals:
  // An arrow key: both marks step, or with `range` (Shift) only the current one.
  void StepRequested(Qt::Key key, bool range);
  // Alt+arrow: drop the "Move:" run at the current entry one swatch that way.
  void MoveRequested(Qt::Key key);
  // Enter: edit the current colour.
  void EditRequested();
  void FocusChanged(bool focused);
  void Resized();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool band_pressed_ = false;
  BandOverlay* overlay_ = nullptr;
  std::unique_ptr<RubberBand> band_;
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
