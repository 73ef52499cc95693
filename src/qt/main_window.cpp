#include "qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <new>
#include <system_error>

#include "base/version.h"
#include "qt/app_icon.h"
#include "qt/banks_panel.h"
#include "qt/board_surface.h"
#include "qt/board_view.h"
#include "qt/control_table.h"
#include "qt/cycle_panel.h"
#include "qt/main_actions.h"
#include "qt/options_panel.h"
#include "qt/panel_place.h"
#include "qt/picture_window.h"
#include "qt/status_texts.h"
#include "qt/twips.h"
#include "qt/unsaved_changes.h"

namespace hw {

namespace {

QString AppTitle() { return QStringLiteral("Huewright ver ") + QLatin1String(kVersion); }

// The values of the entry under the pointer, its fields wrapped onto as many lines
// as the window's width needs, so that none is cut off however narrow the window.
class FieldsLabel : public QLabel {
 public:
  explicit FieldsLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(1);
  }
  void SetFields(const QString& text) {
    if (text == fields_) return;
    fields_ = text;
    Wrap();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    Wrap();
  }

 private:
  void Wrap() {
    const int room = contentsRect().width() - 2 * margin() - 2 * indent_room();
    const QString text = WrapFields(fields_, fontMetrics(), room).join(QLatin1Char('\n'));
    if (text != this->text()) {
      setText(text);
      // The status bar sizes itself by its widgets' minimum heights.
      const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
      setMinimumHeight(lines * fontMetrics().lineSpacing() + 2 * margin());
      updateGeometry();
    }
  }
  // QLabel indents its text by half an 'x' when it has a frame; this one has none.
  static int indent_room() { return 0; }

  QString fields_;
};

}  // namespace

void MainWindow::Run(const std::function<void()>& command, bool board) {
  if (board) board_dirty_ = true;
  QString failure;
  ++run_depth_;
  // The last line of defence: the editor's verbs change nothing before what can
  // fail has succeeded, so a command that runs out of memory or threads leaves
  // the work as it was, and the user hears of it instead of losing it.
  try {
    command();
  } catch (const std::bad_alloc&) {
    failure = tr("The command could not finish: not enough memory.");
  } catch (const std::system_error& e) {
    failure = tr("The command could not finish: %1").arg(QString::fromLocal8Bit(e.what()));
  }
  --run_depth_;
  if (run_depth_ == 0) Flush();
  if (!failure.isEmpty()) ShowPlainMessage(this, windowTitle(), failure);
}

