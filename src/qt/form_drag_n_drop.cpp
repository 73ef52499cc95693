#include "qt/form_drag_n_drop.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <system_error>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include "qt/app_icon.h"
#include "qt/board_widgets.h"
#include "qt/form_pic.h"

namespace hw {

namespace {

const char* const kSpreadTip = "Click on color to spread colors between current and your selection";

int Px(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }

QString FromState(const std::string& text) { return QString::fromStdString(text); }

// Counts nested commands for as long as one runs.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

template <typename W>
W* Place(W* widget, const char* name, double left, double top, double width, double height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(TwipsRect(left, top, width, height));
  return widget;
}

}  // namespace

QRect TwipsRect(double left, double top, double width, double height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

// Runs one editor command; the outermost one repaints afterwards. Timer ticks
// leave the board alone unless the editor reports a change to it.
template <typename Command>
void FormDragNDrop::Run(Command&& command, bool board) {
  if (board) board_dirty_ = true;
  QString failure;
  {
    const DepthGuard guard(run_depth_);
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
  }
  if (run_depth_ == 0) Flush();
  if (!failure.isEmpty()) QMessageBox::warning(this, windowTitle(), failure);
}

FormDragNDrop::FormDragNDrop(Editor& editor, FileDialogs* files, ColourDialog* colours,
                             QWidget* parent)
    : QWidget(parent), editor_(editor), commands_(editor, files, colours) {
  setObjectName(QStringLiteral("FormDragNDrop"));
  setWindowTitle(QStringLiteral("Huewright ver 1.0"));
  setWindowIcon(MakeAppIcon());
  setFixedSize(TwipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
  // Control sizes are fixed in twips, so captions need a small, narrow face.
  QFont small = font();
  small.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                     QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                     QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  small.setPixelSize(11);
  setFont(small);

  board_token_ = QByteArray::number(QCoreApplication::applicationPid()) + '-' +
                 QByteArray::number(reinterpret_cast<quintptr>(this), 16);
  form_pic_ = std::make_unique<FormPic>();
  form_pic_->setWindowIcon(windowIcon());

  BuildHiddenControls();
  BuildControls();
  for (int i = 0; i < 256; ++i) {
    auto* swatch = new SwatchWidget(this, i, this);
    swatch->setGeometry(TwipsRect(120, 360, 192, 192));
    swatch->hide();
    swatches_[static_cast<size_t>(i)] = swatch;
  }
  overlay_ = new BandOverlay(this);
  overlay_->setGeometry(rect());
  overlay_->raise();

  timer_color_ = new QTimer(this);
  timer_color_->setObjectName(QStringLiteral("TimerColor"));
  timer_color_->setTimerType(Qt::PreciseTimer);
  timer_color_->setInterval(16);
  connect(timer_color_, &QTimer::timeout, this, [this] {
    Run([this] { editor_.CycleTick(); }, /*board=*/false);
  });

  BuildActions();
  ConnectControls();
  editor_.SetView(this);
}

FormDragNDrop::~FormDragNDrop() {
  timer_color_->stop();
  editor_.SetView(nullptr);
}

void FormDragNDrop::BuildControls() {
  comman_flip_ = Place(new QPushButton(QStringLiteral("/"), this), "CommanFlip", 120, 30, 255, 255);
  comman_flip_->setToolTip(QStringLiteral("Flip"));
  label_ur_ = Place(new QLabel(QStringLiteral("240"), this), "LabelUR", 3360, 0, 375, 255);
  label_ll_ = Place(new QLabel(QStringLiteral("15"), this), "LabelLL", 120, 3720, 495, 255);
  Place(new QLabel(QStringLiteral("Huewright palette editor"), this), "Label2", 600, 0, 2535, 255);

  struct ButtonPlace {
    const char* name;
    const char* caption;
    double left, top, width, height;
    bool spread_tip;
  };
  const ButtonPlace buttons[] = {
      {"CommandSpreadRGB", "Spread RGB", 3840, 360, 1815, 375, true},
      {"CommandSpreadHSV", "Spread HSV", 3840, 840, 1815, 375, true},
      {"CommandSpreadHSVReverse", "Spread HSV Reverse", 3840, 1320, 1815, 375, true},
      {"CommandReverse", "Reverse Range", 3840, 1800, 1815, 375, true},
      {"ButtonLoad", "Load Pic...", 3840, 2400, 1815, 372, false},
      {"ButtonSave", "Save Pic...", 3840, 2880, 1815, 372, false},
      {"CommandLoadPal", "Load Palette...", 3840, 3360, 1815, 372, false},
      {"CommandSavePal", "Save Palette...", 3840, 3840, 1815, 372, false},
      {"ButtonUndo", "Undo", 3840, 4440, 732, 372, false},
      {"ButtonRedo", "Redo", 4800, 4440, 732, 372, false},
      {"CommandSort", "Sort", 3840, 4920, 732, 375, false},
      {"ButtonQuit", "Quit", 4800, 4920, 732, 372, false},
  };
  for (const ButtonPlace& b : buttons) {
    auto* button = Place(new QPushButton(QString::fromLatin1(b.caption), this), b.name, b.left,
                         b.top, b.width, b.height);
    if (b.spread_tip) button->setToolTip(QString::fromLatin1(kSpreadTip));
  }

  Place(new QLabel(QStringLiteral("Move:"), this), "Label3", 1200, 3720, 492, 252);
  text_move_count_ =
      Place(new QLineEdit(QStringLiteral("1"), this), "TextMoveCount", 1800, 3720, 492, 288);
  text_move_count_->setMaxLength(3);
  label_hist_cnt_ =
      Place(new QLabel(QStringLiteral("0000000"), this), "LabelHistCnt", 2880, 3720, 735, 255);
  check_move_index_ =
      Place(new QCheckBox(QStringLiteral("Index"), this), "CheckMoveIndex", 1680, 4080, 732, 252);
  check_move_index_->setChecked(true);
  check_move_color_ =
      Place(new QCheckBox(QStringLiteral("Color"), this), "CheckMoveColor", 2520, 4080, 852, 252);
  check_move_color_->setChecked(true);

  option_sort_hist_ = Place(new QRadioButton(QStringLiteral("Sort by usage"), this),
                            "OptionSortHist", 240, 4440, 1575, 255);
  option_sort_hue_ = Place(new QRadioButton(QStringLiteral("Sort by HSV"), this), "OptionSortHue",
                           2040, 4440, 1455, 255);
  check_reverse_sort_ = Place(new QCheckBox(QStringLiteral("Reverse sort"), this),
                              "CheckReverseSort", 240, 4740, 1275, 255);
  option_sort_red_ = Place(new QRadioButton(QStringLiteral("Sort by RGB"), this), "OptionSortRed",
                           2040, 4800, 1455, 255);
  // The five sort options form one group, two of them hidden (built earlier).
  sort_group_ = new QButtonGroup(this);
  sort_group_->setObjectName(QStringLiteral("SortOptions"));
  sort_group_->addButton(option_sort_hist_, static_cast<int>(SortKey::Usage));
  sort_group_->addButton(option_sort_value_, static_cast<int>(SortKey::Brightness));
  sort_group_->addButton(option_sort_hue_, static_cast<int>(SortKey::Hue));
  sort_group_->addButton(option_sort_sat_, static_cast<int>(SortKey::Saturation));
  sort_group_->addButton(option_sort_red_, static_cast<int>(SortKey::RedGreen));
  option_sort_hist_->setChecked(true);

  frame_merge_ = Place(new QGroupBox(QStringLiteral("Merge"), this), "FrameMerge", 60, 5100, 1815, 975);
  // The caption sits on the frame's top line, leaving the inside to the controls
  // placed in it.
  frame_merge_->setStyleSheet(QStringLiteral(
      "QGroupBox#FrameMerge { border: 1px solid palette(mid); border-radius: 2px;"
      " margin-top: 6px; }"
      "QGroupBox#FrameMerge::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 6px; padding: 0 2px; }"));
  check_merge_ = Place(new QCheckBox(QStringLiteral("Merge next load"), frame_merge_), "CheckMerge",
                       120, 180, 1575, 195);
  option_merge_replace_ = Place(new QRadioButton(QStringLiteral("Replace Range"), frame_merge_),
                                "OptionMergeReplace", 180, 420, 1515, 255);
  option_merge_protect_ = Place(new QRadioButton(QStringLiteral("Protect Range"), frame_merge_),
                                "OptionMergeProtect", 180, 660, 1455, 195);
  option_merge_replace_->setChecked(true);  // the two share their parent: one group
  // A style sheet stops the window's font from reaching the frame's children.
  for (QWidget* w : std::initializer_list<QWidget*>{frame_merge_, check_merge_,
                                                    option_merge_replace_, option_merge_protect_}) {
    w->setFont(font());
  }

  label1_ = Place(new QLabel(QStringLiteral("<None Loaded>"), this), "Label1", 0, 6300, 5655, 255);
  // What the last command had to say (for example how many entries a palette had).
  label_status_ = Place(new QLabel(this), "LabelStatus", 60, 6585, 5595, 255);

  // A check box or option button lower than its indicator would clip it: grow it
  // about its own middle line.
  for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
    const bool check = qobject_cast<QCheckBox*>(b) != nullptr;
    if (!check && !qobject_cast<QRadioButton*>(b)) continue;
    const int need = b->style()->pixelMetric(
        check ? QStyle::PM_IndicatorHeight : QStyle::PM_ExclusiveIndicatorHeight, nullptr, b);
    const QRect g = b->geometry();
    if (g.height() >= need) continue;
    const int grow = need - g.height();
    b->setGeometry(g.adjusted(0, -(grow / 2), 0, grow - grow / 2));
  }
}

void FormDragNDrop::BuildHiddenControls() {
  // These exist and keep their values, but nothing ever shows them.
  option_sort_sat_ = Place(new QRadioButton(QStringLiteral("Sort by Saturation"), this),
                           "OptionSortSat", 1560, 1800, 1575, 255);
  option_sort_value_ = Place(new QRadioButton(QStringLiteral("Sort by brightness"), this),
                             "OptionSortValue", 480, 2400, 1575, 255);
  check_optimize_ = Place(new QCheckBox(QStringLiteral("Sort Optimizes"), this), "CheckOptimize",
                          120, 4080, 1335, 195);
  auto* range_to = Place(new QPushButton(QStringLiteral("Set Range"), this), "CommandRangeTo", 600,
                         2760, 1815, 375);
  range_to->setToolTip(QStringLiteral("Click on palette color to create range from current to"));
  auto* rand = Place(new QPushButton(QStringLiteral("Rand"), this), "ButtonRand", 720, 1800, 615, 375);
  rand->setEnabled(false);
  check_hw_ = Place(new QCheckBox(QStringLiteral("Use HW Colors"), this), "CheckHW", 360, 1200, 1452, 252);
  check_hw_->setChecked(true);
  check_hw_->setEnabled(false);
  Place(new QLabel(QStringLiteral("Cycle Scheme"), this), "Label4", 720, 960, 1095, 255);
  list_scheme_ = Place(new QListWidget(this), "ListScheme", 1800, 960, 1935, 645);
  list_scheme_->addItems({QStringLiteral("DPaint x 5 (backward)"),
                          QStringLiteral("DPaint x 5 (foreward)"), QStringLiteral("Shimmer")});
  list_scheme_->setCurrentRow(0);
  Place(new QLabel(QStringLiteral("Speed"), this), "LabelSpeed", 480, 600, 660, 270);
  hscroll_speed_ = Place(new QScrollBar(Qt::Horizontal, this), "HScrollSpeed", 720, 1560, 2520, 252);
  hscroll_speed_->setRange(1, 1000);
  hscroll_speed_->setValue(200);
  button_test_ = Place(new QPushButton(QStringLiteral("Test"), this), "ButtonTest", 4800, 4440, 735, 372);
  button_test_->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{
           option_sort_sat_, option_sort_value_, check_optimize_, range_to, rand, check_hw_,
           findChild<QLabel*>(QStringLiteral("Label4")), list_scheme_,
           findChild<QLabel*>(QStringLiteral("LabelSpeed")), hscroll_speed_, button_test_}) {
    w->hide();
  }
}

template <typename Command>
QAction* FormDragNDrop::MakeAction(const char* name, const QString& text, Command&& command) {
  auto* action = new QAction(text, this);
  action->setObjectName(QString::fromLatin1(name));
  // The keys work from the picture window too.
  action->setShortcutContext(Qt::ApplicationShortcut);
  connect(action, &QAction::triggered, this,
          [this, command = std::forward<Command>(command)] { Run(command); });
  addAction(action);
  actions_.push_back(action);
  return action;
}

QAction* FormDragNDrop::Action(const char* name) const {
  for (QAction* a : actions_) {
    if (a->objectName() == QLatin1String(name)) return a;
  }
  return nullptr;
}

void FormDragNDrop::BuildActions() {
  Editor& ed = editor_;
  EditorCommands& cmd = commands_;
  MakeAction("actionLoadPic", tr("Load Pic..."), [&cmd] { cmd.LoadPicture(); });
  MakeAction("actionSavePic", tr("Save Pic..."), [&cmd] { cmd.SavePicture(); });
  MakeAction("actionLoadPalette", tr("Load Palette..."), [&cmd] { cmd.LoadPalette(); });
  MakeAction("actionSavePalette", tr("Save Palette..."), [&cmd] { cmd.SavePalette(); });
  QAction* undo = MakeAction("actionUndo", tr("Undo"), [&ed] { ed.Undo(); });
  undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  QAction* redo = MakeAction("actionRedo", tr("Redo"), [&ed] { ed.Redo(); });
  redo->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  MakeAction("actionSort", tr("Sort"), [&cmd] { cmd.Sort(); });
  MakeAction("actionReverseRange", tr("Reverse Range"), [&ed] { ed.ReverseRange(); });
  MakeAction("actionSpreadRGB", tr("Spread RGB"), [&ed] { ed.Spread(SpreadKind::Rgb); });
  MakeAction("actionSpreadHSV", tr("Spread HSV"), [&ed] { ed.Spread(SpreadKind::Hsv); });
  MakeAction("actionSpreadHSVReverse", tr("Spread HSV Reverse"),
             [&ed] { ed.Spread(SpreadKind::HsvReverse); });
  MakeAction("actionFlip", tr("Flip"), [&ed] { ed.Flip(); });
  MakeAction("actionTest", tr("Test"), [&ed] { ed.ToggleCycling(); });
  QAction* quit = new QAction(tr("Quit"), this);
  quit->setObjectName(QStringLiteral("actionQuit"));
  connect(quit, &QAction::triggered, this, &QWidget::close);
  addAction(quit);
  actions_.push_back(quit);
}

void FormDragNDrop::ConnectControls() {
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
    auto* button = findChild<QPushButton*>(QString::fromLatin1(button_name));
    QAction* action = Action(action_name);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    // A button is enabled exactly when its action is.
    connect(action, &QAction::changed, button,
            [button, action] { button->setEnabled(action->isEnabled()); });
  }
  // "Set Range" changes nothing anyone reads; "Rand" does nothing.

