#include "qt/control_table.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QValidator>

#include "board/moves.h"
#include "qt/twips.h"

namespace hw {

namespace {

using K = ControlKind;
constexpr double X = kBoardLeftTwips;
constexpr double Y = kBoardTopTwips;

// clang-format off
const ControlRow kControls[] = {
    // Above the board: the flip button, the title and the corner number.
    {"CommanFlip", K::Button, "/", 120 - X, 30 - Y, 255, 255},
    {"Label2", K::Label, "Huewright palette editor", 600 - X, 0 - Y, 2535, 255},
    {"LabelUR", K::Label, "240", 3360 - X, 0 - Y, 375, 255},
    // Right of the board: the command buttons, top to bottom.
    {"CommandSpreadRGB", K::Button, "Spread RGB", 3840 - X, 360 - Y, 1815, 375},
    {"CommandSpreadHSV", K::Button, "Spread HSV", 3840 - X, 840 - Y, 1815, 375},
    {"CommandSpreadHSVReverse", K::Button, "Spread HSV Reverse", 3840 - X, 1320 - Y, 1815, 375},
    {"CommandReverse", K::Button, "Reverse Range", 3840 - X, 1800 - Y, 1815, 375},
    {"ButtonLoad", K::Button, "Load Pic...", 3840 - X, 2400 - Y, 1815, 372},
    {"ButtonSave", K::Button, "Save Pic...", 3840 - X, 2880 - Y, 1815, 372},
    {"CommandLoadPal", K::Button, "Load Palette...", 3840 - X, 3360 - Y, 1815, 372},
    {"CommandSavePal", K::Button, "Save Palette...", 3840 - X, 3840 - Y, 1815, 372},
    {"ButtonUndo", K::Button, "Undo", 3840 - X, 4440 - Y, 732, 372},
    {"ButtonRedo", K::Button, "Redo", 4800 - X, 4440 - Y, 732, 372},
    {"CommandSort", K::Button, "Sort", 3840 - X, 4920 - Y, 732, 375},
    {"ButtonQuit", K::Button, "Quit", 4800 - X, 4920 - Y, 732, 372},
    // Under the board: the corner number, the move count and what moves.
    {"LabelLL", K::Label, "15", 120 - X, 3720 - Y, 495, 255},
    {"Label3", K::Label, "Move:", 1200 - X, 3720 - Y, 492, 252},
    {"TextMoveCount", K::Edit, "1", 1800 - X, 3720 - Y, 492, 288},
    {"LabelHistCnt", K::Label, "0000000", 2880 - X, 3720 - Y, 735, 255},
    {"CheckMoveIndex", K::Check, "Index", 1680 - X, 4080 - Y, 732, 252},
    {"CheckMoveColor", K::Check, "Color", 2520 - X, 4080 - Y, 852, 252},
    // Further down: the sort options.
    {"OptionSortHist", K::Option, "Sort by usage", 240 - X, 4440 - Y, 1575, 255},
    {"OptionSortHue", K::Option, "Sort by HSV", 2040 - X, 4440 - Y, 1455, 255},
    {"CheckReverseSort", K::Check, "Reverse sort", 240 - X, 4740 - Y, 1275, 255},
    {"OptionSortRed", K::Option, "Sort by RGB", 2040 - X, 4800 - Y, 1455, 255},
    {"OptionSortLightness", K::Option, "Sort by lightness", 2040 - X, 5100 - Y, 1695, 255},
    {"CheckSortRange", K::Check, "Range only", 2040 - X, 5400 - Y, 1455, 255},
    // Bottom left: the merge frame and its options (placed in the frame).
    {"FrameMerge", K::Frame, "Merge", 60 - X, 5100 - Y, 1815, 975},
    {"CheckMerge", K::Check, "Merge next load", 120, 180, 1575, 195, false, "FrameMerge"},
    {"OptionMergeReplace", K::Option, "Replace Range", 180, 420, 1515, 255, false, "FrameMerge"},
    {"OptionMergeProtect", K::Option, "Protect Range", 180, 660, 1455, 195, false, "FrameMerge"},
    // At the bottom: the picture's name and size, and what the last command said.
    {"Label1", K::Label, "<None Loaded>", 60 - X, 6300 - Y, 5595, 255},
    {"LabelStatus", K::Label, "", 60 - X, 6585 - Y, 5595, 255},
    // Built and kept up to date, never shown: more sort options, the colour
    // cycling controls and two buttons that do nothing.
    {"OptionSortSat", K::Option, "Sort by Saturation", 1560 - X, 1800 - Y, 1575, 255, true},
    {"OptionSortValue", K::Option, "Sort by brightness", 480 - X, 2400 - Y, 1575, 255, true},
    {"CheckOptimize", K::Check, "Sort Optimizes", 120 - X, 4080 - Y, 1335, 195, true},
    {"CommandRangeTo", K::Button, "Set Range", 600 - X, 2760 - Y, 1815, 375, true},
    {"ButtonRand", K::Button, "Rand", 720 - X, 1800 - Y, 615, 375, true},
    {"CheckHW", K::Check, "Use HW Colors", 360 - X, 1200 - Y, 1452, 252, true},
    {"Label4", K::Label, "Cycle Scheme", 720 - X, 960 - Y, 1095, 255, true},
    {"ListScheme", K::List, "", 1800 - X, 960 - Y, 1935, 645, true},
    {"LabelSpeed", K::Label, "Speed", 480 - X, 600 - Y, 660, 270, true},
    {"HScrollSpeed", K::ScrollBar, "", 720 - X, 1560 - Y, 2520, 252, true},
    {"ButtonTest", K::Button, "Test", 4800 - X, 4440 - Y, 735, 372, true},
};
// clang-format on

const char* const kSpreadTip = "Click on color to spread colors between current and your selection";

// "Move:" takes a move count (1 to 256), typed as plain digits; an empty field is
// allowed while typing.
class MoveCountValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() > 3 || input.front() == QLatin1Char('0')) return Invalid;
    for (const QChar c : input) {
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
    }
    return IsMoveCount(input.toInt()) ? Acceptable : Invalid;
  }
};