MainWindow::MainWindow(Editor& editor, FileDialogs* files, ColourDialog* colours, QWidget* parent)
    : QMainWindow(parent), editor_(editor), commands_(editor, files, colours) {
  setObjectName(QStringLiteral("FormDragNDrop"));
  setWindowTitle(AppTitle());
  setWindowIcon(MakeAppIcon());
  own_questions_.SetParent(this);
  unsaved_ = new UnsavedChanges(editor_, commands_, this);
  SetQuestions(nullptr);
  connect(unsaved_, &UnsavedChanges::Discarded, this, &MainWindow::ChangesDiscarded);

  surface_ = new BoardSurface(this);
  // The design size is the smallest; a larger window grows the board.
  surface_->setMinimumSize(TwipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
  setCentralWidget(surface_);
  // Control sizes are fixed in twips, so captions need a small, narrow face.
  QFont small = font();
  small.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                     QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                     QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  small.setPixelSize(11);
  surface_->setFont(small);

  picture_window_ = std::make_unique<PictureWindow>();
  picture_window_->setWindowIcon(windowIcon());
  BuildControlTable(surface_);
  options_ =
      new OptionsPanel(surface_, editor_, [this](std::function<void()> command) { Run(command); });
  board_ = new BoardView(editor_, surface_);
  board_->SetTooltipText([this](int index) { return SwatchValues(index); });
  surface_->RaiseOverlay();

  cycle_timer_ = new QTimer(this);
  cycle_timer_->setObjectName(QStringLiteral("TimerColor"));
  cycle_timer_->setTimerType(Qt::PreciseTimer);
  cycle_timer_->setInterval(16);
  connect(cycle_timer_, &QTimer::timeout, this,
          [this] { Run([this] { editor_.CycleTick(); }, /*board=*/false); });

  actions_ = new MainActions(
      *this, ActionTargets{editor_, commands_, *picture_window_, *board_, *options_,
                           [this](std::function<void()> command) { Run(command); },
                           [this] { return MayDropChanges(); }, [this] { HoverSwatch(hovered_); },
                           [this] {
                             cycle_panel_->Sync();
                             PlaceBesideWindows(cycle_panel_);
                             cycle_panel_->show();
                             cycle_panel_->raise();
                             cycle_panel_->activateWindow();
                           },
                           [this] {
                             banks_panel_->Sync();
                             PlaceBesideWindows(banks_panel_);
                             banks_panel_->show();
                             banks_panel_->raise();
                             banks_panel_->activateWindow();
                           },
                           [this] { return banks_panel_->BankSize(); }});
  actions_->BuildMenus();
  cycle_panel_ = new CyclePanel(
      this, editor_, [this](std::function<void()> command) { Run(command); },
      Action("actionPlayCycles"));
  banks_panel_ = new BanksPanel(
      this, editor_, [this](std::function<void()> command) { Run(command); },
      Action("actionSaveBank"));
  BuildStatusBar();
  ConnectBoard();
  ConnectControls();
  SetControlTabOrder(surface_);
  // The board has the keyboard from the start.
  surface_->setFocus();
  connect(surface_, &BoardSurface::Resized, this, &MainWindow::Relayout);
  resize(sizeHint());
  editor_.SetView(this);
}

void MainWindow::PlaceBesideWindows(QWidget* panel) {
  if (panel->isVisible()) return;
  panel->adjustSize();
  // A panel not yet shown has no frame of its own: it gets this window's.
  const QMargins decoration(
      geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
      frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  const QSize frame = panel->size().grownBy(decoration);
  std::vector<QRect> avoid{frameGeometry()};
  if (picture_window_->isVisible()) avoid.push_back(picture_window_->frameGeometry());
  for (QWidget* other :
       {static_cast<QWidget*>(cycle_panel_), static_cast<QWidget*>(banks_panel_)}) {
    if (other != panel && other->isVisible()) avoid.push_back(other->frameGeometry());
  }
  const QRect room =
      screen() ? screen()->availableGeometry() : QRect(QPoint(0, 0), QSize(1280, 1024));
  // Where the user left it stays, while it covers none of the windows.
  if (panel->property("placed").toBool()) {
    const QRect there(panel->pos(), frame);
    bool clear = room.contains(there);
    for (const QRect& r : avoid) clear = clear && !there.intersects(r);
    if (clear) return;
  }
  panel->setProperty("placed", true);
  panel->move(PlacePanel(frame, room, avoid));
}

MainWindow::~MainWindow() {
  cycle_timer_->stop();
  editor_.SetView(nullptr);
  board_->Close();
  // The board's widgets and the picture window call back into this window (focus
  // and hide events come while widgets are torn down): they go while it is whole.
  delete surface_;
  surface_ = nullptr;
  picture_window_.reset();
}

void MainWindow::SetQuestions(Questions* questions) {
  Questions* asked = questions != nullptr ? questions : &own_questions_;
  commands_.SetQuestions(asked);
  unsaved_->SetQuestions(asked);
}
BandOverlay* MainWindow::Overlay() const { return surface_->Overlay(); }
SwatchCell* MainWindow::Swatch(int index) const { return board_->Cell(index); }
const QByteArray& MainWindow::BoardToken() const { return board_->Token(); }
QAction* MainWindow::Action(const char* name) const { return actions_->Find(name); }
QString MainWindow::SwatchValues(int index) const { return SwatchValuesText(editor_, index); }
bool MainWindow::MayDropChanges() { return unsaved_->MayDrop(); }

void MainWindow::LoadPicture(const std::string& path) {
  Run([this, &path] {
    if (MayDropChanges()) editor_.LoadPicture(path);
  });
}

void MainWindow::OpenFile(const std::string& path) {
  Run([this, &path] {
    if (MayDropChanges()) editor_.OpenFile(path);
  });
}

void MainWindow::BuildStatusBar() {
  QStatusBar* status = statusBar();
  status->setSizeGripEnabled(true);
  status->setFont(surface_->font());
  // The entry's values take the whole width, on more lines when they need them;
  // the target and the zoom have a line of their own below, so nothing is cut
  // off at the default size.
  auto* fields = new QWidget(status);
  auto* lines = new QVBoxLayout(fields);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setSpacing(0);
  values_label_ = new FieldsLabel(fields);
  values_label_->setObjectName(QStringLiteral("LabelValues"));
  lines->addWidget(values_label_);
  auto* settings = new QHBoxLayout;
  settings->setSpacing(12);
  target_label_ = new QLabel(fields);
  target_label_->setObjectName(QStringLiteral("LabelTarget"));
  target_label_->setTextFormat(Qt::PlainText);
  target_label_->setToolTip(tr("The target hardware (Edit > Target Hardware)"));
  settings->addWidget(target_label_);
  settings->addStretch(1);
  zoom_label_ = new QLabel(fields);
  zoom_label_->setObjectName(QStringLiteral("LabelZoom"));
  zoom_label_->setToolTip(tr("The picture window's zoom"));
  settings->addWidget(zoom_label_);
  lines->addLayout(settings);
  status->addWidget(fields, 1);
  const auto show_zoom = [this] {
    zoom_label_->setText(tr("Zoom %1").arg(ZoomText(picture_window_->Zoom())));
  };
  connect(picture_window_.get(), &PictureWindow::ZoomChanged, this, show_zoom);
  show_zoom();
  // A click on a pixel of the picture puts both marks on the entry it uses, as an
  // arrow key does; pointing at one shows its values.
  picture_window_->View()->SetTileCheck(&editor_.TileCheckShown());
  connect(picture_window_->View(), &PictureView::PixelClicked, this, [this](int x, int y) {
    const int index = EntryAtPixel(editor_, x, y);
    if (index >= 0) Run([this, index] { editor_.SetMarks(index, index); });
  });
  connect(picture_window_->View(), &PictureView::PixelHovered, this, [this](int x, int y) {
    hovered_pixel_ = QPoint(x, y);
    ShowValues();
  });
}

void MainWindow::ConnectBoard() {
  connect(board_, &BoardView::Clicked, this,
          [this](int index) { Run([this, index] { editor_.Select(index); }); });
  connect(board_, &BoardView::Dropped, this, [this](int target, int source) {
    Run([this, target, source] { editor_.Drop(target, source, options_->Move()); });
  });
  // A double click edits the colour and leaves the range as it was before its
  // first click.
  connect(board_, &BoardView::Activated, this, [this](int index, int prev, int cur) {
    Run([this, index, prev, cur] {
      editor_.SetMarks(prev, cur);
      commands_.EditColour(index);
    });
  });
  connect(board_, &BoardView::Hovered, this, &MainWindow::HoverSwatch);
  connect(surface_, &BoardSurface::StepRequested, this, &MainWindow::StepMarks);
  // The same drop as with the pointer, onto the swatch one step away on screen;
  // at the board's edge there is none.
  connect(surface_, &BoardSurface::MoveRequested, this, [this](Qt::Key key) {
    const int source = editor_.Board().cur;
    const int target = NeighbourOnScreen(source, key, editor_.Flipped());
    if (target != source) {
      Run([this, target, source] { editor_.Drop(target, source, options_->Move()); });
    }
  });
  connect(surface_, &BoardSurface::EditRequested, this, [this] {
    const int index = editor_.Board().cur;
    Run([this, index] { commands_.EditColour(index); });
  });
  connect(surface_, &BoardSurface::FocusChanged, board_, &BoardView::SetKeyboardFocus);
}

void MainWindow::ConnectControls() {
  const std::pair<const char*, const char*> buttons[] = {
      {"CommanFlip", "actionFlip"},
      {"CommandSpreadRGB", "actionSpreadRGB"},
      {"CommandSpreadHSV", "actionSpreadHSV"},
      {"CommandSpreadHSVReverse", "actionSpreadHSVReverse"},
      {"CommandReverse", "actionReverseRange"},
      {"ButtonLoad", "actionLoadPic"},
      {"ButtonSave", "actionSavePic"},
      {"CommandLoadPal", "actionLoadPalette"},
      {"CommandSavePal", "actionSavePalette"},
      {"ButtonUndo", "actionUndo"},
      {"ButtonRedo", "actionRedo"},
      {"CommandSort", "actionSort"},
      {"ButtonTest", "actionTest"},
      {"ButtonQuit", "actionQuit"},
  };
  for (const auto& [button_name, action_name] : buttons) {
    auto* button = Control<QAbstractButton>(surface_, button_name);
    QAction* action = Action(action_name);
    connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    // A button is enabled exactly when its action is.
    connect(action, &QAction::changed, button,
            [button, action] { button->setEnabled(action->isEnabled()); });
  }
  // "Set Range" changes nothing anyone reads; "Rand" does nothing.
}

void MainWindow::Load() {
  pixels_dirty_ = true;
  Run([this] { editor_.Start(); });
}

void MainWindow::SyncFromState() {
  board_dirty_ = true;
  pixels_dirty_ = true;
  Flush();
}

void MainWindow::ScheduleFlush() {
  // A command that is running repaints when it ends; the queued flush covers
  // notifications that arrive while a modal dialog inside a command is open, and
  // those that arrive outside any command.
  if (flush_pending_) return;
  flush_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (flush_pending_) Flush();
  });
}