  // Options the user sets: the editor reads them when a command runs.
  Controls& ui = editor_.controls();
  connect(check_move_index_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMoveIndex = on; });
  connect(check_move_color_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMoveColor = on; });
  connect(check_reverse_sort_, &QCheckBox::clicked, this,
          [&ui](bool on) { ui.CheckReverseSort = on; });
  connect(check_optimize_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckOptimize = on; });
  connect(check_merge_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMerge = on; });
  connect(option_merge_replace_, &QRadioButton::clicked, this,
          [&ui] { ui.OptionMergeReplace = true; });
  connect(option_merge_protect_, &QRadioButton::clicked, this,
          [&ui] { ui.OptionMergeReplace = false; });
  connect(sort_group_, &QButtonGroup::idClicked, this,
          [&ui](int id) { ui.SortChoice = static_cast<SortKey>(id); });
  connect(text_move_count_, &QLineEdit::textEdited, this,
          [&ui](const QString& text) { ui.TextMoveCount = text.left(3).toStdString(); });
  connect(check_hw_, &QCheckBox::clicked, this,
          [this](bool on) { Run([this, on] { editor_.SetHardwareColours(on); }); });
  connect(list_scheme_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) Run([this, row] { editor_.SelectScheme(row); });
  });
  connect(hscroll_speed_, &QScrollBar::valueChanged, this,
          [this](int value) { Run([this, value] { editor_.SetCycleSpeed(value); }); });
}