QWidget* Make(const ControlRow& row, QWidget* parent) {
  const QString caption = QString::fromLatin1(row.caption);
  switch (row.kind) {
    case K::Button:
      return new QPushButton(caption, parent);
    case K::Label:
      return new QLabel(caption, parent);
    case K::Edit:
      return new QLineEdit(caption, parent);
    case K::Check:
      return new QCheckBox(caption, parent);
    case K::Option:
      return new QRadioButton(caption, parent);
    case K::Frame:
      return new QGroupBox(caption, parent);
    case K::List:
      return new QListWidget(parent);
    case K::ScrollBar:
      return new QScrollBar(Qt::Horizontal, parent);
  }
  return nullptr;
}

// A check box or option button lower than its indicator would clip it: grown
// about its own middle line.
void FitIndicator(QAbstractButton* b) {
  const bool check = qobject_cast<QCheckBox*>(b) != nullptr;
  const int need = b->style()->pixelMetric(
      check ? QStyle::PM_IndicatorHeight : QStyle::PM_ExclusiveIndicatorHeight, nullptr, b);
  const QRect g = b->geometry();
  if (g.height() >= need) return;
  const int grow = need - g.height();
  b->setGeometry(g.adjusted(0, -(grow / 2), 0, grow - grow / 2));
}

}  // namespace

void PlaceControls(QWidget* surface, int grow) {
  // The board's last column and its lower edge, in twips from its corner.
  constexpr double kLastColumn = 15 * 192 * 1.1 - 10;
  constexpr double kBelow = 3720 - kBoardTopTwips;
  for (const ControlRow& row : kControls) {
    QWidget* w = Control<QWidget>(surface, row.name);
    if (w == nullptr) continue;
    const double dx = row.inside ? 0 : kBoardLeftTwips;
    const double dy = row.inside ? 0 : kBoardTopTwips;
    QRect place = TwipsRect(row.left + dx, row.top + dy, row.width, row.height);
    if (!row.inside) {
      // The column of buttons right of the board moves right with its far edge,
      // what lies below it moves down; the lines that span the window widen.
      const bool right = row.left >= kLastColumn, below = !right && row.top >= kBelow;
      place.translate(right ? grow : 0, below ? grow : 0);
      if (row.left <= 0 && row.width > 5000) place.setWidth(place.width() + grow);
    }
    w->setGeometry(place);
    if (row.kind == K::Check || row.kind == K::Option)
      FitIndicator(static_cast<QAbstractButton*>(w));
  }
}

