// Unsaved work through a signal and the next start, messages that quote hostile
// names, and names that are not valid UTF-8.
#include <signal.h>
#include <sys/stat.h>

#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <map>
#include <memory>

#include "formats/pictures/png.h"
#include "qt/recovery.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

// A SIGTERM keeps the changed picture as PNG for the next start, copy and note made
// 0600 in a folder made 0700: declined, it is gone; restored, it is the picture's
// own file, unsaved, until saving removes the copy.
TEST(Recovery, ASignalKeepsTheWorkAndTheNextStartRestoresIt) {
  TempDir dir;
  const std::string picture = dir.File("sample.pcx"), own = dir.File("data/recovery/unsaved-");
  const QString folder = QString::fromStdString(dir.File("data/recovery"));
  WritePicture(picture, 24, 10, Bytes(240, 7), DistinctPalette());
  Bytes changed;
  {
    FormRig rig;
    rig.LoadPicture(picture);
    RecoveryKeeper keeper(rig.editor, folder);
    EXPECT_EQ(keeper.Off(), "");
    keeper.FollowWindow(rig.form);
    keeper.CatchSignals();
    int quit = 0;
    QObject::connect(&keeper, &RecoveryKeeper::QuitRequested, [&](int s) { quit = s; });
    rig.Drop(5, 7);
    changed = rig.editor.Pixels();
    ::raise(SIGTERM);
    for (int i = 0; i < 200 && quit == 0; ++i) QTest::qWait(5);
    ASSERT_EQ(quit, SIGTERM);
    EXPECT_EQ(keeper.EndingSignal(), SIGTERM);
    auto kept = DecodeIndexedPng(ReadBytes(own + std::to_string(::getpid()) + ".png"));
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept->pixels, changed);
    for (const std::string& made :
         {dir.File("data"), dir.File("data/recovery"), own + std::to_string(::getpid()) + ".png",
          own + std::to_string(::getpid()) + ".path"}) {
      struct stat st {};
      ASSERT_EQ(::lstat(made.c_str(), &st), 0) << made;
      EXPECT_EQ(st.st_mode & 07777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << made;
    }
  }
  // What a run that has ended leaves: this process's files under another number.
  for (const char* ext : {".png", ".path"})
    fs::rename(own + std::to_string(::getpid()) + ext, own + "999999999" + ext);
  fs::copy(dir.File("data/recovery"), dir.File("copy"));
  {
    FormRig rig;
    RecoveryKeeper keeper(rig.editor, folder);
    keeper.OfferEarlier(
        [](const QString&, const QDateTime&) { return RecoveryKeeper::Answer::kDiscard; });
    EXPECT_FALSE(rig.editor.PictureLoaded());
    EXPECT_TRUE(fs::is_empty(dir.File("data/recovery")));
  }
  fs::remove_all(dir.File("data/recovery"));
  fs::rename(dir.File("copy"), dir.File("data/recovery"));
  FormRig rig;
  RecoveryKeeper keeper(rig.editor, folder);
  keeper.FollowWindow(rig.form);
  QString asked;
  keeper.OfferEarlier([&](const QString& path, const QDateTime& written) {
    asked = path;
    return written.secsTo(QDateTime::currentDateTime()) < 60 ? RecoveryKeeper::Answer::kRestore
                                                             : RecoveryKeeper::Answer::kLater;
  });
  rig.form.SyncFromState();
  EXPECT_EQ(std::tuple(asked, rig.editor.Pixels(), rig.editor.PicturePath(), rig.form.windowTitle(),
                       rig.form.isWindowModified(), keeper.FindEarlier().has_value()),
            std::tuple(QString::fromStdString(picture), changed, picture,
                       QString("sample.pcx[*] - Huewright ver 1.0"), true, false));
  EXPECT_FALSE(fs::is_empty(dir.File("data/recovery")));  // this run's own copy
  rig.form.Action("actionSave")->trigger();
  auto saved = LoadPictureFile(picture);
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(std::tuple(saved->format, saved->pixels), std::tuple(PictureFormat::Pcx, changed));
  EXPECT_TRUE(fs::is_empty(dir.File("data/recovery")));
}

