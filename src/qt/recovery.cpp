#include "qt/recovery.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "editor/editor.h"
#include "formats/files/file_io.h"
#include "qt/main_window.h"
#include "qt/qt_services.h"

namespace hw {

namespace {

namespace fs = std::filesystem;

constexpr const char* kPrefix = "unsaved-";

// Set by the handler; the event loop reads it. The byte written to the pipe only
// wakes the loop (write is safe in a handler; nothing else happens there).
volatile std::sig_atomic_t caught_signal = 0;
int wake_pipe[2] = {-1, -1};

extern "C" void OnEndingSignal(int signal) {
  caught_signal = signal;
  if (wake_pipe[1] >= 0) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_pipe[1], &byte, 1);
    errno = saved;
  }
}

// Whether the run that wrote unsaved-PID.* is still at work (then its copy is its
// own business, not something to restore).
bool StillRunning(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  return comm && std::getline(comm, name) && name == "huewright";
}

}  // namespace

RecoveryKeeper::RecoveryKeeper(Editor& editor, const QString& folder, QObject* parent,
                               std::shared_ptr<RecoveryFiles> files, const QString& older)
    : QObject(parent),
      editor_(editor),
      path_(PathToNative(folder)),
      folder_(OpenRecoveryFolder(path_, true)),
      files_(files ? std::move(files) : std::make_shared<SystemRecoveryFiles>()) {
  if (!older.isEmpty()) {
    older_path_ = PathToNative(older);
    std::error_code ec;
    // Only looked at where it is there; an untrusted one is passed over.
    if (fs::is_directory(fs::symlink_status(older_path_, ec))) {
      older_ = OpenRecoveryFolder(older_path_, false);
      if (older_.fd < 0) older_.off.clear();
    }
  }
  autosave_ = new QTimer(this);
  autosave_->setInterval(kAutosaveMs);
  connect(autosave_, &QTimer::timeout, this, [this] { Autosave(); });
  autosave_->start();
}

RecoveryKeeper::~RecoveryKeeper() {
  if (wake_ != nullptr) {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
  }
}

QString RecoveryKeeper::DefaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/Huewright/recovery");
}

QString RecoveryKeeper::OlderFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/Huewright/Huewright/recovery");
}

std::string RecoveryKeeper::OwnCopy() const {
  return kPrefix + std::to_string(::getpid()) + ".png";
}

std::string RecoveryKeeper::OwnNote() const {
  return kPrefix + std::to_string(::getpid()) + ".path";
}

void RecoveryKeeper::FollowWindow(MainWindow& form) {
  connect(&form, &MainWindow::DocumentChanged, this, [this] {
    if (!editor_.Modified()) Remove();
  });
  connect(&form, &MainWindow::ChangesDiscarded, this, [this] { Remove(); });
}

void RecoveryKeeper::CatchSignals() {
  if (wake_ != nullptr) return;
  if (wake_pipe[0] < 0 && ::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  wake_ = new QSocketNotifier(wake_pipe[0], QSocketNotifier::Read, this);
  connect(wake_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
    ActOnSignal();
  });
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  // A logout asks the program to keep its work first.
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { Autosave(); });
  }
}

void RecoveryKeeper::Autosave() {
  const Status kept = Update();
  // A copy that cannot be kept is said on the status line, once for each cause.
  const std::string failure = kept ? std::string() : kept.error().Text();
  if (!failure.empty() && failure != told_) editor_.Remark(failure);
  told_ = failure;
}

void RecoveryKeeper::ActOnSignal() {
  const int signal = caught_signal;
  if (signal == 0) return;
  caught_signal = 0;
  // The program ends now: what could not be kept is said where it can still be read.
  if (const Status kept = Update(); !kept) {
    const std::string line = "huewright: " + kept.error().Text() + "\n";
    [[maybe_unused]] const size_t n = std::fwrite(line.data(), 1, line.size(), stderr);
  }
  ending_signal_ = signal;
  emit QuitRequested(signal);
}

Status RecoveryKeeper::Update() {
  if (!editor_.PictureLoaded() || !editor_.Modified()) {
    Remove();
    return Ok{};
  }
  const std::string lost = "unsaved work on " + Quoted(editor_.PicturePath()) + " was not kept: ";
  if (folder_.fd < 0) return Error{lost + folder_.off};
  auto bytes = editor_.CopyAsPng();
  if (!bytes) return Error{lost + bytes.error().Text()};
  // The copy first: a note names a copy that is complete.
  if (const int err = files_->WriteNew(folder_.fd, OwnCopy(), *bytes); err != 0)
    return Error{lost + RecoveryCause(err)};
  const std::string& original = editor_.PicturePath();
  const std::vector<uint8_t> note(original.begin(), original.end());
  if (const int err = files_->WriteNew(folder_.fd, OwnNote(), note); err != 0)
    return Error{lost + RecoveryCause(err)};
  return Ok{};
}