void FormDragNDrop::Load() {
  pixels_dirty_ = true;
  Run([this] { editor_.Start(); });
}

void FormDragNDrop::SyncFromState() {
  board_dirty_ = true;
  pixels_dirty_ = true;
  Flush();
}

void FormDragNDrop::ScheduleFlush() {
  // A command that is running repaints when it ends; the queued flush covers
  // notifications that arrive while a modal dialog inside a command is open, and
  // those that arrive outside any command.
  if (flush_pending_) return;
  flush_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (flush_pending_) Flush();
  });
}

void FormDragNDrop::Flush() {
  flush_pending_ = false;
  SyncControls();
  if (board_dirty_) SyncBoard();
  SyncPicture();
  SyncTimer();
}

void FormDragNDrop::SyncControls() {
  const Controls& ui = editor_.controls();
  label1_->setText(FromState(ui.Label1));
  label_status_->setText(FromState(ui.StatusText));
  label_hist_cnt_->setText(FromState(ui.LabelHistCnt));
  label_ur_->setText(FromState(ui.LabelUR));
  label_ll_->setText(FromState(ui.LabelLL));
  auto tick = [](QAbstractButton* b, bool on) {
    if (b->isChecked() == on) return;
    const QSignalBlocker block(b);
    b->setChecked(on);
  };
  tick(check_move_index_, ui.CheckMoveIndex);
  tick(check_move_color_, ui.CheckMoveColor);
  tick(check_reverse_sort_, ui.CheckReverseSort);
  tick(check_optimize_, ui.CheckOptimize);
  tick(check_merge_, ui.CheckMerge);
  tick(check_hw_, ui.CheckHW);
  tick(ui.OptionMergeReplace ? option_merge_replace_ : option_merge_protect_, true);
  if (QAbstractButton* b = sort_group_->button(static_cast<int>(ui.SortChoice))) tick(b, true);
  const QString count = FromState(ui.TextMoveCount);
  if (text_move_count_->text() != count) text_move_count_->setText(count);
  if (list_scheme_->currentRow() != ui.ListSchemeIndex && ui.ListSchemeIndex >= 0 &&
      ui.ListSchemeIndex < list_scheme_->count()) {
    const QSignalBlocker block(list_scheme_);
    list_scheme_->setCurrentRow(ui.ListSchemeIndex);
  }
  if (hscroll_speed_->value() != ui.HScrollSpeed) {
    const QSignalBlocker block(hscroll_speed_);
    hscroll_speed_->setValue(ui.HScrollSpeed);
  }
  button_test_->setText(FromState(ui.ButtonTestCaption));
  Action("actionTest")->setEnabled(ui.ButtonTestEnabled);
  Action("actionUndo")->setEnabled(editor_.CanUndo());
  Action("actionRedo")->setEnabled(editor_.CanRedo());
  // Until a picture is loaded there is nothing to save.
  Action("actionSavePic")->setEnabled(editor_.PictureLoaded());

  form_pic_->setWindowTitle(FromState(ui.FormPicCaption));
  if (ui.FormPicVisible && !pic_visible_seen_) PictureWindowShown();
  pic_visible_seen_ = ui.FormPicVisible;
}

