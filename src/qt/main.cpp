// Huewright: a palette editor for 8-bit PCX pictures.
#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "editor/editor.h"
#include "qt/app_icon.h"
#include "qt/form_drag_n_drop.h"
#include "qt/qt_services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Huewright"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  QApplication::setWindowIcon(hw::MakeAppIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Palette editor for 8-bit PCX pictures"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption load_option(
      QStringLiteral("load"),
      QStringLiteral("Load this picture at start, as if chosen with \"Load Pic...\"."),
      QStringLiteral("file"));
  parser.addOption(load_option);
  parser.process(app);

  hw::QtFileDialogs dialogs;
  hw::PresetFileDialogs files(&dialogs);
  hw::QtColourDialog colours;
  hw::QtErrorReporter errors;
  hw::QtBusyPointer busy;
  hw::MtRandom random;
  // The screen is a true-colour one: the palette-size query answers 0.
  hw::Editor editor(hw::EditorServices{&errors, &busy, &random, nullptr}, 0);

  hw::FormDragNDrop form(editor, &files, &colours);
  dialogs.SetParent(&form);
  colours.SetParent(&form);
  errors.SetParent(&form);

  form.Load();
  form.show();

  if (parser.isSet(load_option)) {
    const std::string path =
        hw::PathToNative(QFileInfo(parser.value(load_option)).absoluteFilePath());
    QTimer::singleShot(0, &form, [&form, &files, path] {
      files.PresetOpen(path);
      form.findChild<QAbstractButton*>(QStringLiteral("ButtonLoad"))->click();
    });
  }
  return app.exec();
}
