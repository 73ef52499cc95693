// Qt-backed platform services for the editor: file and colour dialogs, error
// messages, the wait pointer and the random source of the colour-cycling step.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "editor/services.h"

namespace hw {

// Turns a path the user chose into the byte string the core opens files with,
// in the file system's own encoding. Names need not be valid UTF-8: such a name
// is shown with replacement characters, and its bytes are found again in its
// folder by the name as shown.
std::string PathToNative(const QString& path);
QString PathFromNative(const std::string& path);

// The value of "--load FILE" or "--load=FILE", else the first operand (after "--"
// even one starting with '-'), as the bytes given, made absolute; nullopt when
// neither is there.
std::optional<std::string> LoadArgument(int argc, char** argv);

// A warning box whose text is shown as it is: a path or a file's content that
// looks like markup is never rendered.
void ShowPlainMessage(QWidget* parent, const QString& title, const QString& text);

class QtColourDialog : public ColourDialog {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<BoardEntry> ChooseColour(int index, BoardEntry initial) override;

 private:
  QPointer<QWidget> parent_;
};

class QtErrorReporter : public ErrorReporter {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  void ShowError(const Error& error) override;

 private:
  QPointer<QWidget> parent_;
};

// Every question asked with a dialog over `parent`: unsaved changes (Save, the
// default, Discard or Cancel, also Escape); what a save would lose (Save or
// Cancel, the default, also Escape); a fixed-length cycle export (Export, the
// default, or Cancel); the transparent position and the number of colours in a
// number box; the tile check's settings and the bank in dialogs of their own.
class QtQuestions : public Questions {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  SaveAnswer AskSave(const std::string& picture) override;
  bool SaveAllTheSame(const std::string& file, const std::string& picture,
                      const SaveLoss& loss) override;
  bool ExportFixedLength(const std::string& question) override;
  std::optional<int> TransparentPosition(const std::string& file, const BoardEntries& entries,
                                         int count) override;
  std::optional<BankChoice> ChooseBank(const BankChoice& last) override;
  std::optional<TileCheckOptions> TileCheckSettings(const TileCheckOptions& last) override;
  std::optional<int> ColourCount(int used, int low, int high) override;

 private:
  QPointer<QWidget> parent_;
};

// The wait shape while a file is read or written. Unbalanced calls are tolerated:
// a restore without a matching wait does nothing.
class QtBusyPointer : public BusyPointer {
 public:
  ~QtBusyPointer() override;
  void SetWait(bool wait) override;
  int Depth() const { return depth_; }

 private:
  int depth_ = 0;
};

}  // namespace hw
