// The palette board: 256 swatch cells on the board surface and the one object
// that owns what happens on them. It tells a click from a drag (the platform's
// drag distance) and from a double click, follows the pointer, accepts only drops
// of its own swatches, and reports upward by signals; it paints each cell from
// the editor's state. The window around it keeps no state for the board.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMimeData>
#include <QObject>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

namespace hw {

class BoardView;
class Editor;

inline constexpr const char* kSwatchMimeType = "application/x-huewright-swatch";

// A swatch as a drag payload: the board's token and the swatch index, so that a
// drop only ever counts when it comes from a swatch of the same board.
QMimeData* MakeSwatchMime(const QByteArray& board_token, int index);
// The dragged swatch's index, or nothing when the payload is foreign or malformed.
std::optional<int> ParseSwatchMime(const QMimeData* mime, const QByteArray& board_token);

// The board's layout on the surface in whole pixels, so the grid is even: swatch
// 0's corner, the distance from one swatch to the next and a swatch's side.
struct BoardGeometry {
  int left = 8, top = 24;
  int pitch = kDesignPitch, side = 13;
  static constexpr int kDesignPitch = 14;
  // The layout at `pitch` pixels per swatch (the gap grows with it).
  static BoardGeometry ForPitch(int pitch);
  // How much wider (and taller) the board is than at its design size.
  int Grow() const { return 16 * (pitch - kDesignPitch); }
  friend bool operator==(const BoardGeometry&, const BoardGeometry&) = default;
};

// Where swatch `index` sits on the board surface, in pixels.
QRect SwatchPlace(int index, bool flipped, const BoardGeometry& geometry = {});

// The position next to `at` on the screen in the direction of an arrow key (`at`
// itself at the board's edge). Unflipped the board is column-major (position n
// in column n / 16, row n % 16), flipped it is row-major.
int NeighbourOnScreen(int at, Qt::Key key, bool flipped);

// One swatch of the board: hands its events to the board view.
class SwatchCell : public QWidget {
  Q_OBJECT
 public:
  SwatchCell(BoardView* board, int index, QWidget* parent);
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
  BoardView* board_;
  int index_;
};

class BoardView : public QObject {
  Q_OBJECT
 public:
  // The cells are made on `surface`, hidden until the first Sync().
  BoardView(const Editor& editor, QWidget* surface);

  SwatchCell* Cell(int index) const { return cells_.at(static_cast<size_t>(index)); }
  const QByteArray& Token() const { return token_; }
  // Places the cells where the editor's layout puts them and repaints them all.
  void Sync();
  void SetGeometry(const BoardGeometry& geometry);
  const BoardGeometry& Geometry() const { return geometry_; }
  void Repaint(int index);
  // Entries no pixel uses are struck through.
  void SetMarkUnused(bool on);
  // The current swatch shows a dotted frame while the board has the keyboard.
  void SetKeyboardFocus(bool focused);
  // The text a swatch's tooltip shows (index, colour, usage); none by default.
  void SetTooltipText(std::function<QString(int)> text) { tooltip_ = std::move(text); }
  // Before the window goes: no more signals.
  void Close() { closed_ = true; }

  // Called by the cells.
  void Paint(const SwatchCell& cell, QPainter& painter) const;
  void Press(int index, QPoint at);
  void Move(SwatchCell& cell, QPoint at, bool left_held);
  void Release(int index);
  void DoubleClick(int index);
  void Enter(int index);
  void Leave(int index);
  QString Tooltip(int index) const { return tooltip_ ? tooltip_(index) : QString(); }
  bool Accepts(const QMimeData* mime) const { return ParseSwatchMime(mime, token_).has_value(); }
  void Drop(int target, const QMimeData* mime);

 signals:
  // A press and release on one swatch (or a drag that ends where it began).
  void Clicked(int index);
  // A double click: edit the colour. `prev` and `cur` are the marks as they were
  // before the click that began it, so that the range survives the edit.
  void Activated(int index, int prev, int cur);
  // A swatch of this board dropped on another.
  void Dropped(int target, int source);
  // The swatch under the pointer, -1 for none.
  void Hovered(int index);

 private:
  void StartDrag(SwatchCell& cell, QPoint hot_spot);
  void Click(int index);
  void Activate(int index);

  const Editor& editor_;
  QByteArray token_;
  std::array<SwatchCell*, 256> cells_{};
  std::function<QString(int)> tooltip_;
  BoardGeometry geometry_;
  bool mark_unused_ = false;
  bool keyboard_focus_ = false;
  bool closed_ = false;
  int hovered_ = -1;
  // A left press waiting to become a drag (past the platform's drag distance) or
  // a click (released before that).
  int pressed_ = -1;
  QPoint press_pos_;
  bool drop_seen_ = false;
  // The last click, which a second press on the same swatch in time turns into a
  // double click, and the marks as they were before it.
  int last_click_index_ = -1;
  QElapsedTimer last_click_;
  int clicked_index_ = -1;  // the swatch whose click set marks_before_click_
  int marks_before_click_[2] = {0, 0};
  // After a press already opened the colour dialog, the double-click event that
  // the platform may send for the same press is ignored.
  QElapsedTimer suppress_double_click_;
};

}  // namespace hw
