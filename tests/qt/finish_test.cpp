// What a new user trips over: the status bar in full at the default size, the save
// dialogs' format from a typed extension, settings that are no changes, the cycling
// panel's two sets of fields, panels beside the windows, the cycle animation export.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <fstream>

#include "formats/pictures/gif.h"
#include "qt/cycle_panel.h"
#include "qt/file_dialogs.h"
#include "qt/panel_place.h"
#include "qt/status_texts.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

// A typed extension that names a format decides it; no extension, or one that
// names none, takes the filter's; ".bin" and such names are the console filter's.
TEST(SaveDialogs, ATypedExtensionDecidesTheFormat) {
  const auto palette = [](const char* name) {
    for (const DialogFilter& f : DialogFilters(FileKind::Palette, true))
      if (QString::fromLatin1(f.text).startsWith(QLatin1String(name))) return f;
    ADD_FAILURE() << name;
    return DialogFilter{};
  };
  const DialogFilter md9 = palette("md9"), gimp = palette("GIMP"), jasc = palette("JASC");
  using Choice = std::tuple<QString, std::optional<PaletteFormat>>;
  const auto decide = [](const char* typed, const DialogFilter& filter) {
    const SaveChoice c = DecideSave(FileKind::Palette, QString::fromLatin1(typed), filter);
    return Choice(c.path, c.palette);
  };
  EXPECT_EQ(decide("/d/bank2.gpl", md9), Choice("/d/bank2.gpl", std::nullopt));
  EXPECT_EQ(decide("/d/bank2.ACT", gimp), Choice("/d/bank2.ACT", std::nullopt));
  EXPECT_EQ(decide("/d/bank2", jasc), Choice("/d/bank2.pal", std::nullopt));
  EXPECT_EQ(decide("/d/bank2", md9), Choice("/d/bank2.bin", PaletteFormat::Md9));
  EXPECT_EQ(decide("/d/bank2.bin", md9), Choice("/d/bank2.bin", PaletteFormat::Md9));
  EXPECT_EQ(decide("/d/bank2.rom", md9), Choice("/d/bank2.rom", PaletteFormat::Md9));
  EXPECT_EQ(decide("/d/v1.2", gimp), Choice("/d/v1.2", PaletteFormat::Gpl));
  EXPECT_EQ(decide("/d/v1.bin", jasc), Choice("/d/v1.bin", PaletteFormat::Jasc));

  const auto filters = DialogFilters(FileKind::Picture, true);
  const auto picture = [&](const char* typed, size_t filter) {
    const SaveChoice c = DecideSave(FileKind::Picture, QString::fromLatin1(typed), filters[filter]);
    return std::tuple(c.path, c.picture);
  };
  // Filters: PCX, PNG, GIF, BMP, ILBM.
  EXPECT_EQ(picture("/d/a.gif", 1), std::tuple(QString("/d/a.gif"), std::nullopt));
  EXPECT_EQ(picture("/d/a", 3), std::tuple(QString("/d/a.bmp"), std::nullopt));
  EXPECT_EQ(picture("/d/a.v2", 1), std::tuple(QString("/d/a.v2"), PictureFormat::Png));
  // The next dialog starts on the format written: the typed one.
  EXPECT_EQ(FilterOfSuffix(filters, "/d/a.gif", 1), 2);
  EXPECT_EQ(FilterOfSuffix(filters, "/d/a.IFF", 0), 4);
  EXPECT_EQ(FilterOfSuffix(filters, "/d/a.v2", 1), 1);
}

std::string GplWithName(const std::string& path, const std::string& name) {
  std::ofstream out(path);
  out << "GIMP Palette\nName: t\n#\n";
  for (int i = 0; i < 16; ++i)
    out << 188 << ' ' << 155 << ' ' << 44 + i << ' ' << (i == 0 ? name : "") << '\n';
  return path;
}

