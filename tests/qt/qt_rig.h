// A main window over an editor with fake services, for driving the shell in tests.
#pragma once

#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QMouseEvent>

#include "app/core/editor.h"
#include "app/qt/board_widgets.h"
#include "app/qt/form_drag_n_drop.h"
#include "app/qt/form_pic.h"
#include "picture/pcx_file.h"

namespace hw::qttest {

class FakeFiles : public FileDialogs {
 public:
  std::deque<std::optional<std::string>> opens, saves;
  std::optional<std::string> OpenFile() override { return Take(opens); }
  std::optional<std::string> SaveFile() override { return Take(saves); }

 private:
  static std::optional<std::string> Take(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
  }
};

class FakeColours : public ColourDialog {
 public:
  std::optional<PackedColour> answer;
  int asked = 0;
  std::optional<PackedColour> ChooseColour(PackedColour) override {
    ++asked;
    return answer;
  }
};

class FakeErrors : public ErrorReporter {
 public:
  std::vector<std::string> messages;
  void ShowError(const std::string& message) override { messages.push_back(message); }
};

class FakeBusy : public BusyPointer {
 public:
  void SetWait(bool) override {}
};

class CountingRandom : public RandomSource {
 public:
  float Next() override {
    value_ = value_ + 0.37f;
    if (value_ >= 1.0f) value_ -= 1.0f;
    return value_;
  }

 private:
  float value_ = 0.0f;
};

class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "hw_qt_XXXXXX").string();
    path_ = mkdtemp(templ.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A picture whose palette entries all differ and whose indices are used unevenly.
struct SamplePicture {
  int width = 24;
  int height = 10;
  std::vector<uint8_t> pixels;
  Palette palette{};
  SamplePicture() {
    // Not linear in the index, so that a gradient never reproduces the file's colours.
    for (int i = 0; i < 256; ++i) {
      palette[static_cast<size_t>(i)] =
          RGBTriple{static_cast<uint8_t>((i * i * 37 + 11) & 255),
                    static_cast<uint8_t>((i * i * i + 5 * i) & 255),
                    static_cast<uint8_t>(((i * 97) ^ 0x5A) & 255)};
    }
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) pixels.push_back(static_cast<uint8_t>((x * x + y) % 40));
    }
  }
  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
  bool Write(const std::string& path) const {
    PcxHeader hd{};
    hd.Manufacturer = 10;
    hd.Version = 5;
    hd.Encoding = 1;
    hd.BitsPerPixel = 8;
    hd.Xmax = static_cast<int16_t>(width - 1);
    hd.Ymax = static_cast<int16_t>(height - 1);
    hd.NPlanes = 1;
    hd.BytesPerLine = static_cast<int16_t>(width);
    hd.PaletteInfo = 1;
    return SavePcxFile(path, hd, pixels, palette).ok();
  }
};

struct Rig {
  FakeFiles files;
  FakeColours colours;
  FakeErrors errors;
  FakeBusy busy;
  CountingRandom random;
  Editor editor;
  FormDragNDrop form;

  explicit Rig(int palette_size = 0)
      : editor(EditorServices{&files, &colours, &errors, &busy, &random, nullptr}, palette_size),
        form(editor) {
    form.Load();
  }
  EditorState& s() { return editor.state(); }

  template <typename W = QWidget>
  W* Find(const char* name) {
    return form.findChild<W*>(QString::fromLatin1(name));
  }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }

  // Loads a picture through "Load Pic..." with the dialog answering `path`.
  void LoadPicture(const std::string& path) {
    files.opens.push_back(path);
    Click("ButtonLoad");
  }

  // What a real drag delivers when released over `target`.
  void Drop(int target, int source, const QByteArray* token = nullptr) {
    SwatchWidget* swatch = form.Swatch(target);
    std::unique_ptr<QMimeData> mime(MakeSwatchMime(token ? *token : form.BoardToken(), source));
    const QPointF at(swatch->width() / 2.0, swatch->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(swatch, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(swatch, &drop);
  }

  void DoubleClick(int index) {
    SwatchWidget* swatch = form.Swatch(index);
    const QPointF at(swatch->width() / 2.0, swatch->height() / 2.0);
    QMouseEvent event(QEvent::MouseButtonDblClick, at, swatch->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(swatch, &event);
  }

  // A mouse event on the main window's own surface, position in pixels.
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), form.mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&form, &event);
  }
};

}  // namespace hw::qttest
