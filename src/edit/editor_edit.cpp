// The editor's commands that rearrange and recolour entries: thin calls into the
// board algorithms, with the editor itself as the BoardOps they report to.
#include "app/core/editor.h"
#include "edit/sort.h"
#include "edit/spread.h"
#include "edit/moves.h"

namespace hw {

void Editor::Blot_DragDrop(int16_t target, int16_t source) { DropBlot(s_, *this, target, source); }

void Editor::ButtonUndo_Click() { UndoMove(s_, *this); }

void Editor::CommandReverse_Click() { ReverseRange(s_, *this); }

void Editor::CommandSort_Click() { SortCommand(s_, *this); }

void Editor::CommandSpreadRGB_Click() { RangeRGB(s_, *this); }

void Editor::CommandSpreadHSV_Click() {
  const int16_t direction = 1;
  RangeHSV(s_, *this, direction);
}

void Editor::CommandSpreadHSVReverse_Click() {
  const int16_t direction = -1;
  RangeHSV(s_, *this, direction);
}

}  // namespace hw