// At the default size every field shows in full: each line of the values fits its
// label, which lies inside the window; the target and zoom too; "no picture" too.
TEST(StatusBar, EveryFieldInFullAtTheDefaultSize) {
  TempDir dir;
  FormRig rig;
  rig.form.show();
  QApplication::processEvents();
  const auto in_full = [&rig](const QString& want) {
    auto* values = rig.Find<QLabel>("LabelValues");
    const auto placed = [&] {
      return QRect(values->mapTo(&rig.form, QPoint(0, 0)), values->size());
    };
    // The window grows to the status bar's new height once its layout has run.
    const auto settled = [&] {
      for (const char* name : {"LabelTarget", "LabelZoom"}) {
        auto* label = rig.Find<QLabel>(name);
        if (label->width() < label->sizeHint().width()) return false;
      }
      return rig.form.rect().contains(placed());
    };
    (void)QTest::qWaitFor(settled, 3000);  // the checks below say what went wrong
    const QRect in_window = placed();
    EXPECT_TRUE(rig.form.rect().contains(in_window))
        << in_window.y() << "+" << in_window.height() << " in " << rig.form.height();
    const QStringList lines = values->text().split(QLatin1Char('\n'));
    EXPECT_GE(values->height(), lines.size() * values->fontMetrics().lineSpacing());
    for (const QString& line : lines) {
      EXPECT_LE(values->fontMetrics().horizontalAdvance(line), values->contentsRect().width())
          << line.toStdString();
    }
    QString shown = values->text();
    shown.replace(QLatin1Char('\n'), QStringLiteral("   "));
    EXPECT_EQ(shown.simplified(), want.simplified());
    for (const char* name : {"LabelTarget", "LabelZoom"}) {
      auto* label = rig.Find<QLabel>(name);
      EXPECT_GE(label->width(), label->sizeHint().width()) << name;
      EXPECT_TRUE(
          rig.form.rect().contains(QRect(label->mapTo(&rig.form, QPoint(0, 0)), label->size())));
    }
  };
  const QSize start = rig.form.size();
  in_full(rig.form.SwatchValues(0));
  EXPECT_TRUE(rig.Find<QLabel>("LabelValues")->text().contains("no picture"));

  WritePicture(dir.File("p.pcx"), 8, 8, Bytes(64, 0), DistinctPalette(4));
  rig.LoadPicture(dir.File("p.pcx"));
  rig.files.opens.push_back(GplWithName(dir.File("n.gpl"), "Burnt sienna highlight on the left"));
  rig.Click("CommandLoadPal");
  rig.colours.answer = PackRGB({188, 155, 51});
  rig.colours.answer_alpha = 110;
  // Entry 0: the one shown whether the pointer rests on the first swatch or not.
  rig.DoubleClick(0);
  rig.form.Action("actionTarget_megadrive")->trigger();
  rig.editor.Select(0);
  const QString all = rig.form.SwatchValues(0);
  for (const char* part : {"Burnt sienna highlight on the left (index 0)", "RGB 188, 155, 51",
                           "#bc9b336e", "alpha 110", "used by 64 pixels", "off Mega Drive"}) {
    EXPECT_TRUE(all.contains(QLatin1String(part))) << part << ": " << all.toStdString();
  }
  in_full(all);
  EXPECT_EQ(rig.Find<QLabel>("LabelTarget")->text(), "Target: Mega Drive");
  EXPECT_EQ(rig.form.size().width(), start.width());
}

