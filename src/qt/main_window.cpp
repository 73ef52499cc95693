#include "qt/main_window.h"

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
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QValidator>
#include <QVBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include "qt/app_icon.h"
#include "qt/board_view.h"
#include "qt/picture_window.h"

namespace hw {

namespace {

const char* const kAppTitle = "Huewright ver 1.0";
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

// "Move:" takes a whole number from 1 to 256; an empty field is allowed while typing.
class MoveCountValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() > 3 || input.front() == QLatin1Char('0')) return Invalid;
    for (const QChar c : input) {
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
    }
    return input.toInt() <= 256 ? Acceptable : Invalid;
  }
};

}  // namespace

QRect TwipsRect(double left, double top, double width, double height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

// Runs one editor command; the outermost one repaints afterwards. Timer ticks
// leave the board alone unless the editor reports a change to it.
template <typename Command>
void MainWindow::Run(Command&& command, bool board) {
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
  if (!failure.isEmpty()) ShowPlainMessage(this, windowTitle(), failure);
}

MainWindow::MainWindow(Editor& editor, FileDialogs* files, ColourDialog* colours,
                             QWidget* parent)
    : QMainWindow(parent), editor_(editor), commands_(editor, files, colours) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QString::fromLatin1(kAppTitle));
  setWindowIcon(MakeAppIcon());
  own_question_.SetParent(this);
  own_loss_question_.SetParent(this);
  commands_.SetLossQuestion(&own_loss_question_);
  surface_ = new BoardSurface(this, this);
  surface_->setFixedSize(TwipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
  setCentralWidget(surface_);
  // Control sizes are fixed in twips, so captions need a small, narrow face.
  QFont small = font();
  small.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                     QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                     QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  small.setPixelSize(11);
  surface_->setFont(small);

  board_token_ = QByteArray::number(QCoreApplication::applicationPid()) + '-' +
                 QByteArray::number(reinterpret_cast<quintptr>(this), 16);
  picture_window_ = std::make_unique<PictureWindow>();
  picture_window_->setWindowIcon(windowIcon());

  BuildHiddenControls();
  BuildControls();
  for (int i = 0; i < 256; ++i) {
    auto* swatch = new SwatchCell(this, i, surface_);
    swatch->setGeometry(TwipsRect(120, 360, 192, 192));
    swatch->hide();
    swatches_[static_cast<size_t>(i)] = swatch;
  }
  overlay_ = new BandOverlay(surface_);
  overlay_->setGeometry(surface_->rect());
  overlay_->raise();

  cycle_timer_ = new QTimer(this);
  cycle_timer_->setObjectName(QStringLiteral("TimerColor"));
  cycle_timer_->setTimerType(Qt::PreciseTimer);
  cycle_timer_->setInterval(16);
  connect(cycle_timer_, &QTimer::timeout, this, [this] {
    Run([this] { editor_.CycleTick(); }, /*board=*/false);
  });

  BuildActions();
  BuildMenus();
  ConnectControls();
  SetTabOrder();
  // The board has the keyboard from the start.
  surface_->setFocus();
  // The window is as large as the menu bar, the board surface and the status bar.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  editor_.SetView(this);
}

MainWindow::~MainWindow() {
  cycle_timer_->stop();
  editor_.SetView(nullptr);
  // The board's widgets and the picture window call back into this window (focus
  // and hide events come while widgets are torn down): they go while it is whole.
  delete surface_;
  surface_ = nullptr;
  picture_window_.reset();
}

