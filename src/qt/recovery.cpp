#include "qt/recovery.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "editor/editor.h"
#include "formats/file_io.h"
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

RecoveryKeeper::RecoveryKeeper(Editor& editor, const QString& folder, QObject* parent)
    : QObject(parent), editor_(editor), folder_(folder) {
  autosave_ = new QTimer(this);
  autosave_->setInterval(kAutosaveMs);
  connect(autosave_, &QTimer::timeout, this, [this] { Update(); });
  autosave_->start();
}

RecoveryKeeper::~RecoveryKeeper() {
  if (wake_ != nullptr) {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
  }
}

QString RecoveryKeeper::DefaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
         QStringLiteral("/recovery");
}

std::string RecoveryKeeper::OwnCopy() const {
  return PathToNative(folder_) + "/" + kPrefix + std::to_string(::getpid()) + ".png";
}

std::string RecoveryKeeper::OwnNote() const {
  return PathToNative(folder_) + "/" + kPrefix + std::to_string(::getpid()) + ".path";
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
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { Update(); });
  }
}

void RecoveryKeeper::ActOnSignal() {
  const int signal = caught_signal;
  if (signal == 0) return;
  caught_signal = 0;
  Update();
  emit QuitRequested(signal);
}

bool RecoveryKeeper::Update() {
  if (!editor_.PictureLoaded() || !editor_.Modified()) {
    Remove();
    return true;
  }
  QDir().mkpath(folder_);
  // The copy first: a note names a copy that is complete.
  if (!editor_.WriteCopy(OwnCopy())) return false;
  const std::string& original = editor_.PicturePath();
  return WriteFileReplacing(OwnNote(), std::vector<uint8_t>(original.begin(), original.end())).ok();
}

void RecoveryKeeper::Remove() {
  std::error_code ec;
  fs::remove(OwnNote(), ec);
  fs::remove(OwnCopy(), ec);
}

std::optional<RecoveryKeeper::Found> RecoveryKeeper::FindEarlier() const {
  std::optional<Found> newest;
  std::error_code ec;
  for (fs::directory_iterator it(PathToNative(folder_), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(kPrefix) || !name.ends_with(".path")) continue;
    const std::string pid = name.substr(8, name.size() - 8 - 5);
    if (pid.empty() || StillRunning(pid) || pid == std::to_string(::getpid())) continue;
    Found found;
    found.note = it->path().string();
    found.copy = (it->path().parent_path() / (kPrefix + pid + ".png")).string();
    auto original = ReadFileBytes(found.note, 1 << 16);
    if (!original || !fs::is_regular_file(found.copy, ec)) continue;
    found.original.assign(original->begin(), original->end());
    found.written = QFileInfo(PathFromNative(found.copy)).lastModified();
    if (!newest || found.written > newest->written) newest = std::move(found);
  }
  return newest;
}

void RecoveryKeeper::OfferEarlier(const RestoreQuestion& ask) {
  const std::optional<Found> found = FindEarlier();
  if (!found) return;
  const QString name = QFileInfo(PathFromNative(found->original)).fileName();
  if (ask(name, found->written)) {
    if (!editor_.RestorePicture(found->copy, found->original)) return;  // reported; kept
    // This run keeps the work from now on.
    if (!Update()) return;
  }
  std::error_code ec;
  fs::remove(found->note, ec);
  fs::remove(found->copy, ec);
}

}  // namespace hw
