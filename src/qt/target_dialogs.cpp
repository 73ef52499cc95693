#include "qt/target_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <string>
#include <vector>

namespace hw {

std::optional<ColourTarget> AskTargetBits(QWidget* parent, const ColourTarget& now) {
  QString text = QString::fromStdString(now.name);
  if (!TargetByName(now.name) || text.size() != 5) text = QStringLiteral("5-5-5");
  for (;;) {
    bool ok = false;
    text = QInputDialog::getText(parent, QObject::tr("Target Hardware"),
                                 QObject::tr("Bits per channel, R-G-B (each 1 to 8):"),
                                 QLineEdit::Normal, text, &ok);
    if (!ok) return std::nullopt;
    const std::string bits = text.trimmed().toStdString();
    if (bits.size() == 5) {
      if (auto target = TargetByName(bits)) return target;
    }
    QMessageBox::warning(
        parent, QObject::tr("Target Hardware"),
        QObject::tr("'%1' is not R-G-B bits, each 1 to 8 (like 3-3-2).").arg(text.toHtmlEscaped()));
  }
}

std::optional<ColourTarget> AskCustomLevels(QWidget* parent, const ColourTarget& now) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("CustomLevelsDialog"));
  dialog.setWindowTitle(QObject::tr("Custom levels"));
  auto* form = new QFormLayout;
  std::array<QLineEdit*, 3> edits{};
  const char* names[3] = {"Red", "Green", "Blue"};
  for (size_t c = 0; c < 3; ++c) {
    edits[c] = new QLineEdit(QString::fromStdString(LevelsText(now.levels[c])), &dialog);
    edits[c]->setObjectName(QStringLiteral("Levels%1").arg(QLatin1String(names[c])));
    edits[c]->setMinimumWidth(360);
    form->addRow(QObject::tr("%1:").arg(QObject::tr(names[c])), edits[c]);
  }
  auto* why = new QLabel(&dialog);
  why->setTextFormat(Qt::PlainText);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  auto* box = new QVBoxLayout(&dialog);
  box->addWidget(new QLabel(QObject::tr("Levels per channel, 0 to 255 ascending, separated by "
                                        "commas:"),
                            &dialog));
  box->addLayout(form);
  box->addWidget(why);
  box->addWidget(buttons);
  std::optional<ColourTarget> chosen;
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  // The dialog stays open on a list it cannot read, saying which and why.
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    std::array<std::vector<uint8_t>, 3> levels;
    for (size_t c = 0; c < 3; ++c) {
      std::string cause;
      auto read = ParseLevels(edits[c]->text().toStdString(), &cause);
      if (!read) {
        why->setText(
            QObject::tr("%1: %2").arg(QObject::tr(names[c]), QString::fromStdString(cause)));
        edits[c]->setFocus();
        return;
      }
      levels[c] = std::move(*read);
    }
    chosen = CustomTarget(levels);
    dialog.accept();
  });
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return chosen;
}

}  // namespace hw
