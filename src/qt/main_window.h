// The main window: a menu bar, the board surface (the board, the command buttons
// and options, and the hidden colour-cycling controls, all placed in twips) and a
// status bar with the values of the swatch under the pointer or selected. Every
// command is a QAction (the menus and buttons trigger them, and their keys work
// from every window of the program); each turns into one editor verb, through
// EditorCommands where a dialog is asked first. The window repaints from the
// editor's state and the notifications it sends.
#pragma once

#include <array>
#include <functional>
#include <utility>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QWidget>

#include "editor/commands.h"
#include "editor/editor.h"
#include "qt/qt_services.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;

namespace hw {

class BandOverlay;
class BoardSurface;
class PictureWindow;
class SwatchCell;

inline constexpr double kTwipsPerPixel = 15.0;
// A rectangle given in twips, in device-independent pixels.
QRect TwipsRect(double left, double top, double width, double height);

class MainWindow : public QMainWindow, public EditorView {
  Q_OBJECT
 public:
  // The board surface, below the menu bar.
  static constexpr int kClientWidthTwips = 5790;
  static constexpr int kClientHeightTwips = 6900;  // the status line below Label1

  MainWindow(Editor& editor, FileDialogs* files, ColourDialog* colours,
                QWidget* parent = nullptr);
  ~MainWindow() override;

  Editor& editor() { return editor_; }
  // Who answers "save the changes first?"; by default a message box.
  void SetSaveQuestion(SaveQuestion* question) { question_ = question ? question : &own_question_; }
  // Who answers "save all the same?" before a save that loses what the format
  // cannot hold; by default a message box.
  void SetLossQuestion(LossQuestion* question) {
    commands_.SetLossQuestion(question ? question : &own_loss_question_);
  }
  BoardSurface* Surface() const { return surface_; }
  SwatchCell* Swatch(int index) const { return swatches_.at(static_cast<size_t>(index)); }
  PictureWindow* picture_window() const { return picture_window_.get(); }
  BandOverlay* Overlay() const { return overlay_; }
  QTimer* CycleTimer() const { return cycle_timer_; }
  const QByteArray& BoardToken() const { return board_token_; }
  // The editor's verbs as actions, by object name ("actionUndo", "actionRedo",
  // "actionLoadPic", ...).
  QAction* Action(const char* name) const;

  // Starts the editor and shows its result.
  void Load();
  // Brings every widget up to date with the editor's state.
  void SyncFromState();

  // Index, colour and usage of one board position, as the status bar and the
  // swatch's tooltip show them.
  QString SwatchValues(int index) const;
  // The swatch under the pointer, or -1.
  void HoverSwatch(int index);
  int HoveredSwatch() const { return hovered_; }
  bool MarkUnused() const;
  // Board keys: an arrow moves both marks to the neighbouring position on the
  // screen, with `range` only the current mark; Enter edits the colour.
  void StepMarks(Qt::Key key, bool range);
  void EditCurrentColour();
  // True when the user agreed to lose the unsaved changes, or they were saved.
  bool MayDropChanges();

  // Called by the board surface: the rubber band.
  void SurfaceMousePress(QMouseEvent* event);
  void SurfaceMouseMove(QMouseEvent* event);
  void SurfaceMouseRelease(QMouseEvent* event);

  // Called by the swatches.
  void DropOnSwatch(int target, int source);
  void EditSwatchColour(int index);
  void BeginSwatchDrag();
  bool SwatchDropSeen() const { return drop_seen_; }
  // True when a press on `index` follows a click on the same swatch closely enough
  // to make a double click; the caller then edits the colour instead of dragging.
  bool TakeSecondClick(int index);
  // After a press already opened the colour dialog, the double-click event that the
  // platform may send for the same press is ignored.
  void SuppressNextDoubleClick() { suppress_dblclick_.start(); }
  bool TakeDoubleClickSuppression();