void FormDragNDrop::SyncBoard() {
  board_dirty_ = false;
  for (size_t i = 0; i < swatches_.size(); ++i) {
    const SwatchRect& r = editor_.Swatches()[i];
    SwatchWidget* swatch = swatches_[i];
    const QRect place = TwipsRect(r.Left, r.Top, r.Width, r.Height);
    if (swatch->geometry() != place) swatch->setGeometry(place);
    if (swatch->isHidden() && !closing_) swatch->show();
    swatch->update();
  }
  overlay_->raise();
}

void FormDragNDrop::SyncPicture() {
  PictureBox* box = form_pic_->Picture1();
  box->SetColourTable(editor_.display().Realized(Surface::PictureBox));
  const int w = editor_.PictureWidth();
  const int h = editor_.PictureHeight();
  if (editor_.PictureLoaded() && (pixels_dirty_ || box->PictureSize() != QSize(w, h))) {
    box->SetPixels(&editor_.Pixels(), w, h);
  }
  pixels_dirty_ = false;
  // Until a picture sizes it, the picture box keeps its design size.
  if (editor_.PictureLoaded()) form_pic_->SetPictureSize(w, h);
}

void FormDragNDrop::SyncTimer() {
  const Controls& ui = editor_.controls();
  const int interval = std::max(1, ui.TimerInterval);
  if (timer_color_->interval() != interval) timer_color_->setInterval(interval);
  if (ui.TimerEnabled && !closing_) {
    if (!timer_color_->isActive()) timer_color_->start();
  } else if (timer_color_->isActive()) {
    timer_color_->stop();
  }
}

