// The texts the status bar and the swatches' tooltips show.
#pragma once

#include <QString>
#include <cstdint>

namespace hw {

class Editor;

// A number as the labels show it: a space in the sign position of a number of 0
// or more, a minus sign otherwise (" 87", "-3").
QString NumberText(int64_t value);

// The picture's file and size ("/x/tree.pcx:  320 x  200"), for the picture's
// label and the picture window's title; "<None Loaded>" before a picture.
QString PictureCaption(const Editor& editor);

// Index, colour and usage of one board position ("Index 5   RGB 1, 2, 3   #010203
// used by 7 pixels"); empty for a position off the board.
QString SwatchValuesText(const Editor& editor, int index);

}  // namespace hw
