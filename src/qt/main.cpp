// Huewright: a palette editor for 8-bit indexed pictures.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>

#include "base/version.h"
#include "editor/editor.h"
#include "formats/pictures/pixel_limit.h"
#include "qt/app_icon.h"
#include "qt/command_line.h"
#include "qt/file_dialogs.h"
#include "qt/main_window.h"
#include "qt/qt_services.h"
#include "qt/recovery.h"

namespace {

// The picture size limit from "--max-pixels N" (anywhere among the arguments, up
// to "--") or HUEWRIGHT_MAX_PIXELS; false after a usage error, printed.
bool SetPixelLimitFromArguments(int argc, char** argv) {
  std::optional<std::string> option;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    // Qt's parser takes both "--max-pixels N" and "--max-pixels=N" (and one dash).
    const bool joined = arg.starts_with("--max-pixels=") || arg.starts_with("-max-pixels=");
    if (arg != "--max-pixels" && arg != "-max-pixels" && !joined) continue;
    if ((!joined && i + 1 == argc) || option) {
      std::fprintf(stderr, "huewright: --max-pixels takes one number of pixels\n");
      return false;
    }
    option = joined ? arg.substr(arg.find('=') + 1) : std::string(argv[++i]);
  }
  const hw::PixelLimitChoice choice =
      hw::ChoosePixelLimit(option, std::getenv("HUEWRIGHT_MAX_PIXELS"));
  if (!choice.usage_error.empty()) {
    std::fprintf(stderr, "huewright: %s\n", choice.usage_error.c_str());
    return false;
  }
  if (!choice.warning.empty()) std::fprintf(stderr, "%s\n", choice.warning.c_str());
  hw::SetPixelLimit(choice.limit);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Before QApplication, which needs a display.
  if (const std::optional<int> code = hw::AnswerWithoutDisplay(argc, argv)) return *code;
  if (!SetPixelLimitFromArguments(argc, argv)) return 2;
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
  hw::RecoveryKeeper recovery(editor, hw::RecoveryKeeper::DefaultFolder(), nullptr, nullptr,
                              hw::RecoveryKeeper::OlderFolder());
  if (!recovery.Off().empty()) {
    // Said once, where a log keeps it and (below) on the status line.
    std::fprintf(stderr, "huewright: %s\n", recovery.Off().c_str());
    editor.Remark(recovery.Off());
  }
  recovery.FollowWindow(window);
  QObject::connect(&recovery, &hw::RecoveryKeeper::QuitRequested, &app,
                   [](int signal) { QCoreApplication::exit(128 + signal); });
  recovery.CatchSignals();
  recovery.OfferEarlier([&window](const QString& path, const QDateTime& written) {
    return hw::AskToRestore(&window, path, written);
  });
  // A signal while the question was shown: the run ends with every file as it was.
  if (recovery.EndingSignal() != 0) return 128 + recovery.EndingSignal();
  window.SyncFromState();

  // The file's own bytes: a name need not be valid UTF-8.
  if (const std::optional<std::string> path = hw::LoadArgument(argc, argv)) {
    QTimer::singleShot(0, &window, [&window, path] { window.OpenFile(*path); });
  }
  // After the picture given to load, whose own message would hide it.
  if (!recovery.Off().empty()) {
    QTimer::singleShot(0, &window, [&editor, &recovery] { editor.Remark(recovery.Off()); });
  }
  const int code = app.exec();
  // A normal end leaves nothing to restore: the user saved or chose to discard.
  if (code == 0) recovery.Remove();
  return code;
}