void MainWindow::BuildControls() {
  flip_button_ = Place(new QPushButton(QStringLiteral("/"), surface_), "CommanFlip", 120, 30, 255, 255);
  flip_button_->setToolTip(QStringLiteral("Flip"));
  upper_corner_label_ = Place(new QLabel(QStringLiteral("240"), surface_), "LabelUR", 3360, 0, 375, 255);
  lower_corner_label_ = Place(new QLabel(QStringLiteral("15"), surface_), "LabelLL", 120, 3720, 495, 255);
  Place(new QLabel(QStringLiteral("Huewright palette editor"), surface_), "Label2", 600, 0, 2535, 255);

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
    auto* button = Place(new QPushButton(QString::fromLatin1(b.caption), surface_), b.name, b.left,
                         b.top, b.width, b.height);
    if (b.spread_tip) button->setToolTip(QString::fromLatin1(kSpreadTip));
  }

  Place(new QLabel(QStringLiteral("Move:"), surface_), "Label3", 1200, 3720, 492, 252);
  move_count_edit_ =
      Place(new QLineEdit(QStringLiteral("1"), surface_), "TextMoveCount", 1800, 3720, 492, 288);
  move_count_edit_->setMaxLength(3);
  move_count_edit_->setValidator(new MoveCountValidator(move_count_edit_));
  usage_label_ =
      Place(new QLabel(QStringLiteral("0000000"), surface_), "LabelHistCnt", 2880, 3720, 735, 255);
  move_index_box_ =
      Place(new QCheckBox(QStringLiteral("Index"), surface_), "CheckMoveIndex", 1680, 4080, 732, 252);
  move_index_box_->setChecked(true);
  move_colour_box_ =
      Place(new QCheckBox(QStringLiteral("Color"), surface_), "CheckMoveColor", 2520, 4080, 852, 252);
  move_colour_box_->setChecked(true);

  sort_usage_option_ = Place(new QRadioButton(QStringLiteral("Sort by usage"), surface_),
                            "OptionSortHist", 240, 4440, 1575, 255);
  sort_hue_option_ = Place(new QRadioButton(QStringLiteral("Sort by HSV"), surface_), "OptionSortHue",
                           2040, 4440, 1455, 255);
  reverse_sort_box_ = Place(new QCheckBox(QStringLiteral("Reverse sort"), surface_),
                              "CheckReverseSort", 240, 4740, 1275, 255);
  sort_rgb_option_ = Place(new QRadioButton(QStringLiteral("Sort by RGB"), surface_), "OptionSortRed",
                           2040, 4800, 1455, 255);
  // The five sort options form one group, two of them hidden (built earlier).
  sort_group_ = new QButtonGroup(this);
  sort_group_->setObjectName(QStringLiteral("SortOptions"));
  sort_group_->addButton(sort_usage_option_, static_cast<int>(SortKey::Usage));
  sort_group_->addButton(sort_brightness_option_, static_cast<int>(SortKey::Brightness));
  sort_group_->addButton(sort_hue_option_, static_cast<int>(SortKey::Hue));
  sort_group_->addButton(sort_saturation_option_, static_cast<int>(SortKey::Saturation));
  sort_group_->addButton(sort_rgb_option_, static_cast<int>(SortKey::RedGreen));
  sort_usage_option_->setChecked(true);

  merge_frame_ = Place(new QGroupBox(QStringLiteral("Merge"), surface_), "FrameMerge", 60, 5100, 1815, 975);
  // The caption sits on the frame's top line, leaving the inside to the controls
  // placed in it.
  merge_frame_->setStyleSheet(QStringLiteral(
      "QGroupBox#FrameMerge { border: 1px solid palette(mid); border-radius: 2px;"
      " margin-top: 6px; }"
      "QGroupBox#FrameMerge::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 6px; padding: 0 2px; }"));
  merge_box_ = Place(new QCheckBox(QStringLiteral("Merge next load"), merge_frame_), "CheckMerge",
                       120, 180, 1575, 195);
  merge_replace_option_ = Place(new QRadioButton(QStringLiteral("Replace Range"), merge_frame_),
                                "OptionMergeReplace", 180, 420, 1515, 255);
  merge_protect_option_ = Place(new QRadioButton(QStringLiteral("Protect Range"), merge_frame_),
                                "OptionMergeProtect", 180, 660, 1455, 195);
  merge_replace_option_->setChecked(true);  // the two share their parent: one group
  // A style sheet stops the window's font from reaching the frame's children.
  for (QWidget* w : std::initializer_list<QWidget*>{merge_frame_, merge_box_,
                                                    merge_replace_option_, merge_protect_option_}) {
    w->setFont(surface_->font());
  }

  picture_label_ = Place(new QLabel(QStringLiteral("<None Loaded>"), surface_), "Label1", 0, 6300, 5655, 255);
  // What the last command had to say (for example how many entries a palette had).
  status_label_ = Place(new QLabel(surface_), "LabelStatus", 60, 6585, 5595, 255);
  // Both quote file names and what files said: shown as text, never as markup.
  picture_label_->setTextFormat(Qt::PlainText);
  status_label_->setTextFormat(Qt::PlainText);

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

