#include "qt/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "formats/palettes/palette_console.h"
#include "formats/palettes/palette_files.h"
#include "formats/pictures/picture_formats.h"
#include "qt/qt_services.h"

namespace hw {

namespace {

// The filters that list picture formats, made once from the table of formats.
struct PictureFilters {
  std::vector<std::string> texts;  // kept: the filters point into them
  std::vector<DialogFilter> open_picture, save_picture, open_palette;
};

const PictureFilters& MadePictureFilters() {
  static const PictureFilters made = [] {
    PictureFilters f;
    std::string lower, upper;
    for (const PictureFormatRow& row : PictureFormatRows()) {
      for (std::string_view extension : row.extensions) {
        if (extension.empty()) continue;
        lower += " *" + std::string(extension);
        std::string up(extension);
        for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        upper += " *" + up;
      }
    }
    f.texts.reserve(PictureFormatRows().size() + 2);
    f.texts.push_back("Pictures (" + lower.substr(1) + upper + ")");
    f.texts.push_back("Palettes (*.gpl *.pal *.act *.hex *.ase *.aco *.txt" + lower +
                      " *.GPL *.PAL *.ACT *.HEX *.ASE *.ACO *.TXT" + upper + ")");
    for (const PictureFormatRow& row : PictureFormatRows()) {
      std::string patterns;
      for (std::string_view extension : row.extensions) {
        if (!extension.empty())
          patterns += (patterns.empty() ? "*" : " *") + std::string(extension);
      }
      f.texts.push_back(std::string(row.name) + " picture (" + patterns + ")");
    }
    // The suffix a filter adds is its first extension, without the dot.
    const auto suffix = [](const PictureFormatRow& row) { return row.extensions[0].data() + 1; };
    const char* first = suffix(PictureFormatRows()[0]);
    f.open_picture = {{f.texts[0].c_str(), first}, {"All files (*)", ""}};
    for (size_t i = 0; i < PictureFormatRows().size(); ++i) {
      f.save_picture.push_back({f.texts[i + 2].c_str(), suffix(PictureFormatRows()[i])});
    }
    f.open_palette = {{f.texts[1].c_str(), first},
                      {"All files (*)", ""},
                      {"vga6: VGA 6-bit values (*)", "", "vga6"},
                      {"bgr15: 15-bit words, little-endian (*)", "", "bgr15"},
                      {"md9: 9-bit words, big-endian (*)", "", "md9"},
                      {"amiga12: 12-bit words, big-endian (*)", "", "amiga12"}};
    return f;
  }();
  return made;
}

constexpr DialogFilter kSavePalette[] = {
    {"PCX palette picture (*.pcx)", "pcx"},
    {"GIMP palette (*.gpl)", "gpl"},
    {"JASC palette (*.pal)", "pal"},
    {"Adobe colour table (*.act)", "act"},
    {"Hex colour list (*.hex)", "hex"},
    {"Paint.NET palette (*.txt)", "txt"},
    {"PNG strip (*.png)", "png"},
    {"vga6: VGA 6-bit values (*.bin)", "bin", "vga6"},
    {"bgr15: 15-bit words, little-endian (*.bin)", "bin", "bgr15"},
    {"md9: 9-bit words, big-endian (*.bin)", "bin", "md9"},
    {"amiga12: 12-bit words, big-endian (*.bin)", "bin", "amiga12"}};

QString Key(FileKind kind, bool save, const char* what) {
  return QStringLiteral("dialogs/%1%2/%3")
      .arg(kind == FileKind::Picture ? QStringLiteral("picture") : QStringLiteral("palette"))
      .arg(save ? QStringLiteral("-save") : QString())
      .arg(QLatin1String(what));
}

// The folder is shared by the open and save dialogs of a kind.
QString FolderKey(FileKind kind) { return Key(kind, false, "folder"); }

}  // namespace

std::optional<PaletteFormat> FilterFormat(const DialogFilter& filter) {
  if (filter.format == nullptr) return std::nullopt;
  return ConsoleFormatByName(filter.format);
}

std::span<const DialogFilter> DialogFilters(FileKind kind, bool save) {
  const PictureFilters& made = MadePictureFilters();
  if (kind == FileKind::Picture) return save ? made.save_picture : made.open_picture;
  return save ? std::span<const DialogFilter>(kSavePalette) : made.open_palette;
}

DialogStart StartOf(FileKind kind, bool save, const QString& suggested, const QSettings& settings) {
  const std::span<const DialogFilter> filters = DialogFilters(kind, save);
  DialogStart start;
  start.folder = settings.value(FolderKey(kind)).toString();
  const int remembered = settings.value(Key(kind, save, "filter"), 0).toInt();
  start.filter = remembered >= 0 && remembered < static_cast<int>(filters.size()) ? remembered : 0;
  if (suggested.isEmpty()) return start;
  const QFileInfo info(suggested);
  start.folder = info.absolutePath();
  start.name = info.fileName();
  const QString suffix = info.suffix().toLower();
  for (size_t i = 0; i < filters.size(); ++i) {
    // A console format is never guessed from a name.
    if (!suffix.isEmpty() && suffix == QLatin1String(filters[i].suffix) && !filters[i].format) {
      start.filter = static_cast<int>(i);
    }
  }
  return start;
}

void RememberChoice(FileKind kind, bool save, const QString& chosen, int filter,
                    QSettings& settings) {
  settings.setValue(FolderKey(kind), QFileInfo(chosen).absolutePath());
  settings.setValue(Key(kind, save, "filter"), filter);
}

QString WithFilterSuffix(const QString& path, const DialogFilter& filter) {
  if (*filter.suffix == '\0' || !QFileInfo(path).suffix().isEmpty()) return path;
  return path + QLatin1Char('.') + QLatin1String(filter.suffix);
}

namespace {

// The picture format a save writes for this suffix, if it names one.
std::optional<PictureFormat> PictureFormatOfSuffix(const QString& suffix) {
  if (suffix.isEmpty()) return std::nullopt;
  return PictureFormatOfExtension(("x." + suffix).toStdString());
}

std::optional<PaletteFormat> PaletteFormatOfSuffix(const QString& suffix) {
  if (suffix.isEmpty()) return std::nullopt;
  return PaletteFormatForExtension(("x." + suffix).toStdString());
}

}  // namespace

int FilterOfSuffix(std::span<const DialogFilter> filters, const QString& path, int otherwise) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix.isEmpty()) return otherwise;
  for (size_t i = 0; i < filters.size(); ++i) {
    if (!filters[i].format && suffix == QLatin1String(filters[i].suffix))
      return static_cast<int>(i);
  }
  // A picture format's other extensions (".iff") are its filter's later patterns.
  if (const auto format = PictureFormatOfSuffix(suffix)) {
    const std::string_view first = PictureFormatRowOf(*format).extensions[0];
    const QString own = QString::fromLatin1(first.data() + 1, qsizetype(first.size()) - 1);
    if (suffix != own) return FilterOfSuffix(filters, "x." + own, otherwise);
  }
  return otherwise;
}

