// The texts the status bar and the swatches' tooltips show.
#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStringList>
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

// `text`'s fields (parts apart by three spaces) in lines no wider than `width`
// under `metrics`: as many whole fields a line as fit, a field wider than a line
// broken at its spaces, a word wider than a line at a character. Nothing is left
// out: the lines joined give every field in order.
QStringList WrapFields(const QString& text, const QFontMetrics& metrics, int width);

// The entry picture pixel (x, y) uses, or -1 for a place off the picture.
int EntryAtPixel(const Editor& editor, int x, int y);

}  // namespace hw