void MainWindow::BuildHiddenControls() {
  // These exist and keep their values, but nothing ever shows them.
  sort_saturation_option_ = Place(new QRadioButton(QStringLiteral("Sort by Saturation"), surface_),
                           "OptionSortSat", 1560, 1800, 1575, 255);
  sort_brightness_option_ = Place(new QRadioButton(QStringLiteral("Sort by brightness"), surface_),
                             "OptionSortValue", 480, 2400, 1575, 255);
  optimize_box_ = Place(new QCheckBox(QStringLiteral("Sort Optimizes"), surface_), "CheckOptimize",
                          120, 4080, 1335, 195);
  auto* range_to = Place(new QPushButton(QStringLiteral("Set Range"), surface_), "CommandRangeTo", 600,
                         2760, 1815, 375);
  range_to->setToolTip(QStringLiteral("Click on palette color to create range from current to"));
  auto* rand = Place(new QPushButton(QStringLiteral("Rand"), surface_), "ButtonRand", 720, 1800, 615, 375);
  rand->setEnabled(false);
  hardware_colours_box_ = Place(new QCheckBox(QStringLiteral("Use HW Colors"), surface_), "CheckHW", 360, 1200, 1452, 252);
  hardware_colours_box_->setChecked(true);
  hardware_colours_box_->setEnabled(false);
  Place(new QLabel(QStringLiteral("Cycle Scheme"), surface_), "Label4", 720, 960, 1095, 255);
  cycle_scheme_list_ = Place(new QListWidget(surface_), "ListScheme", 1800, 960, 1935, 645);
  cycle_scheme_list_->addItems({QStringLiteral("DPaint x 5 (backward)"),
                          QStringLiteral("DPaint x 5 (foreward)"), QStringLiteral("Shimmer")});
  cycle_scheme_list_->setCurrentRow(0);
  Place(new QLabel(QStringLiteral("Speed"), surface_), "LabelSpeed", 480, 600, 660, 270);
  cycle_speed_bar_ = Place(new QScrollBar(Qt::Horizontal, surface_), "HScrollSpeed", 720, 1560, 2520, 252);
  cycle_speed_bar_->setRange(1, 1000);
  cycle_speed_bar_->setValue(200);
  cycle_test_button_ = Place(new QPushButton(QStringLiteral("Test"), surface_), "ButtonTest", 4800, 4440, 735, 372);
  cycle_test_button_->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{
           sort_saturation_option_, sort_brightness_option_, optimize_box_, range_to, rand, hardware_colours_box_,
           findChild<QLabel*>(QStringLiteral("Label4")), cycle_scheme_list_,
           findChild<QLabel*>(QStringLiteral("LabelSpeed")), cycle_speed_bar_, cycle_test_button_}) {
    w->hide();
  }
}

