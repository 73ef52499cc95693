// Huewright: a palette editor for 8-bit indexed pictures.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <random>

#include "base/version.h"
#include "editor/editor.h"
#include "qt/app_icon.h"
#include "qt/command_line.h"
#include "qt/file_dialogs.h"
#include "qt/main_window.h"
#include "qt/qt_services.h"
#include "qt/recovery.h"

int main(int argc, char** argv) {
  // Before QApplication, which needs a display.
  if (const std::optional<int> code = hw::AnswerWithoutDisplay(argc, argv)) return *code;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Huewright"));
  QApplication::setOrganizationName(QStringLiteral("Huewright"));
  QApplication::setApplicationVersion(QLatin1String(hw::kVersion));
  QApplication::setWindowIcon(hw::MakeAppIcon());
  // The installed desktop entry, for the window system to match the windows with.
  QGuiApplication::setDesktopFileName(QStringLiteral("huewright"));

  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addVersionOption();
  for (const hw::WindowOption& o : hw::WindowOptions()) {
    if (*o.name == '\0') {
      parser.addPositionalArgument(QLatin1String(o.help), QString::fromUtf8(o.text),
                                   QStringLiteral("[FILE]"));
    } else {
      parser.addOption(QCommandLineOption(QLatin1String(o.name), QString::fromUtf8(o.text),
                                          o.value ? QLatin1String(o.value) : QString()));
    }
  }
  parser.process(app);

  hw::QtFileDialogs dialogs;
  hw::QtColourDialog colours;
  hw::QtErrorReporter errors;
  hw::QtBusyPointer busy;
  hw::DefaultRandom random(std::random_device{}());
  // The screen is a true-colour one: the palette-size query answers 0.
  hw::Editor editor(hw::EditorServices{&errors, &busy, &random, nullptr}, 0);

  hw::MainWindow window(editor, &dialogs, &colours);
  dialogs.SetParent(&window);
  colours.SetParent(&window);
  errors.SetParent(&window);

  window.RestoreGeometry();
  window.Load();
  window.show();

  // Unsaved work survives SIGTERM, SIGHUP and the session's logout; an earlier
  // run's is offered back first.
  hw::RecoveryKeeper recovery(editor, hw::RecoveryKeeper::DefaultFolder());
  recovery.FollowWindow(window);
  QObject::connect(&recovery, &hw::RecoveryKeeper::QuitRequested, &app,
                   [](int signal) { QCoreApplication::exit(128 + signal); });
  recovery.CatchSignals();
  recovery.OfferEarlier([&window](const QString& name, const QDateTime& written) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Huewright"),
                    QObject::tr("Restore unsaved work on %1 from %2?")
                        .arg(name, written.toString(QStringLiteral("yyyy-MM-dd hh:mm"))),
                    QMessageBox::NoButton, &window);
    box.setTextFormat(Qt::PlainText);
    QPushButton* restore = box.addButton(QObject::tr("Restore"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Discard);
    box.setDefaultButton(restore);
    box.exec();
    return box.clickedButton() == restore;
  });
  window.SyncFromState();

  // The file's own bytes: a name need not be valid UTF-8.
  if (const std::optional<std::string> path = hw::LoadArgument(argc, argv)) {
    QTimer::singleShot(0, &window, [&window, path] { window.OpenFile(*path); });
  }
  const int code = app.exec();
  // A normal end leaves nothing to restore: the user saved or chose to discard.
  if (code == 0) recovery.Remove();
  return code;
}
