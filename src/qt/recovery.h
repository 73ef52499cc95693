// Unsaved work kept through what ends the editor without asking: SIGTERM and
// SIGHUP (logout, shutdown, kill) and the desktop session's request to save, with
// a copy every two minutes while there are unsaved changes for anything worse.
// The picture as shown is written as PNG (pixels, palette and alpha) into a
// recovery folder, beside a note naming the picture's own file; the next start
// offers to restore it. Saving the picture or discarding its changes removes it.
//
// The folder is trusted only when it and the folder above it are the user's and
// writable by nobody else; otherwise recovery is off for the run (Off() says why)
// and nothing is read from it or written to it. Copies and notes are made new,
// mode 0600, through a temporary in the folder; at start-up links, other users'
// files and notes naming no regular file are ignored and left alone. Only the
// answer Discard removes what an earlier run left.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "qt/recovery_files.h"

class QSocketNotifier;
class QTimer;
class QWidget;

namespace hw {

class Editor;
class MainWindow;

class RecoveryKeeper : public QObject {
  Q_OBJECT
 public:
  static constexpr int kAutosaveMs = 2 * 60 * 1000;

  // What an earlier run left behind.
  struct Found {
    std::string copy;      // the picture as it was shown (PNG), full path
    std::string note;      // names the picture's file, full path
    std::string original;  // the picture's file
    QDateTime written;
    int folder = 0;  // 0: the recovery folder; 1: the one an older version used
  };
  // The answer to "Restore unsaved work on PATH from TIME?". Only kDiscard removes
  // the copy; kLater (the question closed, or ended by a signal) keeps it.
  enum class Answer { kRestore, kDiscard, kLater };
  using RestoreQuestion = std::function<Answer(const QString& path, const QDateTime& written)>;

  // `files` writes the copies (the system's when null). `older` is the folder an
  // older version kept its copies in: they are offered from there too, under the
  // same rules, and nothing is ever written there.
  RecoveryKeeper(Editor& editor, const QString& folder, QObject* parent = nullptr,
                 std::shared_ptr<RecoveryFiles> files = nullptr, const QString& older = {});
  ~RecoveryKeeper() override;

  // The recovery folder in the user's data folder: $XDG_DATA_HOME/Huewright/recovery.
  static QString DefaultFolder();
  // Where an older version kept its copies: $XDG_DATA_HOME/Huewright/Huewright/recovery.
  static QString OlderFolder();

  // Why recovery is off for this run ("recovery is off: 'DIR' is writable by
  // others"), or "" when it is on.
  const std::string& Off() const { return folder_.off; }
  // The signal that ended the run, once one was caught and acted on; 0 before.
  int EndingSignal() const { return ending_signal_; }

  // Removes the recovery as soon as the window's picture has no unsaved changes
  // (it was saved, or undone back to its file) or the user discards them.
  void FollowWindow(MainWindow& form);
  // From now on SIGTERM and SIGHUP end the editor through Quit() after the
  // unsaved work is written; the handler itself only sets a flag (and wakes the
  // event loop, which acts on it). One keeper per process catches signals.
  void CatchSignals();
  // Writes this run's recovery when there are unsaved changes; removes it when
  // there are none. The failure names the picture and the cause.
  Status Update();
  // Update as the timer and a logout call it: a failure is put on the status line,
  // once for each cause.
  void Autosave();
  // Removes this run's recovery.
  void Remove();
  // The newest recovery left by a run that is no longer running, if any.
  std::optional<Found> FindEarlier() const;
  // Offers the newest earlier recovery: restored (and this run's own copy
  // written at once) or discarded as answered.
  void OfferEarlier(const RestoreQuestion& ask);

 signals:
  // A caught signal: the work is written; the program should end now.
  void QuitRequested(int signal);

 private:
  void ActOnSignal();
  std::string OwnCopy() const;  // names in the folder
  std::string OwnNote() const;
  std::optional<Found> FindIn(int index) const;
  void RemoveFound(const Found& found) const;

  Editor& editor_;
  std::string path_;
  RecoveryFolder folder_;
  std::string older_path_;
  RecoveryFolder older_;
  std::shared_ptr<RecoveryFiles> files_;
  int ending_signal_ = 0;
  QTimer* autosave_ = nullptr;
  std::string told_;  // the autosave failure last put on the status line
  QSocketNotifier* wake_ = nullptr;
};

// "Restore unsaved work on PATH from TIME?" with Restore and Discard; kLater when
// the box is closed any other way (the run ending by a signal meanwhile).
RecoveryKeeper::Answer AskToRestore(QWidget* parent, const QString& path, const QDateTime& written);

}  // namespace hw