template <typename Command>
QAction* MainWindow::MakeAction(const char* name, const QString& text, Command&& command) {
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

QAction* MainWindow::Action(const char* name) const {
  for (QAction* a : actions_) {
    if (a->objectName() == QLatin1String(name)) return a;
  }
  return nullptr;
}

QAction* MainWindow::MakeViewAction(const char* name, const QString& text,
                                       std::function<void()> slot) {
  auto* action = new QAction(text, this);
  action->setObjectName(QString::fromLatin1(name));
  action->setShortcutContext(Qt::ApplicationShortcut);
  connect(action, &QAction::triggered, this, std::move(slot));
  addAction(action);
  actions_.push_back(action);
  return action;
}

void MainWindow::BuildActions() {
  Editor& ed = editor_;
  EditorCommands& cmd = commands_;
  using K = QKeySequence;
  MakeAction("actionLoadPic", tr("Load Pic..."), [this, &cmd] {
    if (MayDropChanges()) cmd.LoadPicture();
  })->setShortcut(K(Qt::CTRL | Qt::Key_O));
  // Saves to the file the picture came from, in its format, without asking.
  MakeAction("actionSave", tr("Save Pic"), [&cmd] { cmd.SavePictureToItsFile(); })->setShortcut(K(Qt::CTRL | Qt::Key_S));
  MakeAction("actionSavePic", tr("Save Pic As..."), [&cmd] { cmd.SavePicture(); })
      ->setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  MakeAction("actionLoadPalette", tr("Load Palette..."), [&cmd] { cmd.LoadPalette(); });
  MakeAction("actionSavePalette", tr("Save Palette..."), [&cmd] { cmd.SavePalette(); });
  MakeAction("actionUndo", tr("Undo"), [&ed] { ed.Undo(); })->setShortcut(K(Qt::CTRL | Qt::Key_Z));
  MakeAction("actionRedo", tr("Redo"), [&ed] { ed.Redo(); })
      ->setShortcuts({K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), K(Qt::CTRL | Qt::Key_Y)});
  MakeAction("actionSort", tr("Sort"), [&cmd] { cmd.Sort(); });
  MakeAction("actionReverseRange", tr("Reverse Range"), [&ed] { ed.ReverseRange(); });
  MakeAction("actionSpreadRGB", tr("Spread RGB"), [&ed] { ed.Spread(SpreadKind::Rgb); });
  MakeAction("actionSpreadHSV", tr("Spread HSV"), [&ed] { ed.Spread(SpreadKind::Hsv); });
  MakeAction("actionSpreadHSVReverse", tr("Spread HSV Reverse"),
             [&ed] { ed.Spread(SpreadKind::HsvReverse); });
  MakeAction("actionFlip", tr("Flip Board"), [&ed] { ed.Flip(); });
  MakeAction("actionTest", tr("Test"), [&ed] { ed.ToggleCycling(); });
  MakeViewAction("actionQuit", tr("Quit"), [this] { close(); })
      ->setShortcut(K(Qt::CTRL | Qt::Key_Q));

  // The picture window and its zoom: the shell's own business, not the editor's.
  MakeViewAction("actionPictureWindow", tr("Picture Window"), [this] {
    picture_window_->show();
    picture_window_->raise();
    picture_window_->activateWindow();
  });
  MakeViewAction("actionZoomIn", tr("Zoom In"), [this] { picture_window_->StepZoom(+1); })
      ->setShortcuts({K(Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal), K(Qt::Key_Plus)});
  MakeViewAction("actionZoomOut", tr("Zoom Out"), [this] { picture_window_->StepZoom(-1); })
      ->setShortcuts({K(Qt::CTRL | Qt::Key_Minus), K(Qt::Key_Minus)});
  MakeViewAction("actionZoom1", tr("Actual Pixels (1:1)"), [this] { picture_window_->SetZoom(1); })
      ->setShortcut(K(Qt::CTRL | Qt::Key_1));
  MakeViewAction("actionZoomFit", tr("Fit to Window"), [this] { picture_window_->FitZoom(); })
      ->setShortcut(K(Qt::CTRL | Qt::Key_0));
  QAction* unused = MakeViewAction("actionMarkUnused", tr("Mark Unused Entries"), [this] {
    for (SwatchCell* s : swatches_) s->update();
  });
  unused->setCheckable(true);
  QAction* blink = MakeViewAction("actionBlink", tr("Blink Hovered Colour"), [this] {
    HoverSwatch(hovered_);
  });
  blink->setCheckable(true);
  MakeViewAction("actionKeys", tr("Keys"), [this] { ShowKeys(); })->setShortcut(K(Qt::Key_F1));
  MakeViewAction("actionAbout", tr("About Huewright"), [this] {
    QMessageBox::about(this, tr("About Huewright"),
                       tr("<b>Huewright</b> %1<br>A palette editor for 8-bit indexed PCX and PNG "
                          "pictures.")
                           .arg(QCoreApplication::applicationVersion()));
  });
}