// ---- EditorView ----

void FormDragNDrop::SwatchChanged(int index) {
  board_dirty_ = true;
  if (index >= 0 && index < 256) swatches_[static_cast<size_t>(index)]->update();
  ScheduleFlush();
}

void FormDragNDrop::BoardChanged() {
  board_dirty_ = true;
  ScheduleFlush();
}

void FormDragNDrop::ControlsChanged() { ScheduleFlush(); }

void FormDragNDrop::PictureChanged() {
  pixels_dirty_ = true;
  ScheduleFlush();
}

void FormDragNDrop::PicturePaletteChanged() {
  // Swatches showing palette references follow the same palette.
  if (editor_.controls().CheckHW) board_dirty_ = true;
  ScheduleFlush();
}

void FormDragNDrop::PictureWindowShown() {
  if (closing_) return;
  pixels_dirty_ = true;
  if (!form_pic_->isVisible()) {
    // First time on screen: beside the main window rather than on top of it.
    if (!pic_placed_) {
      pic_placed_ = true;
      const QRect main = frameGeometry();
      QPoint at(main.right() + 12, main.top());
      if (const QScreen* screen = this->screen()) {
        const QRect avail = screen->availableGeometry();
        if (at.x() + form_pic_->width() > avail.right()) {
          at.setX(std::max(avail.left(), avail.right() - form_pic_->width()));
        }
      }
      form_pic_->move(at);
    }
    form_pic_->show();
  }
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) form_pic_->raise();
  ScheduleFlush();
}

