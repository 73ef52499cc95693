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

struct Recovery : ::testing::Test {
  TempDir dir;
  std::string picture = dir.File("sample.pcx");
  QString folder = QString::fromStdString(dir.File("recovery"));
  void SetUp() override {
    Bytes pixels(240);
    for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k * 7 % 40);
    WritePicture(picture, 24, 10, pixels, DistinctPalette());
  }
  // What a run that has ended left: this process's files under another number.
  void LeftByAnEarlierRun() {
    const std::string own = dir.File("recovery/unsaved-" + std::to_string(::getpid()));
    fs::rename(own + ".png", dir.File("recovery/unsaved-999999999.png"));
    fs::rename(own + ".path", dir.File("recovery/unsaved-999999999.path"));
  }
};

TEST_F(Recovery, ASignalKeepsTheWorkAndTheNextStartRestoresIt) {
  Bytes changed;
  {
    FormRig rig;
    rig.LoadPicture(picture);
    RecoveryKeeper keeper(rig.editor, folder);
    keeper.FollowWindow(rig.form);
    keeper.CatchSignals();
    int quit = 0;
    QObject::connect(&keeper, &RecoveryKeeper::QuitRequested, [&](int s) { quit = s; });
    rig.Drop(5, 9);
    changed = rig.editor.Pixels();
    ::raise(SIGTERM);
    for (int i = 0; i < 200 && quit == 0; ++i) QTest::qWait(5);
    ASSERT_EQ(quit, SIGTERM);
    auto kept = DecodeIndexedPng(
        ReadBytes(dir.File("recovery/unsaved-" + std::to_string(::getpid()) + ".png")));
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept->pixels, changed);
  }
  LeftByAnEarlierRun();

  // Declined: gone, and the editor as it was.
  {
    FormRig rig;
    RecoveryKeeper keeper(rig.editor, folder);
    fs::copy(dir.File("recovery"), dir.File("copy"));
    keeper.OfferEarlier([](const QString&, const QDateTime&) { return false; });
    EXPECT_FALSE(rig.editor.PictureLoaded());
    EXPECT_TRUE(fs::is_empty(dir.File("recovery")));
    fs::remove_all(dir.File("recovery"));
    fs::rename(dir.File("copy"), dir.File("recovery"));
  }
  // Restored: the picture's own file, still unsaved; saving it removes the copy.
  FormRig rig;
  RecoveryKeeper keeper(rig.editor, folder);
  keeper.FollowWindow(rig.form);
  QString asked;
  keeper.OfferEarlier([&](const QString& name, const QDateTime& written) {
    asked = name;
    return written.secsTo(QDateTime::currentDateTime()) < 60;
  });
  EXPECT_EQ(asked, "sample.pcx");
  rig.form.SyncFromState();
  EXPECT_EQ(rig.editor.Pixels(), changed);
  EXPECT_EQ(rig.editor.PicturePath(), picture);
  EXPECT_EQ(rig.form.windowTitle(), "sample.pcx[*] - Huewright ver 1.0");
  EXPECT_TRUE(rig.form.isWindowModified());
  EXPECT_FALSE(keeper.FindEarlier());
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
  EXPECT_FALSE(ShownAsMarkup([&] { loss.SaveAllTheSame(hostile, "<b>alpha</b>"); }));
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
