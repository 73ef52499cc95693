#include "qt/qt_services.h"

#include <dirent.h>
#include <unistd.h>

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <cerrno>
#include <cstring>
#include <span>

namespace hw {

namespace {

// The entry of `folder` whose name, as a dialog shows it, is `shown`: the one
// with those bytes, or else the only one that decodes to the same text.
std::optional<std::string> EntryShownAs(const std::string& folder, const QString& shown) {
  const std::string direct = QFile::encodeName(shown).toStdString();
  std::optional<std::string> match;
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return std::nullopt;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == direct) {
      match = name;
      break;
    }
    if (QFile::decodeName(QByteArray::fromStdString(name)) == shown) {
      if (match) {  // two names look alike: neither is chosen
        match.reset();
        break;
      }
      match = name;
    }
  }
  ::closedir(dir);
  return match;
}

}  // namespace

std::string PathToNative(const QString& path) {
  std::string direct = QFile::encodeName(path).toStdString();
  if (!path.contains(QChar::ReplacementCharacter)) return direct;
  // Part by part: the parts with a replacement character are looked up in their
  // folder; a part that is not there (a name to save under) stays as given.
  const QStringList parts = path.split(QLatin1Char('/'));
  std::string out;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    if (i > 0) out += '/';
    if (part.isEmpty()) continue;
    std::optional<std::string> native;
    if (part.contains(QChar::ReplacementCharacter)) native = EntryShownAs(out, part);
    out += native ? *native : QFile::encodeName(part).toStdString();
  }
  return out;
}

std::optional<std::string> LoadArgument(int argc, char** argv) {
  std::optional<std::string> value;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    if ((arg == "--load" || arg == "-load") && i + 1 < argc) {
      value = argv[++i];
    } else if (arg.starts_with("--load=")) {
      value = arg.substr(7);
    }
  }
  if (!value || value->empty() || value->front() == '/') return value;
  std::string cwd(4096, '\0');
  while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE) return value;
    cwd.resize(cwd.size() * 2);
  }
  cwd.resize(std::strlen(cwd.c_str()));
  return cwd + "/" + *value;
}

void ShowPlainMessage(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QString PathFromNative(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

namespace {

// Name filters, and the suffix each filter gives a name typed without one.
struct Filter {
  const char* text;
  const char* suffix;
};
constexpr Filter kOpenPicture[] = {{"Pictures (*.pcx *.png *.PCX *.PNG)", "pcx"},
                                   {"All files (*)", ""}};
constexpr Filter kSavePicture[] = {{"PCX picture (*.pcx)", "pcx"}, {"PNG picture (*.png)", "png"}};
constexpr Filter kOpenPalette[] = {
    {"Palettes (*.gpl *.pal *.act *.hex *.pcx *.GPL *.PAL *.ACT *.HEX *.PCX)", "pcx"},
    {"All files (*)", ""}};
constexpr Filter kSavePalette[] = {{"PCX palette picture (*.pcx)", "pcx"},
                                   {"GIMP palette (*.gpl)", "gpl"},
                                   {"JASC palette (*.pal)", "pal"},
                                   {"Adobe colour table (*.act)", "act"},
                                   {"Hex colour list (*.hex)", "hex"}};

}  // namespace

std::optional<std::string> QtFileDialogs::Ask(FileKind kind, bool save) {
  std::span<const Filter> filters(kOpenPicture);
  if (kind == FileKind::Picture && save) filters = kSavePicture;
  if (kind == FileKind::Palette)
    filters = save ? std::span<const Filter>(kSavePalette) : kOpenPalette;
  QFileDialog dialog(parent_.data());
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList names;
  for (const Filter& f : filters) names << QString::fromLatin1(f.text);
  dialog.setNameFilters(names);
  dialog.setDefaultSuffix(QString::fromLatin1(filters.front().suffix));
  QObject::connect(
      &dialog, &QFileDialog::filterSelected, &dialog,
      [&dialog, names, filters](const QString& chosen) {
        const qsizetype at = names.indexOf(chosen);
        if (at >= 0) {
          dialog.setDefaultSuffix(QString::fromLatin1(filters[static_cast<size_t>(at)].suffix));
        }
      });
  if (!last_dir_.isEmpty()) dialog.setDirectory(last_dir_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  last_dir_ = QFileInfo(files.first()).absolutePath();
  return PathToNative(files.first());
}

std::optional<std::string> QtFileDialogs::OpenFile(FileKind kind) { return Ask(kind, false); }
std::optional<std::string> QtFileDialogs::SaveFile(FileKind kind) { return Ask(kind, true); }

std::optional<PackedColour> QtColourDialog::ChooseColour(PackedColour initial) {
  // A palette reference carries its index in the low byte; only the three colour
  // bytes are meaningful as a starting colour.
  const QColor start(GetRed(initial), GetGreen(initial), GetBlue(initial));
  const QColor chosen = QColorDialog::getColor(start, parent_.data());
  if (!chosen.isValid()) return std::nullopt;
  return PackRGB(RGBTriple{static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                           static_cast<uint8_t>(chosen.blue())});
}

void QtErrorReporter::ShowError(const std::string& message) {
  // Keep the wait pointer from hiding behind the message.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  ShowPlainMessage(parent_.data(), QStringLiteral("Huewright"), QString::fromStdString(message));
  if (busy) QApplication::restoreOverrideCursor();
}

SaveAnswer QtSaveQuestion::AskSave(const QString& file) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Huewright"),
                  QObject::tr("The picture %1 has changes that are not saved.").arg(file),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_.data());
  box.setTextFormat(Qt::PlainText);
  box.setInformativeText(QObject::tr("Save them first?"));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return SaveAnswer::Save;
    case QMessageBox::Discard:
      return SaveAnswer::Discard;
    default:
      return SaveAnswer::Cancel;
  }
}

bool QtLossQuestion::SaveAllTheSame(const std::string& file, const std::string& loss) {
  const QString name = QFileInfo(PathFromNative(file)).fileName();
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Huewright"),
                  QObject::tr("Saving %1 loses %2.").arg(name, QString::fromStdString(loss)),
                  QMessageBox::Save | QMessageBox::Cancel, parent_.data());
  box.setTextFormat(Qt::PlainText);
  box.setInformativeText(QObject::tr("Save all the same?"));
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Save;
}

QtBusyPointer::~QtBusyPointer() {
  while (depth_ > 0) SetWait(false);
}

void QtBusyPointer::SetWait(bool wait) {
  if (wait) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++depth_;
  } else if (depth_ > 0) {
    QApplication::restoreOverrideCursor();
    --depth_;
  }
}

}  // namespace hw