void FormDragNDrop::TimerChanged() { SyncTimer(); }

void FormDragNDrop::DrawBandBox(float x0, float y0, float x1, float y1) {
  const auto px = [](float twips) { return static_cast<float>(twips / kTwipsPerPixel); };
  overlay_->ToggleBox(px(x0), px(y0), px(x1), px(y1));
}

// ---- swatches ----

void FormDragNDrop::BeginSwatchDrag() { drop_seen_ = false; }

void FormDragNDrop::DropOnSwatch(int target, int source) {
  drop_seen_ = true;
  if (target < 0 || target > 255 || source < 0 || source > 255) return;
  click_marks_index_ = target == source ? target : -1;
  click_marks_prev_ = editor_.Board().prev;
  click_marks_cur_ = editor_.Board().cur;
  Run([this, target, source] { editor_.Drop(target, source); });
  if (target == source) {
    last_click_index_ = target;
    last_click_.start();
  } else {
    last_click_index_ = -1;
  }
}

void FormDragNDrop::EditSwatchColour(int index) {
  last_click_index_ = -1;
  if (index < 0 || index > 255) return;
  const bool after_click = index == click_marks_index_;
  click_marks_index_ = -1;
  Run([this, index, after_click] {
    if (after_click) editor_.SetMarks(click_marks_prev_, click_marks_cur_);
    commands_.EditColour(index);
  });
}

