#include "qt/main_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QVBoxLayout>

#include "base/version.h"
#include "editor/commands.h"
#include "editor/editor.h"
#include "qt/board_view.h"
#include "qt/options_panel.h"
#include "qt/picture_window.h"
#include "qt/target_dialogs.h"

namespace hw {

MainActions::MainActions(QMainWindow& window, ActionTargets targets)
    : QObject(&window), window_(window), targets_(std::move(targets)) {
  Editor& ed = targets_.editor;
  EditorCommands& cmd = targets_.commands;
  PictureWindow& pic = targets_.pictures;
  using K = QKeySequence;
  Command("actionLoadPic", tr("Load Pic..."), [this, &cmd] {
    if (targets_.may_drop_changes()) cmd.LoadPicture();
  })->setShortcut(K(Qt::CTRL | Qt::Key_O));
  // Saves to the picture's own file, in its format, without asking for a name.
  Command("actionSave", tr("Save Pic"), [&cmd] {
    cmd.SavePictureToItsFile();
  })->setShortcut(K(Qt::CTRL | Qt::Key_S));
  Command("actionSavePic", tr("Save Pic As..."), [&cmd] {
    cmd.SavePicture();
  })->setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  const OptionsPanel& options = targets_.options;
  Command("actionLoadPalette", tr("Load Palette..."),
          [&cmd, &options] { cmd.LoadPalette(options.Merge()); });
  Command("actionSavePalette", tr("Save Palette..."), [&cmd] { cmd.SavePalette(); });
  Command("actionSaveBank", tr("Save Bank..."),
          [this, &cmd] { cmd.SaveBank(targets_.bank_size()); });
  Command("actionExportCycleAnimation", tr("Export Cycle Animation..."),
          [&cmd] { cmd.ExportCycleAnimation(); });
  Command("actionUndo", tr("Undo"), [&ed] { ed.Undo(); })->setShortcut(K(Qt::CTRL | Qt::Key_Z));
  Command("actionRedo", tr("Redo"), [&ed] {
    ed.Redo();
  })->setShortcuts({K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), K(Qt::CTRL | Qt::Key_Y)});
  Command("actionSort", tr("Sort"), [&ed, &options] {
    ed.Sort(options.SortChoice(), options.ReverseSort(), options.Moving(), options.RangeOnlySort());
  });
  Command("actionReverseRange", tr("Reverse Range"),
          [&ed, &options] { ed.ReverseRange(options.Moving()); });
  Command("actionSpreadRGB", tr("Spread RGB"), [&ed] { ed.Spread(SpreadKind::Rgb); });
  Command("actionSpreadHSV", tr("Spread HSV"), [&ed] { ed.Spread(SpreadKind::Hsv); });
  Command("actionSpreadHSVReverse", tr("Spread HSV Reverse"),
          [&ed] { ed.Spread(SpreadKind::HsvReverse); });
  // The metric is chosen with the command: two entries, one dialog each.
  Command("actionRemapRgb", tr("Remap to Palette (RGB)..."),
          [&cmd] { cmd.RemapToPalette(RemapMetric::Rgb); });
  Command("actionRemapPerceptual", tr("Remap to Palette (Perceptual)..."),
          [&cmd] { cmd.RemapToPalette(RemapMetric::Perceptual); });
  Command("actionMergeDuplicates", tr("Merge Duplicates"), [&ed] { ed.MergeDuplicates(); });
  // Target hardware: one checkable entry a machine (with its depth), then the two
  // dialogs for other depths and levels.
  target_group_ = new QActionGroup(this);
  // A target from the dialogs ticks no entry.
  target_group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const TargetPreset& p : TargetPresets()) {
    const std::string name = p.name;
    const ColourTarget target = *TargetByName(name);
    QAction* a =
        Command(("actionTarget_" + name).c_str(), QString::fromStdString(TargetMenuText(target)),
                [&ed, target] { ed.SetTarget(target); });
    a->setCheckable(true);
    target_group_->addAction(a);
    target_names_.push_back(("actionTarget_" + name));
  }
  Command("actionTargetBits", tr("R-G-B bits..."), [this, &ed] {
    if (auto target = AskTargetBits(&window_, ed.Board().target)) ed.SetTarget(*target);
  });
  Command("actionTargetLevels", tr("Custom levels..."), [this, &ed] {
    if (auto target = AskCustomLevels(&window_, ed.Board().target)) ed.SetTarget(*target);
  });
  Command("actionSnapAll", tr("Snap All"), [&ed] { ed.SnapAll(); });
  Command("actionCompact", tr("Compact"), [&ed] { ed.Compact(); });
  Command("actionReduceColours", tr("Reduce Colours..."), [&cmd] { cmd.ReduceColours(); });
  Command("actionLockRange", tr("Lock Range"), [&ed] { ed.LockRange(true); });
  Command("actionUnlockRange", tr("Unlock Range"), [&ed] { ed.LockRange(false); });
  Command("actionCheckTiles", tr("Check Tiles..."), [&cmd] { cmd.CheckTiles(); });
  Command("actionClearTileCheck", tr("Clear Tile Check"), [&ed] { ed.ClearTileCheck(); });
  Command("actionFlip", tr("Flip Board"), [&ed] { ed.Flip(); });
  Command("actionTest", tr("Test"), [&ed] { ed.ToggleCycling(); });
  // No other command, and neither the board nor the focus chain, uses Ctrl+P.
  Command("actionPlayCycles", tr("Play"), [&ed] {
    ed.TogglePlay();
  })->setShortcut(K(Qt::CTRL | Qt::Key_P));
  View("actionColourCycling", tr("Colour Cycling"), [this] { targets_.show_cycling(); });
  View("actionBanks", tr("Banks"), [this] { targets_.show_banks(); });
  View("actionQuit", tr("Quit"), [this] { window_.close(); })->setShortcut(K(Qt::CTRL | Qt::Key_Q));

  // The picture window and its zoom: the window's own business, not the editor's.
  View("actionPictureWindow", tr("Picture Window"), [&pic] {
    pic.show();
    pic.raise();
    pic.activateWindow();
  });
  View("actionZoomIn", tr("Zoom In"), [&pic] {
    pic.StepZoom(+1);
  })->setShortcuts({K(Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal), K(Qt::Key_Plus)});
  View("actionZoomOut", tr("Zoom Out"), [&pic] {
    pic.StepZoom(-1);
  })->setShortcuts({K(Qt::CTRL | Qt::Key_Minus), K(Qt::Key_Minus)});
  View("actionZoom1", tr("Actual Pixels (1:1)"), [&pic] {
    pic.SetZoom(1);
  })->setShortcut(K(Qt::CTRL | Qt::Key_1));
  View("actionZoomFit", tr("Fit to Window"), [&pic] {
    pic.FitZoom();
  })->setShortcut(K(Qt::CTRL | Qt::Key_0));
  QAction* unused = View("actionMarkUnused", tr("Mark Unused Entries"), [] {});
  unused->setCheckable(true);
  connect(unused, &QAction::toggled, &targets_.board, &BoardView::SetMarkUnused);
  QAction* blink = View("actionBlink", tr("Blink Hovered Colour"), [] {});
  blink->setCheckable(true);
  connect(blink, &QAction::toggled, this, [this] { targets_.hover_changed(); });
  View("actionKeys", tr("Keys"), [this] { ShowKeys(); })->setShortcut(K(Qt::Key_F1));
  View("actionAbout", tr("About Huewright"), [this] {
    QMessageBox::about(&window_, tr("About Huewright"),
                       tr("<b>Huewright</b> %1<br>A palette editor for 8-bit indexed pictures "
                          "(PCX, PNG, GIF, BMP, ILBM).<br><br>Licensed under the GNU General "
                          "Public License, version 3 or later (GPL-3.0-or-later).")
                           .arg(QLatin1String(kVersion)));
  });
}