void MainWindow::Flush() {
  flush_pending_ = false;
  SyncControls();
  // The range outline spans every swatch between the marks, not only the two the
  // editor names when a mark moves.
  const std::pair<int, int> range{std::min(editor_.Board().prev, editor_.Board().cur),
                                  std::max(editor_.Board().prev, editor_.Board().cur)};
  if (range != shown_range_) {
    shown_range_ = range;
    board_dirty_ = true;
  }
  if (board_dirty_) {
    board_dirty_ = false;
    if (!closing_) board_->Sync();
    surface_->RaiseOverlay();
  }
  SyncPicture();
  SyncTimer();
}

void MainWindow::SyncControls() {
  options_->Sync();
  Action("actionTest")->setEnabled(editor_.CyclingAvailable());
  Action("actionPlayCycles")->setText(editor_.PlayingRanges() ? tr("Stop") : tr("Play"));
  if (cycle_panel_->isVisible()) cycle_panel_->Sync();
  if (banks_panel_->isVisible()) banks_panel_->Sync();
  // "Undo Sort" in the Edit menu and on the button's tooltip; the button's
  // caption stays "Undo".
  const struct {
    const char* action;
    const char* button;
    QString word;
    std::string step;
  } history[] = {{"actionUndo", "ButtonUndo", tr("Undo"), editor_.UndoName()},
                 {"actionRedo", "ButtonRedo", tr("Redo"), editor_.RedoName()}};
  for (const auto& h : history) {
    const QString text =
        h.step.empty() ? h.word : tr("%1 %2").arg(h.word, QString::fromStdString(h.step));
    QAction* action = Action(h.action);
    action->setEnabled(!h.step.empty());
    if (action->text() != text) action->setText(text);
    auto* button = Control<QAbstractButton>(surface_, h.button);
    if (button->toolTip() != text) button->setToolTip(text);
  }
  // Until a picture is loaded there is nothing to save.
  Action("actionSavePic")->setEnabled(editor_.PictureLoaded());
  Action("actionSave")->setEnabled(editor_.PictureLoaded());
  Action("actionExportCycleAnimation")->setEnabled(editor_.PictureLoaded());
  Action("actionPictureWindow")->setEnabled(editor_.PictureLoaded());
  actions_->SyncTarget();
  const QString target =
      tr("Target: %1").arg(QString::fromStdString(TargetTitle(editor_.Board().target)));
  if (target_label_->text() != target) target_label_->setText(target);
  UpdateTitle();
  ShowValues();

  picture_window_->setWindowTitle(editor_.PictureLoaded() ? PictureCaption(editor_)
                                                          : QStringLiteral("Current Picture"));
  // A picture loaded before this window listened has not been shown yet.
  if (editor_.PictureLoaded() && !pic_visible_seen_ && !picture_window_->isVisible()) {
    PictureOpened();
  }
  pic_visible_seen_ = editor_.PictureLoaded();
}

