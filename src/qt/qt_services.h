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
  void ShowError(const std::string& message) override;

 private:
  QPointer<QWidget> parent_;
};

// What to do with unsaved changes before they would be thrown away (quitting,
// closing the main window, loading another picture).
enum class SaveAnswer { Save, Discard, Cancel };

class SaveQuestion {
 public:
  virtual ~SaveQuestion() = default;
  // `file` is the name of the picture with unsaved changes.
  virtual SaveAnswer AskSave(const QString& file) = 0;
};

// Asks with a message box: Save (the default), Discard or Cancel (also Escape).
class QtSaveQuestion : public SaveQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  SaveAnswer AskSave(const QString& file) override;

 private:
  QPointer<QWidget> parent_;
};

// Asks with a message box naming what the save would lose: Save or Cancel (the
// default, also Escape).
class QtLossQuestion : public LossQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  bool SaveAllTheSame(const std::string& file, const std::string& picture,
                      const SaveLoss& loss) override;

 private:
  QPointer<QWidget> parent_;
};

// Asks with a message box whether to export the fixed length: Export (the
// default) or Cancel (also Escape).
class QtCycleLengthQuestion : public CycleLengthQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  bool ExportFixedLength(const std::string& question) override;

 private:
  QPointer<QWidget> parent_;
};

// Asks with a number box which position of a palette file becomes transparent.
class QtTransparentQuestion : public TransparentQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<int> TransparentPosition(const std::string& file, const BoardEntries& entries,
                                         int count) override;

 private:
  QPointer<QWidget> parent_;
};

// A dialog of the bank size and the bank's number.
class QtBankQuestion : public BankQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<BankChoice> ChooseBank(const BankChoice& last) override;

 private:
  QPointer<QWidget> parent_;
};

// A dialog of the tile width and height, the bank size and the shared zero.
class QtTileCheckQuestion : public TileCheckQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<TileCheckOptions> TileCheckSettings(const TileCheckOptions& last) override;

 private:
  QPointer<QWidget> parent_;
};

// Asks with a number box how many colours "Reduce Colours..." keeps.
class QtReduceQuestion : public ReduceQuestion {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
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