QAction* MainActions::Command(const char* name, const QString& text,
                              std::function<void()> command) {
  return View(name, text, [this, command = std::move(command)] { targets_.run(command); });
}

QAction* MainActions::View(const char* name, const QString& text, std::function<void()> slot) {
  auto* action = new QAction(text, &window_);
  action->setObjectName(QString::fromLatin1(name));
  // The keys work from the picture window too.
  action->setShortcutContext(Qt::ApplicationShortcut);
  connect(action, &QAction::triggered, &window_, std::move(slot));
  window_.addAction(action);
  actions_.push_back(action);
  return action;
}

QAction* MainActions::Find(const char* name) const {
  for (QAction* a : actions_) {
    if (a->objectName() == QLatin1String(name)) return a;
  }
  return nullptr;
}

bool MainActions::Blink() const { return Find("actionBlink")->isChecked(); }

void MainActions::SyncTarget() {
  const ColourTarget& now = targets_.editor.Board().target;
  for (const TargetPreset& p : TargetPresets()) {
    QAction* a = Find(("actionTarget_" + std::string(p.name)).c_str());
    const bool on = now == *TargetByName(p.name);
    if (a->isChecked() != on) a->setChecked(on);
  }
}

void MainActions::BuildMenus() {
  const auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (*name == '\0') {
        menu->addSeparator();
      } else {
        menu->addAction(Find(name));
      }
    }
  };
  QMenuBar* bar = window_.menuBar();
  add(bar->addMenu(tr("&File")),
      {"actionLoadPic", "actionSave", "actionSavePic", "", "actionLoadPalette", "actionSavePalette",
       "actionSaveBank", "", "actionExportCycleAnimation", "", "actionQuit"});
  QMenu* edit = bar->addMenu(tr("&Edit"));
  add(edit, {"actionUndo", "actionRedo", "", "actionSort", "actionReverseRange", "actionSpreadRGB",
             "actionSpreadHSV", "actionSpreadHSVReverse", "", "actionRemapRgb",
             "actionRemapPerceptual", "actionMergeDuplicates", "actionCompact",
             "actionReduceColours", "", "actionLockRange", "actionUnlockRange", ""});
  QMenu* target = edit->addMenu(tr("Target Hardware"));
  target->setObjectName(QStringLiteral("menuTargetHardware"));
  for (const std::string& name : target_names_) target->addAction(Find(name.c_str()));
  add(target, {"", "actionTargetBits", "actionTargetLevels"});
  add(edit, {"actionSnapAll", "", "actionCheckTiles", "actionClearTileCheck"});
  add(bar->addMenu(tr("&View")),
      {"actionPictureWindow", "", "actionZoomIn", "actionZoomOut", "actionZoom1", "actionZoomFit",
       "", "actionFlip", "actionMarkUnused", "actionBlink", "actionBanks", "",
       "actionColourCycling", "actionPlayCycles"});
  add(bar->addMenu(tr("&Help")), {"actionKeys", "actionAbout"});
}