void RecoveryKeeper::Remove() {
  if (folder_.fd < 0) return;
  ::unlinkat(folder_.fd, OwnNote().c_str(), 0);
  ::unlinkat(folder_.fd, OwnCopy().c_str(), 0);
}

std::optional<RecoveryKeeper::Found> RecoveryKeeper::FindIn(int index) const {
  const RecoveryFolder& folder = index == 0 ? folder_ : older_;
  const std::string& path = index == 0 ? path_ : older_path_;
  if (folder.fd < 0) return std::nullopt;
  std::optional<Found> newest;
  int64_t newest_time = 0;
  for (const std::string& name : FolderNames(folder.fd)) {
    if (!name.starts_with(kPrefix) || !name.ends_with(".path")) continue;
    const std::string pid = name.substr(8, name.size() - 8 - 5);
    if (pid.empty() || pid.size() > 10 || pid.find_first_not_of("0123456789") != pid.npos ||
        pid == std::to_string(::getpid()) || StillRunning(pid)) {
      continue;
    }
    const std::string copy = kPrefix + pid + ".png";
    // Links, other users' files and anything but regular files are never offered.
    const std::optional<int64_t> written = OwnRegularFile(folder.fd, copy);
    if (!written || !OwnRegularFile(folder.fd, name)) continue;
    const auto note = ReadOwnFile(folder.fd, name, 1 << 16);
    if (!note || note->empty() || (*note)[0] != '/') continue;
    Found found;
    found.original.assign(note->begin(), note->end());
    if (found.original.find('\0') != std::string::npos) continue;
    // A note naming no regular file names nothing a restore could stand for.
    std::error_code ec;
    if (!fs::is_regular_file(fs::status(found.original, ec))) continue;
    found.note = path + "/" + name;
    found.copy = path + "/" + copy;
    found.written = QDateTime::fromSecsSinceEpoch(*written);
    found.folder = index;
    if (!newest || *written > newest_time) {
      newest = std::move(found);
      newest_time = *written;
    }
  }
  return newest;
}

std::optional<RecoveryKeeper::Found> RecoveryKeeper::FindEarlier() const {
  std::optional<Found> newest = FindIn(0);
  if (std::optional<Found> older = FindIn(1);
      older && (!newest || older->written > newest->written)) {
    newest = std::move(older);
  }
  return newest;
}

void RecoveryKeeper::RemoveFound(const Found& found) const {
  const int fd = found.folder == 0 ? folder_.fd : older_.fd;
  if (fd < 0) return;
  const auto base = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
  ::unlinkat(fd, base(found.note).c_str(), 0);
  ::unlinkat(fd, base(found.copy).c_str(), 0);
}

RecoveryKeeper::Answer AskToRestore(QWidget* parent, const QString& path,
                                    const QDateTime& written) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Huewright"),
                  QObject::tr("Restore unsaved work on %1 from %2?")
                      .arg(path, written.toString(QStringLiteral("yyyy-MM-dd hh:mm"))),
                  QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("RestoreQuestion"));
  box.setTextFormat(Qt::PlainText);
  QPushButton* restore = box.addButton(QObject::tr("Restore"), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QMessageBox::Discard);
  box.setDefaultButton(restore);
  box.exec();
  if (box.clickedButton() == restore) return RecoveryKeeper::Answer::kRestore;
  if (box.clickedButton() == discard) return RecoveryKeeper::Answer::kDiscard;
  return RecoveryKeeper::Answer::kLater;
}

void RecoveryKeeper::OfferEarlier(const RestoreQuestion& ask) {
  const std::optional<Found> found = FindEarlier();
  if (!found) return;
  const Answer answer = ask(PathFromNative(found->original), found->written);
  // A signal while the question was shown ends the run with every file as it was.
  if (ending_signal_ != 0 || answer == Answer::kLater) return;
  if (answer == Answer::kRestore) {
    if (!editor_.RestorePicture(found->copy, found->original)) return;  // reported; kept
    // This run keeps the work from now on.
    if (!Update()) return;
  }
  RemoveFound(*found);
}

}  // namespace hw