// Target and locks are undoable but leave no '*' and ask nothing before a load.
TEST(Settings, NoStarAfterATargetOrALock) {
  TempDir dir;
  FormRig rig;
  WritePicture(dir.File("p.pcx"), 8, 8, Bytes(64, 7), DistinctPalette(4));
  rig.LoadPicture(dir.File("p.pcx"));
  for (const char* action :
       {"actionTarget_megadrive", "actionLockRange", "actionUnlockRange", "actionTarget_gba"}) {
    rig.form.Action(action)->trigger();
    EXPECT_FALSE(rig.form.isWindowModified()) << action;
  }
  EXPECT_TRUE(rig.form.Action("actionUndo")->isEnabled());
  rig.LoadPicture(dir.File("p.pcx"));
  EXPECT_EQ(rig.questions.save_asked, 0);
  EXPECT_EQ(rig.Find<QLabel>("LabelStatus")->text(), "Target: Game Boy Advance, kept");
  EXPECT_TRUE(rig.editor.Board().locked.none());  // the lock went with the old picture
  rig.editor.SetTarget(ColourTarget{});
  rig.LoadPicture(dir.File("p.pcx"));
  EXPECT_EQ(rig.Find<QLabel>("LabelStatus")->text(), "");
  rig.colours.answer = PackRGB({1, 2, 3});
  rig.DoubleClick(5);
  EXPECT_TRUE(rig.form.isWindowModified());
}

// The fields of the next range are apart from those of the selected one: after Add
// from Range, what is typed next changes nothing until a range is selected.
TEST(CyclePanel, TheNextRangesFieldsNeverEditTheRangeJustAdded) {
  TempDir dir;
  FormRig rig;
  WritePicture(dir.File("p.pcx"), 8, 8, Bytes(64, 7), DistinctPalette(4));
  rig.LoadPicture(dir.File("p.pcx"));
  rig.form.Action("actionColourCycling")->trigger();
  rig.editor.SetMarks(3, 9);
  rig.Find<QSpinBox>("CycleNewRate")->setValue(2185);
  rig.Find<QComboBox>("CycleNewDirection")->setCurrentIndex(1);
  rig.Click("CycleAdd");
  ASSERT_EQ(rig.editor.Cycles().size(), 1u);
  EXPECT_EQ(rig.editor.Cycles()[0], (CycleRange{3, 9, 2185, true, true}));
  // Typed next: the new fields, and the selected fields have nothing to edit.
  rig.Find<QSpinBox>("CycleNewRate")->setValue(3277);
  EXPECT_FALSE(rig.Find<QWidget>("CycleSelectedBox")->isEnabled());
  rig.Find<QSpinBox>("CycleRate")->setValue(999);
  EXPECT_EQ(rig.editor.Cycles()[0].rate, 2185);
  rig.editor.SetMarks(20, 35);
  rig.Click("CycleAdd");
  EXPECT_EQ(rig.editor.Cycles()[1], (CycleRange{20, 35, 3277, true, true}));
  EXPECT_EQ(rig.editor.Cycles()[0].rate, 2185);
  // Selected, a range is edited by its own fields.
  rig.form.Cycling()->SelectRange(0);
  EXPECT_EQ(rig.Find<QSpinBox>("CycleRate")->value(), 2185);
  rig.Find<QSpinBox>("CycleRate")->setValue(4000);
  EXPECT_EQ(rig.editor.Cycles()[0].rate, 4000);
  // The periods: each range's and the whole cycle's, too long for an exact loop.
  auto* list = rig.Find<QTableWidget>("CycleList");
  EXPECT_EQ(list->item(1, 4)->text(), QString::number(16 * 4096.0 / (15 * 3277), 'f', 2) + " s");
  EXPECT_TRUE(rig.Find<QLabel>("CycleWholePeriod")->text().contains("too long"))
      << rig.Find<QLabel>("CycleWholePeriod")->text().toStdString();
}

TEST(Panels, PlacedBesideTheWindowsCoveringNone) {
  const QRect screen(0, 0, 1280, 1024);
  const QRect main(30, 50, 400, 560), picture(442, 50, 700, 500), cycling(442, 562, 420, 380);
  for (const std::vector<QRect>& avoid :
       {std::vector<QRect>{main}, std::vector<QRect>{main, picture},
        std::vector<QRect>{main, picture, cycling}}) {
    const QSize size(420, 380);
    const QRect at(PlacePanel(size, screen, avoid), size);
    EXPECT_TRUE(screen.contains(at));
    for (const QRect& r : avoid) EXPECT_FALSE(at.intersects(r)) << avoid.size();
  }
  // Where no place is free, the one overlapping least, on the screen.
  const QRect full(0, 0, 800, 600);
  const QRect at(PlacePanel(QSize(300, 300), full, {QRect(0, 0, 700, 600)}), QSize(300, 300));
  EXPECT_TRUE(full.contains(at));
  EXPECT_EQ(at.right(), full.right());
}