// Every file under `root` (links as links): its kind, owner, mode and content, to
// show that nothing of either user's was touched.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    std::string what = std::to_string(st.st_mode) + ":" + std::to_string(st.st_uid) + ":";
    if (S_ISLNK(st.st_mode)) what += fs::read_symlink(e.path()).string();
    if (S_ISREG(st.st_mode)) {
      const Bytes b = ReadBytes(e.path().string());
      what += std::string(b.begin(), b.end());
    }
    files[e.path().string()] = what;
  }
  return files;
}

// A copy and its note as an ended run leaves them.
void Plant(const std::string& folder, const std::string& pid, const std::string& names) {
  WriteBytes(folder + "/unsaved-" + pid + ".path", Bytes(names.begin(), names.end()));
  WritePicture(folder + "/unsaved-" + pid + ".tmp.pcx", 2, 2, Bytes(4, 3), DistinctPalette(1));
  FormRig rig;
  rig.LoadPicture(folder + "/unsaved-" + pid + ".tmp.pcx");
  ASSERT_TRUE(rig.editor.WriteCopy(folder + "/unsaved-" + pid + ".png"));
  fs::remove(folder + "/unsaved-" + pid + ".tmp.pcx");
}

// What another user plants in the folder: links to the victim's files, where this
// run's copy and note go; an ended run's copy that is a link or another user's; a
// note naming a folder or nothing. None is followed, offered or changed; the victim's
// files stay as they were, and this run's copy replaces the link, not its target.
TEST(Recovery, PlantedFilesAreNeitherFollowedNorOffered) {
  TempDir dir;
  const std::string folder = dir.File("Huewright/recovery"), victim = dir.File("victim.txt");
  const std::string picture = dir.File("work.pcx"), pid = std::to_string(::getpid());
  WritePicture(picture, 6, 4, Bytes(24, 2), DistinctPalette());
  WriteBytes(victim, Bytes{'m', 'i', 'n', 'e'});
  FormRig rig;
  RecoveryKeeper keeper(rig.editor, QString::fromStdString(folder));
  ASSERT_EQ(keeper.Off(), "");
  fs::create_symlink(victim, folder + "/unsaved-" + pid + ".png");
  fs::create_symlink(victim, folder + "/unsaved-" + pid + ".path");
  Plant(folder, "900000001", picture);
  fs::remove(folder + "/unsaved-900000001.png");
  fs::create_symlink(dir.File("elsewhere.png"), folder + "/unsaved-900000001.png");
  Plant(folder, "900000002", dir.File("Huewright"));  // a folder
  Plant(folder, "900000003", dir.File("gone.pcx"));   // nothing
  Plant(folder, "900000004", picture);
  fs::rename(folder + "/unsaved-900000004.path", dir.File("note"));
  fs::create_symlink(dir.File("note"), folder + "/unsaved-900000004.path");
  // Another user's copy and note, where this run may change owners.
  Plant(folder, "900000005", picture);
  const bool foreign = ::chown((folder + "/unsaved-900000005.png").c_str(), 65534, 65534) == 0 &&
                       ::chown((folder + "/unsaved-900000005.path").c_str(), 65534, 65534) == 0;
  const auto before = Snapshot(dir.Path());

  EXPECT_FALSE(keeper.FindEarlier().has_value());
  bool asked = false;
  keeper.OfferEarlier([&](const QString&, const QDateTime&) {
    asked = true;
    return RecoveryKeeper::Answer::kDiscard;
  });
  EXPECT_FALSE(asked);
  EXPECT_EQ(Snapshot(dir.Path()), before);

  rig.LoadPicture(picture);
  rig.Drop(1, 2);
  ASSERT_TRUE(keeper.Update().ok());
  EXPECT_EQ(ReadBytes(victim), (Bytes{'m', 'i', 'n', 'e'}));
  for (const char* ext : {".png", ".path"}) {
    struct stat st {};
    ASSERT_EQ(::lstat((folder + "/unsaved-" + pid + ext).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 0777) == 0600) << ext;
  }
  keeper.Remove();
  EXPECT_EQ(Snapshot(dir.Path()).size(), before.size() - 2);  // the two links went
  if (!foreign) GTEST_SKIP() << "files of another user cannot be made here";
}

