#include "qt/qt_services.h"

#include <dirent.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cerrno>
#include <cstring>

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
  std::optional<std::string> value, operand;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--load" || arg == "-load") && i + 1 < argc) {
      value = argv[++i];
    } else if (options && arg.starts_with("--load=")) {
      value = arg.substr(7);
    } else if ((!options || !arg.starts_with("-")) && !operand) {
      operand = arg;
    }
  }
  if (!value) value = operand;
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

std::optional<BoardEntry> QtColourDialog::ChooseColour(int index, BoardEntry initial) {
  const QColor start(initial.rgb.R, initial.rgb.G, initial.rgb.B, initial.A);
  const QColor chosen =
      QColorDialog::getColor(start, parent_.data(), QObject::tr("Colour of entry %1").arg(index),
                             QColorDialog::ShowAlphaChannel);
  if (!chosen.isValid()) return std::nullopt;
  const auto byte = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  return BoardEntry{RGBTriple{byte(chosen.red()), byte(chosen.green()), byte(chosen.blue())},
                    byte(chosen.alpha())};
}

void QtErrorReporter::ShowError(const Error& error) {
  // Keep the wait pointer from hiding behind the message.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  ShowPlainMessage(parent_.data(), QStringLiteral("Huewright"),
                   QString::fromStdString(error.Text()));
  if (busy) QApplication::restoreOverrideCursor();
}

SaveAnswer QtQuestions::AskSave(const std::string& picture) {
  const QString file = QFileInfo(PathFromNative(picture)).fileName();
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

bool QtQuestions::SaveAllTheSame(const std::string& file, const std::string& picture,
                                 const SaveLoss& loss) {
  const QString name = QFileInfo(PathFromNative(file)).fileName();
  QStringList lines;
  if (loss.frames > 1) {
    lines << QObject::tr(
                 "%1 has %2 frames: the other %3 frames, their delays and the loop "
                 "will be lost.")
                 .arg(QFileInfo(PathFromNative(picture)).fileName(), QString::number(loss.frames),
                      QString::number(loss.frames - 1));
  }
  if (loss.what) {
    lines << QObject::tr("Saving %1 loses %2.").arg(name, QString::fromStdString(*loss.what));
  }
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Huewright"), lines.join(QChar('\n')),
                  QMessageBox::Save | QMessageBox::Cancel, parent_.data());
  box.setTextFormat(Qt::PlainText);
  box.setInformativeText(QObject::tr("Save all the same?"));
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Save;
}

bool QtQuestions::ExportFixedLength(const std::string& question) {
  QString text = QString::fromStdString(question);
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  QMessageBox box(QMessageBox::Question, QObject::tr("Export Cycle Animation"), text,
                  QMessageBox::Cancel, parent_.data());
  box.setObjectName(QStringLiteral("CycleLengthQuestion"));
  box.setTextFormat(Qt::PlainText);
  QAbstractButton* yes = box.addButton(QObject::tr("Export"), QMessageBox::AcceptRole);
  box.setDefaultButton(static_cast<QPushButton*>(yes));
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == yes;
}

std::optional<int> QtQuestions::TransparentPosition(const std::string& file,
                                                    const BoardEntries& /*entries*/, int count) {
  const QString name = QFileInfo(PathFromNative(file)).fileName();
  QInputDialog dialog(parent_.data());
  dialog.setWindowTitle(QStringLiteral("Huewright"));
  dialog.setInputMode(QInputDialog::IntInput);
  dialog.setIntRange(0, std::max(count, 1) - 1);
  dialog.setIntValue(0);
  dialog.setLabelText(QObject::tr("%1 has no transparent entry, and some pixels are transparent.\n"
                                  "Which of its positions becomes transparent? It keeps its "
                                  "colour and takes only the transparent pixels.")
                          .arg(name));
  // A file's name is shown as it is, never as markup.
  for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.intValue();
}

std::optional<TileCheckOptions> QtQuestions::TileCheckSettings(const TileCheckOptions& last) {
  QDialog dialog(parent_.data());
  dialog.setObjectName(QStringLiteral("TileCheckDialog"));
  dialog.setWindowTitle(QObject::tr("Check Tiles"));
  auto* form = new QFormLayout(&dialog);
  const auto side = [&dialog](const char* name, int value) {
    auto* box = new QSpinBox(&dialog);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, 65535);
    box->setValue(value);
    return box;
  };
  QSpinBox* width = side("TileWidth", last.tile_width);
  QSpinBox* height = side("TileHeight", last.tile_height);
  auto* bank = new QComboBox(&dialog);
  bank->setObjectName(QStringLiteral("BankSize"));
  bank->addItem(QObject::tr("16 entries (16 banks)"), 16);
  bank->addItem(QObject::tr("4 entries (64 banks)"), 4);
  bank->setCurrentIndex(last.bank_size == 4 ? 1 : 0);
  auto* shared = new QCheckBox(QObject::tr("Position 0 of every bank is shared"), &dialog);
  shared->setObjectName(QStringLiteral("SharedZero"));
  shared->setChecked(last.shared_zero);
  form->addRow(QObject::tr("Tile width:"), width);
  form->addRow(QObject::tr("Tile height:"), height);
  form->addRow(QObject::tr("Bank:"), bank);
  form->addRow(shared);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return TileCheckOptions{width->value(), height->value(), bank->currentData().toInt(),
                          shared->isChecked()};
}

std::optional<BankChoice> QtQuestions::ChooseBank(const BankChoice& last) {
  QDialog dialog(parent_.data());
  dialog.setObjectName(QStringLiteral("SaveBankDialog"));
  dialog.setWindowTitle(QObject::tr("Save Bank"));
  auto* form = new QFormLayout(&dialog);
  auto* size = new QComboBox(&dialog);
  size->setObjectName(QStringLiteral("BankSize"));
  size->addItem(QObject::tr("16 entries (16 banks)"), 16);
  size->addItem(QObject::tr("4 entries (64 banks)"), 4);
  size->setCurrentIndex(last.size == 4 ? 1 : 0);
  auto* bank = new QSpinBox(&dialog);
  bank->setObjectName(QStringLiteral("BankNumber"));
  bank->setRange(0, 256 / (last.size == 4 ? 4 : 16) - 1);
  bank->setValue(last.bank);
  QObject::connect(size, &QComboBox::currentIndexChanged, bank,
                   [size, bank] { bank->setMaximum(256 / size->currentData().toInt() - 1); });
  form->addRow(QObject::tr("Bank size:"), size);
  form->addRow(QObject::tr("Bank:"), bank);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return BankChoice{bank->value(), size->currentData().toInt()};
}

std::optional<int> QtQuestions::ColourCount(int used, int low, int high) {
  QInputDialog dialog(parent_.data());
  dialog.setWindowTitle(QObject::tr("Reduce Colours"));
  dialog.setInputMode(QInputDialog::IntInput);
  dialog.setIntRange(low, high);
  dialog.setIntValue(std::clamp(used > 16 ? 16 : used, low, high));
  dialog.setLabelText(
      used == 1 ? QObject::tr("The picture uses 1 colour.\nColours to keep:")
                : QObject::tr("The picture uses %1 colours.\nColours to keep:").arg(used));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.intValue();
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