void MainWindow::SyncPicture() {
  PictureView* view = picture_window_->View();
  std::array<uint8_t, 256> alphas{};
  for (size_t i = 0; i < 256; ++i) alphas[i] = editor_.Board().entries[i].A;
  view->SetColourTable(editor_.display().Realized(Surface::PictureBox), &alphas);
  const int w = editor_.PictureWidth();
  const int h = editor_.PictureHeight();
  if (editor_.PictureLoaded() && (pixels_dirty_ || view->PictureSize() != QSize(w, h))) {
    view->SetPixels(&editor_.Pixels(), w, h);
  }
  pixels_dirty_ = false;
  // Until a picture sizes it, the picture view keeps its design size.
  if (editor_.PictureLoaded()) picture_window_->SetPictureSize(w, h);
}

void MainWindow::SyncTimer() {
  const int interval = std::max(1, editor_.CycleInterval());
  if (cycle_timer_->interval() != interval) cycle_timer_->setInterval(interval);
  if (editor_.CyclingOn() && !closing_) {
    if (!cycle_timer_->isActive()) cycle_timer_->start();
  } else if (cycle_timer_->isActive()) {
    cycle_timer_->stop();
  }
}

// ---- EditorView ----

void MainWindow::SwatchChanged(int index) {
  board_dirty_ = true;
  board_->Repaint(index);
  ScheduleFlush();
}