void MainWindow::BuildMenus() {
  const auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (*name == '\0') {
        menu->addSeparator();
      } else {
        menu->addAction(Action(name));
      }
    }
  };
  QMenuBar* bar = menuBar();
  add(bar->addMenu(tr("&File")), {"actionLoadPic", "actionSave", "actionSavePic", "",
                                  "actionLoadPalette", "actionSavePalette", "", "actionQuit"});
  add(bar->addMenu(tr("&Edit")),
      {"actionUndo", "actionRedo", "", "actionSort", "actionReverseRange", "actionSpreadRGB",
       "actionSpreadHSV", "actionSpreadHSVReverse"});
  add(bar->addMenu(tr("&View")),
      {"actionPictureWindow", "", "actionZoomIn", "actionZoomOut", "actionZoom1", "actionZoomFit",
       "", "actionFlip", "actionMarkUnused", "actionBlink"});
  add(bar->addMenu(tr("&Help")), {"actionKeys", "actionAbout"});

  QStatusBar* status = statusBar();
  status->setSizeGripEnabled(false);
  status->setFont(surface_->font());
  values_label_ = new QLabel(status);
  values_label_->setObjectName(QStringLiteral("LabelValues"));
  status->addWidget(values_label_, 1);
  zoom_label_ = new QLabel(status);
  zoom_label_->setObjectName(QStringLiteral("LabelZoom"));
  status->addPermanentWidget(zoom_label_);
  connect(picture_window_.get(), &PictureWindow::ZoomChanged, this, [this] {
    zoom_label_->setText(tr("Zoom %1").arg(ZoomText(picture_window_->Zoom())));
  });
  zoom_label_->setText(tr("Zoom %1").arg(ZoomText(picture_window_->Zoom())));
  // A click on a pixel of the picture selects the entry it uses.
  connect(picture_window_->View(), &PictureView::PixelClicked, this, [this](int x, int y) {
    const size_t k = static_cast<size_t>(y) * static_cast<size_t>(editor_.PictureWidth()) +
                     static_cast<size_t>(x);
    if (k < editor_.Pixels().size()) Run([this, k] { editor_.Select(editor_.Pixels()[k]); });
  });
}

void MainWindow::SetTabOrder() {
  // The board first, then the options under it, then the command buttons down the
  // right-hand column.
  QWidget* order[] = {flip_button_,       surface_,           move_count_edit_,
                      move_index_box_,  move_colour_box_,  sort_usage_option_,
                      sort_hue_option_,   reverse_sort_box_, sort_rgb_option_,
                      merge_box_,       merge_replace_option_, merge_protect_option_};
  QWidget* last = nullptr;
  for (QWidget* w : order) {
    if (last) QWidget::setTabOrder(last, w);
    last = w;
  }
  for (const char* name : {"CommandSpreadRGB", "CommandSpreadHSV", "CommandSpreadHSVReverse",
                           "CommandReverse", "ButtonLoad", "ButtonSave", "CommandLoadPal",
                           "CommandSavePal", "ButtonUndo", "ButtonRedo", "CommandSort",
                           "ButtonQuit"}) {
    QWidget* w = findChild<QPushButton*>(QString::fromLatin1(name));
    QWidget::setTabOrder(last, w);
    last = w;
  }
}

void MainWindow::ShowKeys() {
  if (keys_page_ == nullptr) {
    auto* page = new QDialog(this);
    page->setObjectName(QStringLiteral("KeysPage"));
    page->setWindowTitle(tr("Huewright keys"));
    auto* text = new QLabel(page);
    text->setTextFormat(Qt::RichText);
    text->setText(tr(
        "<table cellspacing=4>"
        "<tr><td colspan=2><b>Anywhere</b></td></tr>"
        "<tr><td>Ctrl+O</td><td>Load Pic...</td></tr>"
        "<tr><td>Ctrl+S</td><td>Save Pic (to its own file and format)</td></tr>"
        "<tr><td>Ctrl+Shift+S</td><td>Save Pic As...</td></tr>"
        "<tr><td>Ctrl+Z</td><td>Undo</td></tr>"
        "<tr><td>Ctrl+Shift+Z, Ctrl+Y</td><td>Redo</td></tr>"
        "<tr><td>+, Ctrl++ / -, Ctrl+-</td><td>Zoom the picture in / out</td></tr>"
        "<tr><td>Ctrl+1 / Ctrl+0</td><td>Zoom 1:1 / fit to the window</td></tr>"
        "<tr><td>Ctrl+Q</td><td>Quit</td></tr>"
        "<tr><td>F1</td><td>This page</td></tr>"
        "<tr><td colspan=2><b>On the board</b></td></tr>"
        "<tr><td>Arrows</td><td>Select the neighbouring swatch</td></tr>"
        "<tr><td>Shift+arrows</td><td>Move only the current mark: set the range</td></tr>"
        "<tr><td>Enter</td><td>Edit the selected colour</td></tr>"
        "<tr><td>Tab</td><td>Next control</td></tr>"
        "<tr><td colspan=2><b>In the picture window</b></td></tr>"
        "<tr><td>Ctrl+wheel</td><td>Zoom about the pointer</td></tr>"
        "<tr><td>Middle drag, Space+drag</td><td>Pan</td></tr>"
        "<tr><td>Click</td><td>Select the entry of that pixel</td></tr>"
        "</table>"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, page);
    connect(close, &QDialogButtonBox::rejected, page, &QDialog::hide);
    auto* box = new QVBoxLayout(page);
    box->addWidget(text);
    box->addWidget(close);
    keys_page_ = page;
  }
  keys_page_->show();
  keys_page_->raise();
  keys_page_->activateWindow();
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
  connect(move_index_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMoveIndex = on; });
  connect(move_colour_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMoveColor = on; });
  connect(reverse_sort_box_, &QCheckBox::clicked, this,
          [&ui](bool on) { ui.CheckReverseSort = on; });
  connect(optimize_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckOptimize = on; });
  connect(merge_box_, &QCheckBox::clicked, this, [&ui](bool on) { ui.CheckMerge = on; });
  connect(merge_replace_option_, &QRadioButton::clicked, this,
          [&ui] { ui.OptionMergeReplace = true; });
  connect(merge_protect_option_, &QRadioButton::clicked, this,
          [&ui] { ui.OptionMergeReplace = false; });
  connect(sort_group_, &QButtonGroup::idClicked, this,
          [&ui](int id) { ui.SortChoice = static_cast<SortKey>(id); });
  connect(move_count_edit_, &QLineEdit::textEdited, this,
          [&ui](const QString& text) { ui.TextMoveCount = text.left(3).toStdString(); });
  connect(hardware_colours_box_, &QCheckBox::clicked, this,
          [this](bool on) { Run([this, on] { editor_.SetHardwareColours(on); }); });
  connect(cycle_scheme_list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) Run([this, row] { editor_.SelectScheme(row); });
  });
  connect(cycle_speed_bar_, &QScrollBar::valueChanged, this,
          [this](int value) { Run([this, value] { editor_.SetCycleSpeed(value); }); });
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
  if (board_dirty_) SyncBoard();
  SyncPicture();
  SyncTimer();
}