void MainActions::ShowKeys() {
  if (keys_page_ == nullptr) {
    auto* page = new QDialog(&window_);
    page->setObjectName(QStringLiteral("KeysPage"));
    page->setWindowTitle(tr("Huewright keys"));
    auto* text = new QLabel(page);
    text->setTextFormat(Qt::RichText);
    text->setText(
        tr("<table cellspacing=4>"
           "<tr><td colspan=2><b>Anywhere</b></td></tr>"
           "<tr><td>Ctrl+O</td><td>Load Pic...</td></tr>"
           "<tr><td>Ctrl+S</td><td>Save Pic (to its own file and format)</td></tr>"
           "<tr><td>Ctrl+Shift+S</td><td>Save Pic As...</td></tr>"
           "<tr><td>Ctrl+Z</td><td>Undo</td></tr>"
           "<tr><td>Ctrl+Shift+Z, Ctrl+Y</td><td>Redo</td></tr>"
           "<tr><td>+, Ctrl++ (Ctrl+=) / -, Ctrl+-</td><td>Zoom the picture in / out</td></tr>"
           "<tr><td>Ctrl+1 / Ctrl+0</td><td>Zoom 1:1 / fit to the window</td></tr>"
           "<tr><td>Ctrl+P</td><td>Play / Stop colour cycling (View &gt; Colour "
           "Cycling)</td></tr>"
           "<tr><td>Ctrl+Q</td><td>Quit</td></tr>"
           "<tr><td>F1</td><td>This page</td></tr>"
           "<tr><td colspan=2><b>On the board</b></td></tr>"
           "<tr><td>Arrows</td><td>Select the neighbouring swatch</td></tr>"
           "<tr><td>Shift+arrows</td><td>Move only the current mark: set the range</td></tr>"
           "<tr><td>Alt+arrows</td><td>Drop the \"Move:\" run at the current entry on the "
           "swatch that way, as a drag does<br>(\"Move:\" 3 on entry 16: Alt+Right exchanges "
           "16-18 with 32-34)</td></tr>"
           "<tr><td>Enter</td><td>Edit the selected colour</td></tr>"
           "<tr><td>Tab</td><td>Next control</td></tr>"
           "<tr><td colspan=2><b>In the picture window</b></td></tr>"
           "<tr><td>Ctrl+wheel</td><td>Zoom about the pointer</td></tr>"
           "<tr><td>Middle drag, Space+drag</td><td>Pan</td></tr>"
           "<tr><td>Point</td><td>Its position, index, RGB and alpha in the status bar</td></tr>"
           "<tr><td>Click</td><td>Both marks on the entry of that pixel</td></tr>"
           "<tr><td colspan=2><b>What a swatch shows</b></td></tr>"
           "<tr><td>Highlight frame</td><td>In the range between the marks</td></tr>"
           "<tr><td>White dot</td><td>One of the two marks</td></tr>"
           "<tr><td>Dashed frame</td><td>The current entry, while the board has the "
           "keyboard</td></tr>"
           "<tr><td>Corner stroke</td><td>No pixel uses it (View &gt; Mark Unused "
           "Entries)</td></tr>"
           "<tr><td>Checkerboard</td><td>Not opaque: alpha below 255</td></tr>"
           "<tr><td>Top left triangle</td><td>Its colour is off the target hardware's colours "
           "(Edit &gt; Target Hardware; Edit &gt; Snap All snaps it)</td></tr>"
           "<tr><td>Top right padlock</td><td>Locked (Edit &gt; Lock Range)</td></tr>"
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

}  // namespace hw
