// The main window: a menu bar, the board surface (the board, the command buttons
// and options, and the hidden colour-cycling controls, all placed in twips) and a
// status bar with the values of the swatch under the pointer or selected. It turns
// what the board, the surface, the controls and the actions report into editor
// verbs (through EditorCommands where a dialog is asked first) and repaints from
// the editor's state and the notifications it sends.
#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "editor/commands.h"
#include "editor/editor.h"
#include "qt/qt_services.h"

class QAction;
class QLabel;
class QTimer;

namespace hw {

class BandOverlay;
class BoardSurface;
class BoardView;
class BanksPanel;
class CyclePanel;
class MainActions;
class OptionsPanel;
class PictureWindow;
class SwatchCell;
class UnsavedChanges;

class MainWindow : public QMainWindow, public EditorView {
  Q_OBJECT
 public:
  // The board surface, below the menu bar.
  static constexpr int kClientWidthTwips = 5790;
  static constexpr int kClientHeightTwips = 6900;  // the status line below Label1

  MainWindow(Editor& editor, FileDialogs* files, ColourDialog* colours, QWidget* parent = nullptr);
  ~MainWindow() override;

  Editor& editor() { return editor_; }
  // Who answers the window's questions (save the changes first, save all the
  // same, which bank, how many colours...); null: dialogs over this window.
  void SetQuestions(Questions* questions);
  BoardSurface* Surface() const { return surface_; }
  SwatchCell* Swatch(int index) const;
  PictureWindow* picture_window() const { return picture_window_.get(); }
  BandOverlay* Overlay() const;
  QTimer* CycleTimer() const { return cycle_timer_; }
  // View > Colour Cycling (hidden until asked for).
  CyclePanel* Cycling() const { return cycle_panel_; }
  // View > Banks (hidden until asked for).
  BanksPanel* Banks() const { return banks_panel_; }
  const OptionsPanel* Options() const { return options_; }
  const QByteArray& BoardToken() const;
  // The editor's verbs as actions, by object name ("actionUndo", "actionRedo",
  // "actionLoadPic", ...).
  QAction* Action(const char* name) const;

  // Starts the editor and shows its result.
  void Load();
  // Loads a picture as "Load Pic..." does once a file is chosen (unsaved changes
  // are asked about first).
  void LoadPicture(const std::string& path);
  // The file named on the command line: a picture, or a palette file (Editor::OpenFile).
  void OpenFile(const std::string& path);
  // Brings every widget up to date with the editor's state.
  void SyncFromState();
  // Index, colour and usage of one board position, as the status bar and the
  // swatch's tooltip show them.
  QString SwatchValues(int index) const;
  // True when the user agreed to lose the unsaved changes, or they were saved.
  bool MayDropChanges();
  // The window's size and place, and the picture window's place, as the last
  // run left them (QSettings); saved when the window closes.
  void RestoreGeometry();
  void SaveGeometry();

  // EditorView
  void SwatchChanged(int index) override;
  void BoardChanged() override;
  void StateChanged() override;
  void PictureChanged() override;
  void PicturePaletteChanged() override;
  void PictureOpened() override;
  void TimerChanged() override;

 signals:
  // The picture's file or its unsaved-changes state may have changed.
  void DocumentChanged();
  // The user chose to go on without saving the changes.
  void ChangesDiscarded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs one editor command; the outermost one repaints afterwards.
  void Run(const std::function<void()>& command, bool board = true);
  void BuildStatusBar();
  // Fits the board and the controls to the surface's size.
  void Relayout();
  void ConnectBoard();
  void ConnectControls();
  void StepMarks(Qt::Key key, bool range);
  void HoverSwatch(int index);
  void ShowValues();
  void UpdateTitle();
  void ScheduleFlush();
  void Flush();
  void SyncControls();
  void SyncPicture();
  void SyncTimer();
  // As a panel opens, puts it beside this window, the picture window and the
  // other panel, covering none of them (panel_place.h); a place the user chose
  // stays while it covers none.
  void PlaceBesideWindows(QWidget* panel);

  Editor& editor_;
  EditorCommands commands_;
  QtQuestions own_questions_;
  UnsavedChanges* unsaved_ = nullptr;
  BoardSurface* surface_ = nullptr;
  BoardView* board_ = nullptr;
  std::unique_ptr<PictureWindow> picture_window_;
  MainActions* actions_ = nullptr;
  QTimer* cycle_timer_ = nullptr;
  CyclePanel* cycle_panel_ = nullptr;
  BanksPanel* banks_panel_ = nullptr;
  QLabel* values_label_ = nullptr;
  QLabel* zoom_label_ = nullptr;
  QLabel* target_label_ = nullptr;  // names the target hardware

  OptionsPanel* options_ = nullptr;

  int hovered_ = -1;
  QPoint hovered_pixel_{-1, -1};  // the picture pixel under the pointer
  std::pair<int, int> shown_range_{-1, -1};
  int run_depth_ = 0;
  bool flush_pending_ = false;
  bool pixels_dirty_ = true;
  bool board_dirty_ = true;
  bool pic_visible_seen_ = false;
  bool laid_out_ = false;
  std::optional<QPoint> remembered_picture_at_;
  bool closing_ = false;
};

}  // namespace hw