void MainWindow::SyncControls() {
  const Controls& ui = editor_.controls();
  picture_label_->setText(FromState(ui.Label1));
  status_label_->setText(FromState(ui.StatusText));
  usage_label_->setText(FromState(ui.LabelHistCnt));
  upper_corner_label_->setText(FromState(ui.LabelUR));
  lower_corner_label_->setText(FromState(ui.LabelLL));
  auto tick = [](QAbstractButton* b, bool on) {
    if (b->isChecked() == on) return;
    const QSignalBlocker block(b);
    b->setChecked(on);
  };
  tick(move_index_box_, ui.CheckMoveIndex);
  tick(move_colour_box_, ui.CheckMoveColor);
  tick(reverse_sort_box_, ui.CheckReverseSort);
  tick(optimize_box_, ui.CheckOptimize);
  tick(merge_box_, ui.CheckMerge);
  tick(hardware_colours_box_, ui.CheckHW);
  tick(ui.OptionMergeReplace ? merge_replace_option_ : merge_protect_option_, true);
  if (QAbstractButton* b = sort_group_->button(static_cast<int>(ui.SortChoice))) tick(b, true);
  const QString count = FromState(ui.TextMoveCount);
  if (move_count_edit_->text() != count) move_count_edit_->setText(count);
  if (cycle_scheme_list_->currentRow() != ui.ListSchemeIndex && ui.ListSchemeIndex >= 0 &&
      ui.ListSchemeIndex < cycle_scheme_list_->count()) {
    const QSignalBlocker block(cycle_scheme_list_);
    cycle_scheme_list_->setCurrentRow(ui.ListSchemeIndex);
  }
  if (cycle_speed_bar_->value() != ui.HScrollSpeed) {
    const QSignalBlocker block(cycle_speed_bar_);
    cycle_speed_bar_->setValue(ui.HScrollSpeed);
  }
  cycle_test_button_->setText(FromState(ui.ButtonTestCaption));
  Action("actionTest")->setEnabled(ui.ButtonTestEnabled);
  Action("actionUndo")->setEnabled(editor_.CanUndo());
  Action("actionRedo")->setEnabled(editor_.CanRedo());
  // Until a picture is loaded there is nothing to save.
  Action("actionSavePic")->setEnabled(editor_.PictureLoaded());
  Action("actionSave")->setEnabled(editor_.PictureLoaded());
  Action("actionPictureWindow")->setEnabled(editor_.PictureLoaded());
  UpdateTitle();
  ShowValues();

  picture_window_->setWindowTitle(FromState(ui.FormPicCaption));
  if (ui.FormPicVisible && !pic_visible_seen_) PictureWindowShown();
  pic_visible_seen_ = ui.FormPicVisible;
}

