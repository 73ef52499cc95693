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
// used by 7 pixels"; a see-through entry adds its alpha: "#0102036e   alpha 110");
// empty for a position off the board.
QString SwatchValuesText(const Editor& editor, int index);

// The entry of the picture's pixel (x, y): its place, then the values of the
// entry it uses ("Pixel 4, 2   Index 5   RGB ..."); empty for a place off the picture.
QString PixelValuesText(const Editor& editor, int x, int y);

// The entry picture pixel (x, y) uses, or -1 for a place off the picture.
int EntryAtPixel(const Editor& editor, int x, int y);

}  // namespace hw
