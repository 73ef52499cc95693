// Unsaved work kept through what ends the editor without asking: SIGTERM and
// SIGHUP (logout, shutdown, kill) and the desktop session's request to save, with
// a copy every two minutes while there are unsaved changes for anything worse.
// The picture as shown is written as PNG (pixels, palette and alpha) into a
// recovery folder, beside a file naming the picture's own file; the next start
// offers to restore it. Saving the picture or discarding its changes removes it.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QSocketNotifier;
class QTimer;

namespace hw {

class Editor;
class MainWindow;

class RecoveryKeeper : public QObject {
  Q_OBJECT
 public:
  static constexpr int kAutosaveMs = 2 * 60 * 1000;

  // What an earlier run left behind.
  struct Found {
    std::string copy;      // the picture as it was shown (PNG)
    std::string note;      // names the picture's file
    std::string original;  // the picture's file
    QDateTime written;
  };
  // Answers "Restore unsaved work on NAME from TIME?": true to restore.
  using RestoreQuestion = std::function<bool(const QString& name, const QDateTime& written)>;

  RecoveryKeeper(Editor& editor, const QString& folder, QObject* parent = nullptr);
  ~RecoveryKeeper() override;

  // The recovery folder in the user's data folder.
  static QString DefaultFolder();

  // Removes the recovery as soon as the window's picture has no unsaved changes
  // (it was saved, or undone back to its file) or the user discards them.
  void FollowWindow(MainWindow& form);
  // From now on SIGTERM and SIGHUP end the editor through Quit() after the
  // unsaved work is written; the handler itself only sets a flag (and wakes the
  // event loop, which acts on it). One keeper per process catches signals.
  void CatchSignals();
  // Writes this run's recovery when there are unsaved changes; removes it when
  // there are none. False when writing failed.
  bool Update();
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
  std::string OwnCopy() const;
  std::string OwnNote() const;

  Editor& editor_;
  QString folder_;
  QTimer* autosave_ = nullptr;
  QSocketNotifier* wake_ = nullptr;
};

}  // namespace hw