void MainWindow::SyncBoard() {
  board_dirty_ = false;
  for (size_t i = 0; i < swatches_.size(); ++i) {
    const SwatchRect& r = editor_.Swatches()[i];
    SwatchCell* swatch = swatches_[i];
    const QRect place = TwipsRect(r.Left, r.Top, r.Width, r.Height);
    if (swatch->geometry() != place) swatch->setGeometry(place);
    if (swatch->isHidden() && !closing_) swatch->show();
    swatch->update();
  }
  overlay_->raise();
}

void MainWindow::SyncPicture() {
  PictureView* box = picture_window_->View();
  box->SetColourTable(editor_.display().Realized(Surface::PictureBox));
  const int w = editor_.PictureWidth();
  const int h = editor_.PictureHeight();
  if (editor_.PictureLoaded() && (pixels_dirty_ || box->PictureSize() != QSize(w, h))) {
    box->SetPixels(&editor_.Pixels(), w, h);
  }
  pixels_dirty_ = false;
  // Until a picture sizes it, the picture box keeps its design size.
  if (editor_.PictureLoaded()) picture_window_->SetPictureSize(w, h);
}

void MainWindow::SyncTimer() {
  const Controls& ui = editor_.controls();
  const int interval = std::max(1, ui.TimerInterval);
  if (cycle_timer_->interval() != interval) cycle_timer_->setInterval(interval);
  if (ui.TimerEnabled && !closing_) {
    if (!cycle_timer_->isActive()) cycle_timer_->start();
  } else if (cycle_timer_->isActive()) {
    cycle_timer_->stop();
  }
}

// ---- EditorView ----

void MainWindow::SwatchChanged(int index) {
  board_dirty_ = true;
  if (index >= 0 && index < 256) swatches_[static_cast<size_t>(index)]->update();
  ScheduleFlush();
}

void MainWindow::BoardChanged() {
  board_dirty_ = true;
  ScheduleFlush();
}

void MainWindow::ControlsChanged() { ScheduleFlush(); }

void MainWindow::PictureChanged() {
  pixels_dirty_ = true;
  ScheduleFlush();
}

void MainWindow::PicturePaletteChanged() {
  // Swatches showing palette references follow the same palette.
  if (editor_.controls().CheckHW) board_dirty_ = true;
  ScheduleFlush();
}

void MainWindow::PictureWindowShown() {
  if (closing_) return;
  pixels_dirty_ = true;
  if (!picture_window_->isVisible()) {
    // First time on screen: beside the main window rather than on top of it.
    if (!pic_placed_) {
      pic_placed_ = true;
      const QRect main = frameGeometry();
      QPoint at(main.right() + 12, main.top());
      if (const QScreen* screen = this->screen()) {
        const QRect avail = screen->availableGeometry();
        if (at.x() + picture_window_->width() > avail.right()) {
          at.setX(std::max(avail.left(), avail.right() - picture_window_->width()));
        }
      }
      picture_window_->move(at);
    }
    picture_window_->show();
  }
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) picture_window_->raise();
  ScheduleFlush();
}

void MainWindow::TimerChanged() { SyncTimer(); }

void MainWindow::DrawBandBox(float x0, float y0, float x1, float y1) {
  const auto px = [](float twips) { return static_cast<float>(twips / kTwipsPerPixel); };
  overlay_->ToggleBox(px(x0), px(y0), px(x1), px(y1));
}

// ---- swatches ----

void MainWindow::BeginSwatchDrag() { drop_seen_ = false; }