void BuildControlTable(QWidget* surface) {
  for (const ControlRow& row : kControls) {
    QWidget* parent = row.inside ? Control<QWidget>(surface, row.inside) : surface;
    QWidget* w = Make(row, parent);
    w->setObjectName(QString::fromLatin1(row.name));
    if (row.kind == K::Frame) {
      // The caption sits on the frame's top line, leaving the inside to its options.
      w->setStyleSheet(
          QStringLiteral(
              "QGroupBox#%1 { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; "
              "}"
              "QGroupBox#%1::title { subcontrol-origin: margin; subcontrol-position: top left;"
              " left: 6px; padding: 0 2px; }")
              .arg(w->objectName()));
    }
    // A style sheet stops the surface's font from reaching a frame and what it holds.
    if (row.inside || row.kind == K::Frame) w->setFont(surface->font());
    if (row.hidden) w->hide();
  }
  PlaceControls(surface, 0);
  // Starting states.
  for (const char* name :
       {"CheckMoveIndex", "CheckMoveColor", "OptionSortHist", "OptionMergeReplace", "CheckHW"}) {
    Control<QAbstractButton>(surface, name)->setChecked(true);
  }
  for (const char* name : {"ButtonRand", "CheckHW", "ButtonTest"}) {
    Control<QWidget>(surface, name)->setEnabled(false);
  }
  for (const char* name :
       {"CommandSpreadRGB", "CommandSpreadHSV", "CommandSpreadHSVReverse", "CommandReverse"}) {
    Control<QWidget>(surface, name)->setToolTip(QString::fromLatin1(kSpreadTip));
  }
  Control<QWidget>(surface, "CommanFlip")->setToolTip(QStringLiteral("Flip"));
  Control<QWidget>(surface, "LabelUR")
      ->setToolTip(QStringLiteral("Position of the swatch in the top right corner"));
  Control<QWidget>(surface, "LabelLL")
      ->setToolTip(QStringLiteral("Position of the swatch in the bottom left corner"));
  Control<QWidget>(surface, "LabelHistCnt")
      ->setToolTip(QStringLiteral("Pixels using the selected entry"));
  Control<QWidget>(surface, "CommandRangeTo")
      ->setToolTip(QStringLiteral("Click on palette color to create range from current to"));
  auto* count = Control<QLineEdit>(surface, "TextMoveCount");
  count->setMaxLength(3);
  count->setValidator(new MoveCountValidator(count));
  auto* schemes = Control<QListWidget>(surface, "ListScheme");
  schemes->addItems({QStringLiteral("DPaint x 5 (backward)"),
                     QStringLiteral("DPaint x 5 (foreward)"), QStringLiteral("Shimmer")});
  schemes->setCurrentRow(0);
  auto* speed = Control<QScrollBar>(surface, "HScrollSpeed");
  speed->setRange(1, 1000);
  speed->setValue(200);
  // Both quote file names and what files said: shown as text, never as markup.
  Control<QLabel>(surface, "Label1")->setTextFormat(Qt::PlainText);
  Control<QLabel>(surface, "LabelStatus")->setTextFormat(Qt::PlainText);
}

void SetControlTabOrder(QWidget* surface) {
  QWidget* last = Control<QWidget>(surface, "CommanFlip");
  QWidget::setTabOrder(last, surface);
  last = surface;
  for (const char* name : {"TextMoveCount",    "CheckMoveIndex",      "CheckMoveColor",
                           "OptionSortHist",   "OptionSortHue",       "CheckReverseSort",
                           "OptionSortRed",    "OptionSortLightness", "CheckSortRange",
                           "CheckMerge",       "OptionMergeReplace",  "OptionMergeProtect",
                           "CommandSpreadRGB", "CommandSpreadHSV",    "CommandSpreadHSVReverse",
                           "CommandReverse",   "ButtonLoad",          "ButtonSave",
                           "CommandLoadPal",   "CommandSavePal",      "ButtonUndo",
                           "ButtonRedo",       "CommandSort",         "ButtonQuit"}) {
    QWidget* w = Control<QWidget>(surface, name);
    QWidget::setTabOrder(last, w);
    last = w;
  }
}

}  // namespace hw
