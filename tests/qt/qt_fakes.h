// The main window over an editor with fake dialogs and services, driven the way a
// user drives it.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <vector>

#include "../editor/editor_fakes.h"
#include "cycle/cycle.h"
#include "editor/editor.h"
#include "formats/picture_io.h"
#include "qt/board_surface.h"
#include "qt/board_view.h"
#include "qt/main_window.h"
#include "qt/picture_window.h"

namespace hw::test {

inline QRgb Rgb(const RGBTriple& c) { return qRgb(c.R, c.G, c.B); }

// Answers "save the changes first?" from a queue (then Cancel) and counts the
// questions; "save all the same?" as FakeLossQuestion does.
struct FakeQuestions : FakeLossQuestion {
  std::vector<SaveAnswer> save_answers;
  int save_asked = 0;
  std::string picture;  // the path of the picture asked about
  SaveAnswer AskSave(const std::string& path) override {
    picture = path;
    const size_t k = static_cast<size_t>(save_asked++);
    return k < save_answers.size() ? save_answers[k] : SaveAnswer::Cancel;
  }
};

struct FormRig {
  FakeFiles files;
  FakeQuestions questions;
  FakeLossQuestion& loss = questions;
  FakeColours colours;
  RecordingErrors errors;
  DefaultRandom random;
  FakeClock clock;
  Editor editor;
  MainWindow form;
  explicit FormRig(int palette_size = 0)
      : editor(EditorServices{&errors, nullptr, &random, &clock, nullptr}, palette_size),
        form(editor, &files, &colours) {
    form.SetQuestions(&questions);
    form.Load();
  }

  template <typename W = QWidget>
  W* Find(const char* name) {
    return form.findChild<W*>(QString::fromLatin1(name));
  }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  // Ticks or unticks a check box the way a user does, by clicking it.
  void SetBox(const char* name, bool on) {
    if (Find<QAbstractButton>(name)->isChecked() != on) Click(name);
  }
  void TypeCount(const char* text) {
    Find<QLineEdit>("TextMoveCount")->selectAll();
    QTest::keyClicks(Find<QLineEdit>("TextMoveCount"), text);
  }
  void LoadPicture(const std::string& path) {
    files.opens.push_back(path);
    Click("ButtonLoad");
  }
  // What a real drag delivers when released over `target`.
  void Drop(int target, int source, const QByteArray* token = nullptr) {
    SwatchCell* swatch = form.Swatch(target);
    std::unique_ptr<QMimeData> mime(MakeSwatchMime(token ? *token : form.BoardToken(), source));
    const QPointF at(swatch->width() / 2.0, swatch->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(swatch, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(swatch, &drop);
  }
  void SendMouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button,
                 Qt::MouseButtons held) {
    QMouseEvent event(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
  }
  void DoubleClick(int index) {
    SendMouse(form.Swatch(index), QEvent::MouseButtonDblClick, QPointF(6.5, 6.5), Qt::LeftButton,
              Qt::LeftButton);
  }
  // The colours the 256 swatches show on screen.
  std::vector<QRgb> SwatchColours() {
    std::vector<QRgb> out;
    for (int i = 0; i < 256; ++i) out.push_back(form.Swatch(i)->grab().toImage().pixel(3, 3));
    return out;
  }
  Palette BoardColours() { return ShownBoard(editor); }
};

}  // namespace hw::test
