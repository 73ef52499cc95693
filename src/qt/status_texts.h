// The texts the status bar and the swatches' tooltips show.
#pragma once

#include <QString>

namespace hw {

class Editor;

// Index, colour and usage of one board position ("Index 5   RGB 1, 2, 3   #010203
// used by 7 pixels"); empty for a position off the board.
QString SwatchValuesText(const Editor& editor, int index);

}  // namespace hw