  // EditorView
  void SwatchChanged(int index) override;
  void BoardChanged() override;
  void ControlsChanged() override;
  void PictureChanged() override;
  void PicturePaletteChanged() override;
  void PictureWindowShown() override;
  void TimerChanged() override;
  void DrawBandBox(float x0, float y0, float x1, float y1) override;

 signals:
  // The picture's file or its unsaved-changes state may have changed.
  void DocumentChanged();
  // The user chose to go on without saving the changes.
  void ChangesDiscarded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  template <typename Command>
  void Run(Command&& command, bool board = true);
  template <typename Command>
  QAction* MakeAction(const char* name, const QString& text, Command&& command);
  QAction* MakeViewAction(const char* name, const QString& text, std::function<void()> slot);
  void BuildActions();
  void BuildMenus();
  void SetTabOrder();
  void ShowKeys();
  void ShowValues();
  void UpdateTitle();
  void ScheduleFlush();
  void Flush();
  void BuildControls();
  void BuildHiddenControls();
  void ConnectControls();
  void SyncControls();
  void SyncBoard();
  void SyncPicture();
  void SyncTimer();
  static int ButtonCode(Qt::MouseButtons buttons);

  Editor& editor_;
  EditorCommands commands_;
  QtSaveQuestion own_question_;
  QtLossQuestion own_loss_question_;
  SaveQuestion* question_ = &own_question_;
  BoardSurface* surface_ = nullptr;
  QLabel* values_label_ = nullptr;
  QLabel* zoom_label_ = nullptr;
  QWidget* keys_page_ = nullptr;
  int hovered_ = -1;
  std::pair<int, int> shown_range_{-1, -1};
  QByteArray board_token_;
  std::vector<QAction*> actions_;
  std::unique_ptr<PictureWindow> picture_window_;
  std::array<SwatchCell*, 256> swatches_{};
  BandOverlay* overlay_ = nullptr;
  QTimer* cycle_timer_ = nullptr;

  QPushButton* flip_button_ = nullptr;
  QLabel* upper_corner_label_ = nullptr;
  QLabel* lower_corner_label_ = nullptr;
  QLabel* picture_label_ = nullptr;
  QLabel* usage_label_ = nullptr;
  QLabel* status_label_ = nullptr;
  QLineEdit* move_count_edit_ = nullptr;
  QCheckBox* move_index_box_ = nullptr;
  QCheckBox* move_colour_box_ = nullptr;
  QButtonGroup* sort_group_ = nullptr;
  QRadioButton* sort_usage_option_ = nullptr;
  QRadioButton* sort_hue_option_ = nullptr;
  QRadioButton* sort_rgb_option_ = nullptr;
  QRadioButton* sort_saturation_option_ = nullptr;
  QRadioButton* sort_brightness_option_ = nullptr;
  QCheckBox* reverse_sort_box_ = nullptr;
  QCheckBox* optimize_box_ = nullptr;
  QGroupBox* merge_frame_ = nullptr;
  QCheckBox* merge_box_ = nullptr;
  QRadioButton* merge_replace_option_ = nullptr;
  QRadioButton* merge_protect_option_ = nullptr;
  QCheckBox* hardware_colours_box_ = nullptr;
  QListWidget* cycle_scheme_list_ = nullptr;
  QScrollBar* cycle_speed_bar_ = nullptr;
  QPushButton* cycle_test_button_ = nullptr;

  int run_depth_ = 0;
  bool flush_pending_ = false;
  bool pixels_dirty_ = true;
  bool board_dirty_ = true;
  bool pic_visible_seen_ = false;
  bool pic_placed_ = false;
  bool drop_seen_ = false;
  bool band_pressed_ = false;
  bool closing_ = false;
  int last_click_index_ = -1;
  // The marks as they were before the last click on a swatch: a double-click that
  // follows puts them back, so the range survives a colour edit.
  int click_marks_index_ = -1;
  int click_marks_prev_ = 0;
  int click_marks_cur_ = 0;
  QElapsedTimer last_click_;
  QElapsedTimer suppress_dblclick_;
};

}  // namespace hw
