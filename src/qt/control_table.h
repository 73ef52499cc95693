// The main window's controls, listed once: object name, kind, caption, place and
// whether they show. Places are in twips from the top-left corner of the board
// (swatch 0's design place), so the table reads as where each control sits
// beside, above or below the board; the three merge options are placed inside
// their frame instead. The names are the object names tests and tools find the
// controls by.
#pragma once

#include <QString>
#include <QWidget>

namespace hw {

// Where the board's top-left corner lies on the board surface, in twips.
inline constexpr double kBoardLeftTwips = 120;
inline constexpr double kBoardTopTwips = 360;

enum class ControlKind { Button, Label, Edit, Check, Option, Frame, List, ScrollBar };

struct ControlRow {
  const char* name;
  ControlKind kind;
  const char* caption;
  double left, top, width, height;  // twips from the board's corner (or the frame's)
  bool hidden = false;              // built and kept up to date, never shown
  const char* inside = nullptr;     // the frame that holds it, if any
};

// Builds every control of the table on `surface` with its starting state (ticks,
// enabled states, ranges, list items) and tooltips; find them by name.
void BuildControlTable(QWidget* surface);

// Places the controls for a board `grow` pixels wider and taller than its design
// size: those right of the board move right with it, those below move down, and
// the picture and status lines at the bottom widen.
void PlaceControls(QWidget* surface, int grow);

// Tab goes from the flip button to the board (the surface), then through the
// options under it, then down the command buttons on the right.
void SetControlTabOrder(QWidget* surface);

template <typename W>
W* Control(const QWidget* surface, const char* name) {
  return surface->findChild<W*>(QString::fromLatin1(name));
}

}  // namespace hw
