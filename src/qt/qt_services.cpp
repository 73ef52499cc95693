#include "qt/qt_services.h"

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <span>

namespace hw {

std::string PathToNative(const QString& path) {
  return QFile::encodeName(path).toStdString();
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
  if (kind == FileKind::Palette) filters = save ? std::span<const Filter>(kSavePalette) : kOpenPalette;
  QFileDialog dialog(parent_.data());
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList names;
  for (const Filter& f : filters) names << QString::fromLatin1(f.text);
  dialog.setNameFilters(names);
  dialog.setDefaultSuffix(QString::fromLatin1(filters.front().suffix));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, names, filters](const QString& chosen) {
                     const qsizetype at = names.indexOf(chosen);
                     if (at >= 0) {
                       dialog.setDefaultSuffix(
                           QString::fromLatin1(filters[static_cast<size_t>(at)].suffix));
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

std::optional<std::string> PresetFileDialogs::OpenFile(FileKind kind) {
  if (preset_open_) {
    std::optional<std::string> answer = std::move(preset_open_);
    preset_open_.reset();
    return answer;
  }
  return inner_ ? inner_->OpenFile(kind) : std::nullopt;
}

std::optional<std::string> PresetFileDialogs::SaveFile(FileKind kind) {
  return inner_ ? inner_->SaveFile(kind) : std::nullopt;
}

std::optional<PackedColour> QtColourDialog::ChooseColour(PackedColour initial) {
  // A palette reference carries its index in the low byte; only the three colour
  // bytes are meaningful as a starting colour.
  const QColor start(GetRed(initial), GetGreen(initial), GetBlue(initial));
  const QColor chosen = QColorDialog::getColor(start, parent_.data());
  if (!chosen.isValid()) return std::nullopt;
  return PackRGB(RGBTriple{static_cast<uint8_t>(chosen.red()),
                           static_cast<uint8_t>(chosen.green()),
                           static_cast<uint8_t>(chosen.blue())});
}

void QtErrorReporter::ShowError(const std::string& message) {
  // Keep the wait pointer from hiding behind the message.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  QMessageBox::warning(parent_.data(), QStringLiteral("Huewright"),
                       QString::fromStdString(message));
  if (busy) QApplication::restoreOverrideCursor();
}

SaveAnswer QtSaveQuestion::AskSave(const QString& file) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Huewright"),
                  QObject::tr("The picture %1 has changes that are not saved.").arg(file),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_.data());
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
