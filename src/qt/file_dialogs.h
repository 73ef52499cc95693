// The open and save dialogs for pictures (PCX, PNG) and palettes (PCX, GIMP,
// JASC, Adobe colour tables, hex lists). A save of the picture starts on the
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

// A name filter, and the suffix it gives a name typed without one.
struct DialogFilter {
  const char* text;
  const char* suffix;
};
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

class QtFileDialogs : public FileDialogs {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<std::string> OpenFile(FileKind kind) override;
  std::optional<std::string> SaveFile(FileKind kind, const std::string& suggested) override;

 private:
  std::optional<std::string> Ask(FileKind kind, bool save, const std::string& suggested);

  QPointer<QWidget> parent_;
};

}  // namespace hw
