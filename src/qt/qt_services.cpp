#include "qt/qt_services.h"

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace hw {

std::string PathToNative(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString PathFromNative(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::optional<std::string> QtFileDialogs::Ask(bool save) {
  QFileDialog dialog(parent_.data());
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("pcx"));
  dialog.setNameFilters({QStringLiteral("*.pcx"), QStringLiteral("*")});
  if (!last_dir_.isEmpty()) dialog.setDirectory(last_dir_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  last_dir_ = QFileInfo(files.first()).absolutePath();
  return PathToNative(files.first());
}

std::optional<std::string> QtFileDialogs::OpenFile() { return Ask(false); }
std::optional<std::string> QtFileDialogs::SaveFile() { return Ask(true); }

std::optional<std::string> PresetFileDialogs::OpenFile() {
  if (preset_open_) {
    std::optional<std::string> answer = std::move(preset_open_);
    preset_open_.reset();
    return answer;
  }
  return inner_ ? inner_->OpenFile() : std::nullopt;
}

std::optional<std::string> PresetFileDialogs::SaveFile() {
  return inner_ ? inner_->SaveFile() : std::nullopt;
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
