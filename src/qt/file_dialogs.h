// The open and save dialogs for pictures (PCX, PNG) and palettes (PCX, GIMP,
// JASC, Adobe colour tables, hex lists, ..., and the console formats, which only
// the chosen filter tells apart). A save of the picture starts on the
// picture's own folder, name and format; otherwise a dialog starts in the folder
// and on the filter last chosen for its kind, remembered between runs.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <span>
#include <string>

#include "editor/services.h"

class QSettings;

namespace hw {

// A name filter, the suffix it gives a name typed without one, and the palette
// format it names when only the choice of filter can tell it (the console
// formats: "vga6", "bgr15", "md9", "amiga12"), else null.
struct DialogFilter {
  const char* text;
  const char* suffix;
  const char* format = nullptr;
};
// The format a chosen filter names, if it names one.
std::optional<PaletteFormat> FilterFormat(const DialogFilter& filter);
std::span<const DialogFilter> DialogFilters(FileKind kind, bool save);

// Where a dialog starts: a folder (empty: the current one), a name, and the
// filter shown (an index into DialogFilters).
struct DialogStart {
  QString folder;
  QString name;
  int filter = 0;
};
// On `suggested` (its folder and name, and the filter of its suffix) when it is
// given, else on the folder and filter `settings` remembers for the kind.
DialogStart StartOf(FileKind kind, bool save, const QString& suggested, const QSettings& settings);
// Remembers the folder of `chosen` and the filter for the kind.
void RememberChoice(FileKind kind, bool save, const QString& chosen, int filter,
                    QSettings& settings);
// A saved name without a suffix takes the chosen filter's.
QString WithFilterSuffix(const QString& path, const DialogFilter& filter);

// What a save dialog's answer writes: the name (with the filter's suffix when it
// had none) and the format. A typed extension that names a format decides it,
// whatever filter is shown ("bank2.gpl" is a GIMP palette); a console filter
// decides for ".bin" and any name whose extension names no format; another
// filter gives its format to a name whose extension names none.
struct SaveChoice {
  QString path;
  std::optional<PaletteFormat> palette;  // nullopt: the extension decides
  std::optional<PictureFormat> picture;  // nullopt: the extension decides
};
SaveChoice DecideSave(FileKind kind, const QString& typed, const DialogFilter& filter);
// The (non-console) filter whose suffix `path` has, else `otherwise`.
int FilterOfSuffix(std::span<const DialogFilter> filters, const QString& path, int otherwise);

class QtFileDialogs : public FileDialogs {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<std::string> OpenFile(FileKind kind) override;
  std::optional<std::string> SaveFile(FileKind kind, const std::string& suggested) override;
  std::optional<PaletteFormat> ChosenPaletteFormat() const override { return chosen_format_; }
  std::optional<PictureFormat> ChosenPictureFormat() const override {
    return chosen_picture_format_;
  }

 private:
  std::optional<std::string> Ask(FileKind kind, bool save, const std::string& suggested);

  QPointer<QWidget> parent_;
  std::optional<PaletteFormat> chosen_format_;
  std::optional<PictureFormat> chosen_picture_format_;
};

}  // namespace hw
