// Unsaved work through a signal and the next start, messages that quote hostile
// names, and names that are not valid UTF-8.
#include <signal.h>
#include <sys/stat.h>

#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>

#include "formats/png.h"
#include "qt/recovery.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

// A SIGTERM keeps the changed picture as PNG for the next start: declined, it is gone;
// restored, it is the picture's own file, unsaved, until saving removes the copy.
TEST(Recovery, ASignalKeepsTheWorkAndTheNextStartRestoresIt) {
  TempDir dir;
  const std::string picture = dir.File("sample.pcx"), own = dir.File("recovery/unsaved-");
  const QString folder = QString::fromStdString(dir.File("recovery"));
  WritePicture(picture, 24, 10, Bytes(240, 7), DistinctPalette());
  Bytes changed;
  {
    FormRig rig;
    rig.LoadPicture(picture);
    RecoveryKeeper keeper(rig.editor, folder);
    keeper.FollowWindow(rig.form);
    keeper.CatchSignals();
    int quit = 0;
    QObject::connect(&keeper, &RecoveryKeeper::QuitRequested, [&](int s) { quit = s; });
    rig.Drop(5, 7);
    changed = rig.editor.Pixels();
    ::raise(SIGTERM);
    for (int i = 0; i < 200 && quit == 0; ++i) QTest::qWait(5);
    ASSERT_EQ(quit, SIGTERM);
    auto kept = DecodeIndexedPng(ReadBytes(own + std::to_string(::getpid()) + ".png"));
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept->pixels, changed);
  }
  // What a run that has ended leaves: this process's files under another number.
  for (const char* ext : {".png", ".path"})
    fs::rename(own + std::to_string(::getpid()) + ext, own + "999999999" + ext);
  fs::copy(dir.File("recovery"), dir.File("copy"));
  {
    FormRig rig;
    RecoveryKeeper keeper(rig.editor, folder);
    keeper.OfferEarlier([](const QString&, const QDateTime&) { return false; });
    EXPECT_FALSE(rig.editor.PictureLoaded());
    EXPECT_TRUE(fs::is_empty(dir.File("recovery")));
  }
  fs::remove_all(dir.File("recovery"));
  fs::rename(dir.File("copy"), dir.File("recovery"));
  FormRig rig;
  RecoveryKeeper keeper(rig.editor, folder);
  keeper.FollowWindow(rig.form);
  QString asked;
  keeper.OfferEarlier([&](const QString& name, const QDateTime& written) {
    asked = name;
    return written.secsTo(QDateTime::currentDateTime()) < 60;
  });
  rig.form.SyncFromState();
  EXPECT_EQ(std::tuple(asked, rig.editor.Pixels(), rig.editor.PicturePath(), rig.form.windowTitle(),
                       rig.form.isWindowModified(), keeper.FindEarlier().has_value()),
            std::tuple(QString("sample.pcx"), changed, picture,
                       QString("sample.pcx[*] - Huewright ver 1.0"), true, false));
  EXPECT_FALSE(fs::is_empty(dir.File("recovery")));  // this run's own copy
  rig.form.Action("actionSave")->trigger();
  auto saved = LoadPictureFile(picture);
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(std::tuple(saved->format, saved->pixels), std::tuple(PictureFormat::Pcx, changed));
  EXPECT_TRUE(fs::is_empty(dir.File("recovery")));
}

// Opens the next message box that `open` shows and reports whether its text
// would be rendered as markup, then closes it.
bool ShownAsMarkup(const std::function<void()>& open, QString* text = nullptr) {
  bool markup = true;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    markup = box->textFormat() == Qt::RichText ||
             (box->textFormat() == Qt::AutoText && Qt::mightBeRichText(box->text()));
    if (text) *text = box->text();
    box->reject();
  });
  open();
  return markup;
}

TEST(Messages, PathsAndFileContentAreShownAsText) {
  const std::string hostile = "/tmp/x<h1>All good<!--.pcx";
  QtErrorReporter errors;
  QString text;
  EXPECT_FALSE(ShownAsMarkup([&] { errors.ShowError("cannot load '" + hostile + "'"); }, &text));
  EXPECT_TRUE(text.contains(QStringLiteral("<h1>All good<!--")));
  QtSaveQuestion question;
  EXPECT_FALSE(ShownAsMarkup([&] { question.AskSave(QStringLiteral("x<h1>All good<!--.pcx")); }));
  QtLossQuestion loss;
  SaveLoss alpha;
  alpha.what = "<b>alpha</b>";
  alpha.frames = 3;
  EXPECT_FALSE(ShownAsMarkup([&] { loss.SaveAllTheSame(hostile, hostile, alpha); }));
  // The labels that quote the picture's name.
  TempDir dir;
  const std::string path = dir.File("x<h1>All good<!--.pcx");
  WritePicture(path, 2, 2, Bytes(4, 1), DistinctPalette());
  FormRig rig;
  rig.LoadPicture(path);
  auto* label = rig.Find<QLabel>("Label1");
  EXPECT_TRUE(label->text().contains(QStringLiteral("<h1>")));
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST(Paths, NamesThatAreNotUtf8AreOpenedByTheirBytes) {
  TempDir dir;
  fs::create_directory(dir.File("f\xe9te"));
  const std::string native = dir.File("f\xe9te/p\xff\xfe.pcx");
  WritePicture(native, 2, 2, Bytes(4, 1), DistinctPalette());
  // What a dialog shows and hands back, with replacement characters.
  const QString shown = PathFromNative(native);
  ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
  EXPECT_EQ(PathToNative(shown), native);
  // A new name to save under keeps the folder's bytes.
  EXPECT_EQ(PathToNative(PathFromNative(dir.File("f\xe9te/new.png"))), dir.File("f\xe9te/new.png"));

  std::string load = "--load", given = "p\xff.pcx";
  std::string program = "huewright", equals = "--load=" + native;
  char* relative[] = {program.data(), load.data(), given.data()};
  char* absolute[] = {program.data(), equals.data()};
  EXPECT_EQ(LoadArgument(3, relative), fs::current_path().string() + "/p\xff.pcx");
  EXPECT_EQ(LoadArgument(2, absolute), native);
  EXPECT_EQ(LoadArgument(1, absolute), std::nullopt);
}

}  // namespace
}  // namespace hw::test