bool FormDragNDrop::TakeSecondClick(int index) {
  const bool hit = index == last_click_index_ && last_click_.isValid() &&
                   last_click_.elapsed() <= QApplication::doubleClickInterval();
  last_click_index_ = -1;
  return hit;
}

bool FormDragNDrop::TakeDoubleClickSuppression() {
  const bool suppress = suppress_dblclick_.isValid() &&
                        suppress_dblclick_.elapsed() <= QApplication::doubleClickInterval();
  suppress_dblclick_.invalidate();
  return suppress;
}

// ---- rubber band on the window's own surface ----

int FormDragNDrop::ButtonCode(Qt::MouseButtons buttons) {
  int code = 0;
  if (buttons & Qt::LeftButton) code |= 1;
  if (buttons & Qt::RightButton) code |= 2;
  if (buttons & Qt::MiddleButton) code |= 4;
  return code;
}

bool FormDragNDrop::OnSurface(QPoint pos) const {
  return rect().contains(pos) && childAt(pos) == nullptr;
}

void FormDragNDrop::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (!band_pressed_ && !OnSurface(pos)) {
    event->ignore();  // over a control: not the window's business
    return;
  }
  band_pressed_ = true;
  event->accept();
  const float x = static_cast<float>(event->position().x() * kTwipsPerPixel);
  const float y = static_cast<float>(event->position().y() * kTwipsPerPixel);
  const int code = ButtonCode(event->buttons() | event->button());
  Run([this, code, x, y] { editor_.MouseDown(code, x, y); });
}

void FormDragNDrop::mouseMoveEvent(QMouseEvent* event) {
  if (!band_pressed_) {
    event->ignore();
    return;
  }
  event->accept();
  const float x = static_cast<float>(event->position().x() * kTwipsPerPixel);
  const float y = static_cast<float>(event->position().y() * kTwipsPerPixel);
  const int code = ButtonCode(event->buttons());
  Run([this, code, x, y] { editor_.MouseMove(code, x, y); });
}

void FormDragNDrop::mouseReleaseEvent(QMouseEvent* event) {
  if (!band_pressed_) {
    event->ignore();
    return;
  }
  event->accept();
  if (event->buttons() == Qt::NoButton) band_pressed_ = false;
  const float x = static_cast<float>(event->position().x() * kTwipsPerPixel);
  const float y = static_cast<float>(event->position().y() * kTwipsPerPixel);
  // The button released, whatever else is still held.
  const int code = ButtonCode(event->button());
  Run([this, code, x, y] { editor_.MouseUp(code, x, y); });
}

void FormDragNDrop::closeEvent(QCloseEvent* event) {
  // Unloading the main window takes the picture window with it, and the program ends.
  closing_ = true;
  timer_color_->stop();
  form_pic_->close();
  event->accept();
  QCoreApplication::quit();
}

}  // namespace hw