void MainWindow::DropOnSwatch(int target, int source) {
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

void MainWindow::EditSwatchColour(int index) {
  last_click_index_ = -1;
  if (index < 0 || index > 255) return;
  const bool after_click = index == click_marks_index_;
  click_marks_index_ = -1;
  Run([this, index, after_click] {
    if (after_click) editor_.SetMarks(click_marks_prev_, click_marks_cur_);
    commands_.EditColour(index);
  });
}

bool MainWindow::TakeSecondClick(int index) {
  const bool hit = index == last_click_index_ && last_click_.isValid() &&
                   last_click_.elapsed() <= QApplication::doubleClickInterval();
  last_click_index_ = -1;
  return hit;
}

bool MainWindow::TakeDoubleClickSuppression() {
  const bool suppress = suppress_dblclick_.isValid() &&
                        suppress_dblclick_.elapsed() <= QApplication::doubleClickInterval();
  suppress_dblclick_.invalidate();
  return suppress;
}

// ---- rubber band on the window's own surface ----

int MainWindow::ButtonCode(Qt::MouseButtons buttons) {
  int code = 0;
  if (buttons & Qt::LeftButton) code |= 1;
  if (buttons & Qt::RightButton) code |= 2;
  if (buttons & Qt::MiddleButton) code |= 4;
  return code;
}

void MainWindow::SurfaceMousePress(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (!band_pressed_ && !surface_->OnSurface(pos)) {
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

void MainWindow::SurfaceMouseMove(QMouseEvent* event) {
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

void MainWindow::SurfaceMouseRelease(QMouseEvent* event) {
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

// ---- values, keys and unsaved work ----

QString MainWindow::SwatchValues(int index) const {
  if (index < 0 || index > 255) return {};
  const RGBTriple c = editor_.Board().entries[static_cast<size_t>(index)].rgb;
  const uint32_t used = editor_.Usage()[static_cast<size_t>(index)];
  return tr("Index %1   RGB %2, %3, %4   #%5   %6")
      .arg(index)
      .arg(c.R)
      .arg(c.G)
      .arg(c.B)
      .arg(QString::asprintf("%02x%02x%02x", c.R, c.G, c.B))
      .arg(!editor_.PictureLoaded() ? tr("no picture")
           : used == 1              ? tr("used by 1 pixel")
           : used == 0              ? tr("unused")
                                    : tr("used by %1 pixels").arg(used));
}

void MainWindow::ShowValues() {
  // The swatch under the pointer, or else the selected one.
  const int index = hovered_ >= 0 ? hovered_ : editor_.Board().cur;
  const QString text = SwatchValues(index);
  if (values_label_->text() != text) values_label_->setText(text);
}

void MainWindow::HoverSwatch(int index) {
  hovered_ = index >= 0 && index < 256 ? index : -1;
  ShowValues();
  const bool blink = Action("actionBlink")->isChecked();
  picture_window_->View()->SetBlinkIndex(blink ? hovered_ : -1);
}

bool MainWindow::MarkUnused() const {
  const QAction* action = Action("actionMarkUnused");
  return action != nullptr && action->isChecked();
}

void MainWindow::UpdateTitle() {
  const QString app = QString::fromLatin1(kAppTitle);
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

void MainWindow::StepMarks(Qt::Key key, bool range) {
  const BoardState& b = editor_.Board();
  const int at = b.cur;
  // Unflipped the board is column-major (position n in column n / 16, row n % 16),
  // flipped it is row-major: a step across the screen is 16 positions or 1.
  const int across = editor_.Flipped() ? 1 : 16;
  const int down = editor_.Flipped() ? 16 : 1;
  const int col = editor_.Flipped() ? at % 16 : at / 16;
  const int row = editor_.Flipped() ? at / 16 : at % 16;
  int to = at;
  if (key == Qt::Key_Left && col > 0) to = at - across;
  if (key == Qt::Key_Right && col < 15) to = at + across;
  if (key == Qt::Key_Up && row > 0) to = at - down;
  if (key == Qt::Key_Down && row < 15) to = at + down;
  const int prev = range ? b.prev : to;
  Run([this, prev, to] { editor_.SetMarks(prev, to); });
}

void MainWindow::EditCurrentColour() {
  const int index = editor_.Board().cur;
  Run([this, index] { commands_.EditColour(index); });
}

bool MainWindow::MayDropChanges() {
  if (!editor_.Modified()) return true;
  const QString name = QFileInfo(PathFromNative(editor_.PicturePath())).fileName();
  switch (question_->AskSave(name)) {
    case SaveAnswer::Discard:
      emit ChangesDiscarded();
      return true;
    case SaveAnswer::Save:
      // A save that fails has been reported, and one the user cancels (it would
      // lose what the format cannot hold) cancels the quit or load too.
      return commands_.SavePictureToItsFile();
    case SaveAnswer::Cancel:
      break;
  }
  return false;
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
  // Unloading the main window takes the picture window with it, and the program ends.
  closing_ = true;
  cycle_timer_->stop();
  picture_window_->close();
  event->accept();
  QCoreApplication::quit();
}

}  // namespace hw