void MainWindow::BoardChanged() {
  board_dirty_ = true;
  ScheduleFlush();
}

void MainWindow::StateChanged() { ScheduleFlush(); }

void MainWindow::PictureChanged() {
  pixels_dirty_ = true;
  ScheduleFlush();
}

void MainWindow::PicturePaletteChanged() {
  // Swatches showing palette references follow the same palette.
  if (editor_.HardwareColours()) board_dirty_ = true;
  ScheduleFlush();
}

void MainWindow::PictureOpened() {
  if (closing_) return;
  pixels_dirty_ = true;
  SyncPicture();
  // Each picture sizes and zooms the window for itself, beside this one. The
  // first one of a run may go where the window was when the last run ended.
  const QRect avail = screen()->availableGeometry();
  const QRect frame = frameGeometry();
  const QRect inner = geometry();
  const QMargins decoration(inner.left() - frame.left(), inner.top() - frame.top(),
                            frame.right() - inner.right(), frame.bottom() - inner.bottom());
  PictureWindowPlan plan = PlanPictureWindow(QSize(editor_.PictureWidth(), editor_.PictureHeight()),
                                             frame, avail, decoration);
  if (remembered_picture_at_) {
    const QRect there(*remembered_picture_at_, plan.frame.size());
    if (avail.contains(there)) plan.frame = there;
    remembered_picture_at_.reset();
  }
  picture_window_->ApplyPlan(plan);
  if (!picture_window_->isVisible()) picture_window_->show();
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
    picture_window_->raise();
    // The keyboard stays with the board.
    activateWindow();
  }
  surface_->setFocus();
  ScheduleFlush();
}