// A folder that others may write (mode 1777, as /tmp), or that is another user's,
// turns recovery off: said once, nothing read from it (a planted copy is not
// offered) and nothing written to it.
TEST(Recovery, AFolderOthersMayWriteTurnsRecoveryOff) {
  TempDir dir;
  const std::string top = dir.File("Huewright"), folder = top + "/recovery";
  const std::string picture = dir.File("work.pcx");
  WritePicture(picture, 6, 4, Bytes(24, 2), DistinctPalette());
  fs::create_directories(folder);
  Plant(folder, "900000001", picture);
  struct Case {
    std::string chmod_path;
    mode_t mode;
    std::string message;
  };
  for (const Case& c :
       {Case{folder, 01777, "recovery is off: '" + folder + "' is writable by others"},
        Case{top, 0775, "recovery is off: '" + top + "' is writable by others"},
        Case{folder, 0720, "recovery is off: '" + folder + "' is writable by others"}}) {
    SCOPED_TRACE(c.message);
    ::chmod(top.c_str(), 0700);
    ::chmod(folder.c_str(), 0700);
    ASSERT_EQ(::chmod(c.chmod_path.c_str(), c.mode), 0);
    const auto before = Snapshot(dir.Path());
    FormRig rig;
    RecoveryKeeper keeper(rig.editor, QString::fromStdString(folder));
    EXPECT_EQ(keeper.Off(), c.message);
    EXPECT_FALSE(keeper.FindEarlier().has_value());
    rig.LoadPicture(picture);
    rig.Drop(1, 2);
    const Status kept = keeper.Update();
    ASSERT_FALSE(kept.ok());
    EXPECT_EQ(kept.error().Text(), "unsaved work on '" + picture + "' was not kept: " + c.message);
    EXPECT_EQ(Snapshot(dir.Path()), before);
  }
  ::chmod(folder.c_str(), 0700);
  ::chmod(top.c_str(), 0700);
  if (::chown(folder.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "cannot give a folder away";
  FormRig rig;
  RecoveryKeeper keeper(rig.editor, QString::fromStdString(folder));
  EXPECT_EQ(keeper.Off(), "recovery is off: '" + folder + "' is not yours");
  EXPECT_FALSE(keeper.FindEarlier().has_value());
}

// SIGTERM while the restore question is shown: the run ends (the question
// returns, unanswered) and every recovery file stays as it was; the question named
// the original's full path. Copies an older version left in its own folder are
// offered from there as well.
TEST(Recovery, ASignalDuringTheQuestionKeepsEveryFile) {
  TempDir dir;
  const std::string folder = dir.File("share/Huewright/recovery");
  const std::string older = dir.File("share/Huewright/Huewright/recovery");
  const std::string picture = dir.File("a folder/work.pcx");
  fs::create_directories(dir.File("a folder"));
  WritePicture(picture, 6, 4, Bytes(24, 2), DistinctPalette());
  fs::create_directories(older);
  fs::permissions(dir.File("share/Huewright/Huewright"), fs::perms::owner_all);
  fs::permissions(older, fs::perms::owner_all);
  Plant(older, "900000001", picture);
  const auto before = Snapshot(dir.Path());
  FormRig rig;
  RecoveryKeeper keeper(rig.editor, QString::fromStdString(folder), nullptr, nullptr,
                        QString::fromStdString(older));
  keeper.CatchSignals();
  // The program ends every event loop here (QCoreApplication::exit, which would also
  // end every later loop of this test process); the question's is enough.
  QObject::connect(&keeper, &RecoveryKeeper::QuitRequested, [](int) {
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
      box->done(QDialog::Rejected);
  });
  QString shown;
  QTimer::singleShot(20, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
      shown = box->text();
    ::raise(SIGTERM);
  });
  RecoveryKeeper::Answer answer = RecoveryKeeper::Answer::kRestore;
  keeper.OfferEarlier([&](const QString& path, const QDateTime& written) {
    answer = AskToRestore(&rig.form, path, written);
    return answer;
  });
  EXPECT_EQ(std::tuple(answer, keeper.EndingSignal(), rig.editor.PictureLoaded()),
            std::tuple(RecoveryKeeper::Answer::kLater, SIGTERM, false));
  EXPECT_TRUE(
      shown.startsWith(QString::fromStdString("Restore unsaved work on " + picture + " from ")))
      << shown.toStdString();
  auto after = Snapshot(dir.Path());
  after.erase(dir.File("share/Huewright/recovery"));  // the new folder, made empty
  EXPECT_EQ(after, before);
}

// Writes fail with ENOSPC once `good` writes have gone through.
struct FullDisk : RecoveryFiles {
  int good = 0;
  SystemRecoveryFiles real;
  int WriteNew(int dir, const std::string& name, std::span<const uint8_t> bytes) override {
    if (good-- > 0) return real.WriteNew(dir, name, bytes);
    return ENOSPC;
  }
};

// A copy the autosave cannot write is said on the status line, once for each cause.
TEST(Recovery, AFullDiskAtAnAutosaveIsSaidOnTheStatusLineOnce) {
  TempDir dir;
  const std::string picture = dir.File("work.pcx");
  WritePicture(picture, 6, 4, Bytes(24, 2), DistinctPalette());
  FormRig rig;
  rig.LoadPicture(picture);
  RecoveryKeeper keeper(rig.editor, QString::fromStdString(dir.File("recovery")), nullptr,
                        std::make_shared<FullDisk>());
  rig.Drop(1, 2);
  keeper.Autosave();
  const std::string full = "unsaved work on '" + picture + "' was not kept: the disk is full";
  EXPECT_EQ(rig.editor.Message(), full);
  rig.Drop(3, 4);
  keeper.Autosave();
  EXPECT_EQ(rig.editor.Message(), "");
}

// A copy that cannot be written at a signal: one line on stderr names the picture
// and the cause, and the copy kept before stays whole, with its note.
TEST(Recovery, AFullDiskAtASignalIsSaidInOneLine) {
  TempDir dir;
  const std::string folder = dir.File("recovery"), picture = dir.File("work.pcx");
  WritePicture(picture, 6, 4, Bytes(24, 2), DistinctPalette());
  auto disk = std::make_shared<FullDisk>();
  disk->good = 2;  // the first copy and its note
  FormRig rig;
  rig.LoadPicture(picture);
  RecoveryKeeper keeper(rig.editor, QString::fromStdString(folder), nullptr, disk);
  keeper.CatchSignals();
  rig.Drop(1, 2);
  const Bytes first = rig.editor.Pixels();
  ASSERT_TRUE(keeper.Update().ok());
  const auto before = Snapshot(folder);
  rig.Drop(3, 4);
  int quit = 0;
  QObject::connect(&keeper, &RecoveryKeeper::QuitRequested, [&](int s) { quit = s; });
  ::testing::internal::CaptureStderr();
  ::raise(SIGHUP);
  for (int i = 0; i < 200 && quit == 0; ++i) QTest::qWait(5);
  const std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(quit, SIGHUP);
  EXPECT_EQ(err, "huewright: unsaved work on '" + picture + "' was not kept: the disk is full\n");
  EXPECT_EQ(Snapshot(folder), before);
  auto kept =
      DecodeIndexedPng(ReadBytes(folder + "/unsaved-" + std::to_string(::getpid()) + ".png"));
  ASSERT_TRUE(kept.ok());
  EXPECT_EQ(kept->pixels, first);
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
  EXPECT_FALSE(ShownAsMarkup(
      [&] { errors.ShowError(CannotLoad(hostile, "pixel data ends early")); }, &text));
  EXPECT_TRUE(text.contains(QStringLiteral("<h1>All good<!--")));
  QtQuestions questions;
  EXPECT_FALSE(ShownAsMarkup([&] { questions.AskSave(hostile); }));
  SaveLoss alpha;
  alpha.what = "<b>alpha</b>";
  alpha.frames = 3;
  EXPECT_FALSE(ShownAsMarkup([&] { questions.SaveAllTheSame(hostile, hostile, alpha); }));
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
  // A file manager passes the file as an operand; after "--" it may start with '-'.
  std::string dashes = "--", dashed = "-x.pcx";
  char* operand[] = {program.data(), given.data()};
  char* after_dashes[] = {program.data(), dashes.data(), dashed.data()};
  char* both[] = {program.data(), given.data(), equals.data()};
  EXPECT_EQ(LoadArgument(2, operand), fs::current_path().string() + "/p\xff.pcx");
  EXPECT_EQ(LoadArgument(3, after_dashes), fs::current_path().string() + "/-x.pcx");
  EXPECT_EQ(LoadArgument(3, both), native);  // --load wins
}

}  // namespace
}  // namespace hw::test