SaveChoice DecideSave(FileKind kind, const QString& typed, const DialogFilter& filter) {
  SaveChoice choice{WithFilterSuffix(typed, filter), std::nullopt, std::nullopt};
  const QString suffix = QFileInfo(typed).suffix().toLower();
  const QString filter_suffix = QString::fromLatin1(filter.suffix);
  if (kind == FileKind::Picture) {
    if (!suffix.isEmpty() && !PictureFormatOfSuffix(suffix)) {
      choice.picture = PictureFormatOfSuffix(filter_suffix);
    }
    return choice;
  }
  if (suffix.isEmpty() || PaletteFormatOfSuffix(suffix)) {
    // The name's extension (or the filter's, now on the name) decides, except for
    // a console filter's ".bin", which names no format by itself.
    if (FilterFormat(filter) && (suffix.isEmpty() || suffix == filter_suffix)) {
      choice.palette = FilterFormat(filter);
    }
    return choice;
  }
  choice.palette =
      FilterFormat(filter) ? FilterFormat(filter) : PaletteFormatOfSuffix(filter_suffix);
  return choice;
}

std::optional<std::string> QtFileDialogs::Ask(FileKind kind, bool save,
                                              const std::string& suggested) {
  const std::span<const DialogFilter> filters = DialogFilters(kind, save);
  QSettings settings;
  const DialogStart start = StartOf(kind, save, PathFromNative(suggested), settings);
  QFileDialog dialog(parent_.data());
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList names;
  for (const DialogFilter& f : filters) names << QString::fromLatin1(f.text);
  dialog.setNameFilters(names);
  if (!start.folder.isEmpty() && QDir(start.folder).exists()) dialog.setDirectory(start.folder);
  dialog.selectNameFilter(names.value(start.filter));
  // The dialog's own overwrite question sees the name with the filter's suffix.
  const auto suffix_of = [filters](int at) {
    return QString::fromLatin1(filters[static_cast<size_t>(at)].suffix);
  };
  dialog.setDefaultSuffix(suffix_of(start.filter));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, names, suffix_of](const QString& chosen) {
                     const qsizetype at = names.indexOf(chosen);
                     if (at >= 0) dialog.setDefaultSuffix(suffix_of(static_cast<int>(at)));
                   });
  if (!start.name.isEmpty()) dialog.selectFile(start.name);
  chosen_format_.reset();
  chosen_picture_format_.reset();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  int filter = std::max<int>(0, static_cast<int>(names.indexOf(dialog.selectedNameFilter())));
  const DialogFilter& chosen_filter = filters[static_cast<size_t>(filter)];
  QString chosen = files.first();
  if (save) {
    const SaveChoice decided = DecideSave(kind, chosen, chosen_filter);
    chosen = decided.path;
    chosen_format_ = decided.palette;
    chosen_picture_format_ = decided.picture;
    // The next save starts on the format this one wrote, typed or chosen.
    if (!decided.palette && !decided.picture) filter = FilterOfSuffix(filters, chosen, filter);
  } else if (kind == FileKind::Palette) {
    chosen_format_ = FilterFormat(chosen_filter);
  }
  RememberChoice(kind, save, chosen, filter, settings);
  return PathToNative(chosen);
}

std::optional<std::string> QtFileDialogs::OpenFile(FileKind kind) {
  return Ask(kind, false, std::string());
}

std::optional<std::string> QtFileDialogs::SaveFile(FileKind kind, const std::string& suggested) {
  return Ask(kind, true, suggested);
}

}  // namespace hw