void MainWindow::Relayout() {
  const QSize design = TwipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size();
  const int extra =
      std::min(surface_->width() - design.width(), surface_->height() - design.height());
  const BoardGeometry g =
      BoardGeometry::ForPitch(BoardGeometry::kDesignPitch + std::max(extra, 0) / 16);
  if (g == board_->Geometry() && laid_out_) return;
  laid_out_ = true;
  board_->SetGeometry(g);
  PlaceControls(surface_, g.Grow());
  surface_->SetBoardGrow(g.Grow());
  surface_->RaiseOverlay();
  options_->Sync();  // the picture's line is elided to its new width
}

void MainWindow::RestoreGeometry() {
  QSettings settings;
  const QByteArray main = settings.value(QStringLiteral("window/main")).toByteArray();
  if (main.isEmpty() || !restoreGeometry(main)) {
    // The first run: near the left edge of the screen, leaving the picture window
    // the room on its right.
    const QRect avail = screen()->availableGeometry();
    move(avail.topLeft() + QPoint(avail.width() / 40, avail.height() / 20));
  }
  const QVariant at = settings.value(QStringLiteral("window/picture-position"));
  if (at.isValid()) remembered_picture_at_ = at.toPoint();
}

void MainWindow::SaveGeometry() {
  QSettings settings;
  settings.setValue(QStringLiteral("window/main"), saveGeometry());
  if (picture_window_->isVisible()) {
    settings.setValue(QStringLiteral("window/picture-position"), picture_window_->pos());
  }
}

void MainWindow::TimerChanged() { SyncTimer(); }

// ---- keys, values and the title ----

void MainWindow::StepMarks(Qt::Key key, bool range) {
  const BoardState& b = editor_.Board();
  const int to = NeighbourOnScreen(b.cur, key, editor_.Flipped());
  const int prev = range ? b.prev : to;
  Run([this, prev, to] { editor_.SetMarks(prev, to); });
}

void MainWindow::ShowValues() {
  // The pixel or the swatch under the pointer, or else the selected swatch.
  const int index = hovered_ >= 0 ? hovered_ : editor_.Board().cur;
  QString text = PixelValuesText(editor_, hovered_pixel_.x(), hovered_pixel_.y());
  if (text.isEmpty() || hovered_ >= 0) text = SwatchValues(index);
  static_cast<FieldsLabel*>(values_label_)->SetFields(text);
}

void MainWindow::HoverSwatch(int index) {
  hovered_ = index >= 0 && index < 256 ? index : -1;
  ShowValues();
  picture_window_->View()->SetBlinkIndex(actions_->Blink() ? hovered_ : -1);
}

void MainWindow::UpdateTitle() {
  const QString app = AppTitle();
  QString title = app;
  if (editor_.PictureLoaded()) {
    const QString name = QFileInfo(PathFromNative(editor_.PicturePath())).fileName();
    title = name + QStringLiteral("[*] - ") + app;
  }
  const bool changed = windowTitle() != title || isWindowModified() != editor_.Modified();
  if (windowTitle() != title) setWindowTitle(title);
  setWindowModified(editor_.Modified());
  if (changed) emit DocumentChanged();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Unsaved changes are saved, dropped or kept (and the window with them) as the
  // user answers.
  bool agreed = false;
  Run([this, &agreed] { agreed = MayDropChanges(); }, /*board=*/false);
  if (!agreed) {
    event->ignore();
    return;
  }
  // Closing the main window takes the picture window with it, and the program ends.
  SaveGeometry();
  closing_ = true;
  board_->Close();
  cycle_timer_->stop();
  picture_window_->close();
  event->accept();
  QCoreApplication::quit();
}

}  // namespace hw