// File > Export Cycle Animation...: the name asked beside the picture, the board as
// it is when stopped written even while the ranges play, the frame count on the
// status line, a refusal reported.
TEST(CycleExport, TheMenuWritesTheStoppedBoardWhilePlayingAndReportsRefusals) {
  TempDir dir;
  FormRig rig;
  Bytes pixels(64);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = uint8_t(k % 16);
  WritePicture(dir.File("sample.pcx"), 8, 8, pixels, DistinctPalette());
  rig.LoadPicture(dir.File("sample.pcx"));
  ASSERT_TRUE(rig.editor.PictureLoaded());
  ASSERT_TRUE(rig.editor.AddCycleRange({2, 5, 16384, false, true}));  // 4 frames of 1/60 s
  rig.editor.PlayCycles();
  rig.clock.now += 20'000;
  rig.editor.CycleTick();

  const std::string out = dir.File("anim.gif");
  rig.files.saves.push_back(out);
  rig.form.Action("actionExportCycleAnimation")->trigger();
  EXPECT_EQ(rig.files.suggested.back(), dir.File("sample-cycle.gif"));
  EXPECT_EQ(rig.Find<QLabel>("LabelStatus")->text(), "Saved 'anim.gif': 4 frames");
  // The first frame is the board before any step.
  const auto first = DecodeGif(ReadBytes(out));
  ASSERT_TRUE(first.ok());
  for (size_t p = 0; p < 16; ++p) EXPECT_EQ(first->entries[p], rig.editor.Board().entries[p]) << p;
  EXPECT_TRUE(rig.errors.messages.empty());

  rig.editor.StopCycles();
  rig.editor.ClearCycleRanges();
  rig.files.saves.push_back(out);
  rig.form.Action("actionExportCycleAnimation")->trigger();
  EXPECT_EQ(rig.errors.messages,
            std::vector<std::string>{"cannot export '" + out + "': no active range steps"});
}

struct FakeCycleLength : FakeQuestions {
  bool answer = true;
  std::vector<std::string> asked;
  bool ExportFixedLength(const std::string& question) override {
    asked.push_back(question);
    return answer;
  }
};

// Too long an exact loop: the fixed length offered in these words, 500 frames of 2
// hundredths written when accepted, nothing asked further when declined.
TEST(CycleExport, ATooLongLoopOffersTenSecondsAtFifty) {
  TempDir dir;
  FormRig rig;
  FakeCycleLength question;
  rig.form.SetQuestions(&question);
  Bytes pixels(64);
  for (size_t k = 0; k < 64; ++k) pixels[k] = uint8_t(k % 32);
  WritePicture(dir.File("p.pcx"), 8, 8, pixels, DistinctPalette(4));
  rig.LoadPicture(dir.File("p.pcx"));
  rig.editor.AddCycleRange({0, 15, 2185, false, true});
  rig.editor.AddCycleRange({16, 31, 3277, false, true});
  question.answer = false;
  rig.form.Action("actionExportCycleAnimation")->trigger();
  ASSERT_EQ(question.asked.size(), 1u);
  EXPECT_EQ(question.asked[0],
            "the exact loop needs 87,376 frames: export 10 seconds at 50 frames a second?");
  EXPECT_TRUE(rig.files.suggested.empty());
  question.answer = true;
  rig.files.saves.push_back(dir.File("anim.gif"));
  rig.form.Action("actionExportCycleAnimation")->trigger();
  EXPECT_EQ(rig.Find<QLabel>("LabelStatus")->text(), "Saved 'anim.gif': 500 frames");
  EXPECT_TRUE(rig.errors.messages.empty());
}

}  // namespace
}  // namespace hw::test
