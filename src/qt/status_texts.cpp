#include "qt/status_texts.h"

#include <QCoreApplication>

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
  const RGBTriple c = editor.Board().entries[static_cast<size_t>(index)].rgb;
  const uint32_t used = editor.Usage()[static_cast<size_t>(index)];
  return tr("Index %1   RGB %2, %3, %4   #%5   %6")
      .arg(index)
      .arg(c.R)
      .arg(c.G)
      .arg(c.B)
      .arg(QString::asprintf("%02x%02x%02x", c.R, c.G, c.B))
      .arg(!editor.PictureLoaded() ? tr("no picture")
           : used == 1             ? tr("used by 1 pixel")
           : used == 0             ? tr("unused")
                                   : tr("used by %1 pixels").arg(used));
}

}  // namespace hw
