// Every command of the main window as a QAction with its keys (the menus and the
// buttons trigger them, and the keys work from every window of the program), the
// menus that list them, and the Keys page.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QMainWindow;
class QWidget;

namespace hw {

class BoardView;
class Editor;
class EditorCommands;
class OptionsPanel;
class PictureWindow;

// What the actions act on besides the editor.
struct ActionTargets {
  Editor& editor;
  EditorCommands& commands;
  PictureWindow& pictures;
  BoardView& board;
  const OptionsPanel& options;
  // Runs an editor command the way the window runs every command.
  std::function<void(std::function<void()>)> run;
  // True when unsaved changes may be lost (saved, or the user agreed).
  std::function<bool()> may_drop_changes;
  // The swatch under the pointer changed or blinking was switched.
  std::function<void()> hover_changed;
  // Shows View > Colour Cycling.
  std::function<void()> show_cycling;
  // Shows View > Banks, and the bank size it shows.
  std::function<void()> show_banks;
  std::function<int()> bank_size;
};

class MainActions : public QObject {
  Q_OBJECT
 public:
  MainActions(QMainWindow& window, ActionTargets targets);

  // By object name ("actionUndo", "actionLoadPic", ...); null when there is none.
  QAction* Find(const char* name) const;
  void BuildMenus();
  bool Blink() const;
  // Ticks the "Target Hardware" entry of the board's target (none for a target
  // from the dialogs).
  void SyncTarget();

 private:
  // An editor command, run through targets_.run.
  QAction* Command(const char* name, const QString& text, std::function<void()> command);
  // A command of the window itself.
  QAction* View(const char* name, const QString& text, std::function<void()> slot);
  void ShowKeys();

  QMainWindow& window_;
  ActionTargets targets_;
  std::vector<QAction*> actions_;
  QActionGroup* target_group_ = nullptr;
  std::vector<std::string> target_names_;  // the object names of the machines' entries
  QWidget* keys_page_ = nullptr;
};

}  // namespace hw
