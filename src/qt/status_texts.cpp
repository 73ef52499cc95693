#include "qt/status_texts.h"

#include <QCoreApplication>
#include <algorithm>

#include "editor/editor.h"

namespace hw {

QString NumberText(int64_t value) {
  return value >= 0 ? QStringLiteral(" %1").arg(value) : QString::number(value);
}

QString PictureCaption(const Editor& editor) {
  if (!editor.PictureLoaded()) return QStringLiteral("<None Loaded>");
  return QString::fromStdString(editor.PicturePath()) + QStringLiteral(": ") +
         NumberText(editor.PictureWidth()) + QStringLiteral(" x ") +
         NumberText(editor.PictureHeight());
}

QString SwatchValuesText(const Editor& editor, int index) {
  if (index < 0 || index > 255) return {};
  const auto tr = [](const char* text) { return QCoreApplication::translate("MainWindow", text); };
  const BoardEntry& e = editor.Board().entries[static_cast<size_t>(index)];
  const RGBTriple c = e.rgb;
  const uint32_t used = editor.Usage()[static_cast<size_t>(index)];
  // An entry that is not opaque says so: its hex code gains the alpha byte.
  const QString hex = e.A == 255 ? QString::asprintf("#%02x%02x%02x", c.R, c.G, c.B)
                                 : QString::asprintf("#%02x%02x%02x%02x   ", c.R, c.G, c.B, e.A) +
                                       tr("alpha %1").arg(e.A);
  // A named entry shows its name first; an unnamed one is "Index k".
  const std::string& name = editor.Board().names.At(static_cast<size_t>(index));
  const QString title = name.empty()
                            ? tr("Index %1").arg(index)
                            : tr("%1 (index %2)").arg(QString::fromStdString(name)).arg(index);
  // A colour the target hardware cannot show says so (the swatch's corner mark).
  const ColourTarget& target = editor.Board().target;
  const QString off =
      OnTarget(target, c)
          ? QString()
          : QStringLiteral("   ") +
                tr("off %1: snaps to #%2")
                    .arg(QString::fromStdString(TargetTitle(target)))
                    .arg(QString::asprintf("%02x%02x%02x", SnapColour(target, c).R,
                                           SnapColour(target, c).G, SnapColour(target, c).B));
  return tr("%1   RGB %2, %3, %4   %5   %6%7")
      .arg(title)
      .arg(c.R)
      .arg(c.G)
      .arg(c.B)
      .arg(hex)
      .arg(!editor.PictureLoaded() ? tr("no picture")
           : used == 1             ? tr("used by 1 pixel")
           : used == 0             ? tr("unused")
                                   : tr("used by %1 pixels").arg(used))
      .arg(off);
}

QStringList WrapFields(const QString& text, const QFontMetrics& metrics, int width) {
  width = std::max(width, 1);
  const QString gap = QStringLiteral("   ");
  QStringList lines;
  QString line;
  // Adds `piece` to the line after `joint`, or starts a new line with it.
  const auto put = [&](const QString& piece, const QString& joint) {
    if (line.isEmpty()) {
      line = piece;
    } else if (metrics.horizontalAdvance(line + joint + piece) <= width) {
      line += joint + piece;
    } else {
      lines << line;
      line = piece;
    }
  };
  for (const QString& field : text.split(gap, Qt::SkipEmptyParts)) {
    const QString trimmed = field.trimmed();
    if (trimmed.isEmpty()) continue;
    if (metrics.horizontalAdvance(trimmed) <= width) {
      put(trimmed, gap);
      continue;
    }
    bool first = true;
    for (const QString& word : trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      QString rest = word;
      // A word too wide for any line goes in pieces that fit.
      while (metrics.horizontalAdvance(rest) > width && rest.size() > 1) {
        qsizetype fit = 1;
        while (fit < rest.size() && metrics.horizontalAdvance(rest.left(fit + 1)) <= width) ++fit;
        put(rest.left(fit), first ? gap : QStringLiteral(" "));
        first = false;
        lines << line;
        line.clear();
        rest = rest.mid(fit);
      }
      put(rest, first ? gap : QStringLiteral(" "));
      first = false;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

int EntryAtPixel(const Editor& editor, int x, int y) {
  if (!editor.PictureLoaded() || x < 0 || y < 0 || x >= editor.PictureWidth() ||
      y >= editor.PictureHeight()) {
    return -1;
  }
  const size_t k =
      static_cast<size_t>(y) * static_cast<size_t>(editor.PictureWidth()) + static_cast<size_t>(x);
  return k < editor.Pixels().size() ? editor.Pixels()[k] : -1;
}

QString PixelValuesText(const Editor& editor, int x, int y) {
  const int index = EntryAtPixel(editor, x, y);
  if (index < 0) return {};
  return QCoreApplication::translate("MainWindow", "Pixel %1, %2   ").arg(x).arg(y) +
         SwatchValuesText(editor, index);
}

}  // namespace hw
