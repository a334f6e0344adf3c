#pragma once

#include "AvatarState.h"
#include "FileEventSource.h"
#include "SessionRecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class Scheduler;
class ScheduledTimer;
class SessionFolder;
class StateWatcher;

// Which Claude Code session the pet shows when several run at once. The hook keeps a record per
// session beside the state file; every new version of the state file (found by the state
// watcher's event source and poll) has the folder of records read again, since the hook writes
// a session's record before the state file. The pet shows the most urgent live session, the most
// recent first among equals (SessionRecord). Records whose process is gone are deleted.
//
// Without any live session the state file is shown as it is, as it always was: that is all there
// is with a hook from before the records, and it is what the last session said when it ended. One
// exception: a state file from a session whose record is gone without an ending (its terminal
// was killed) no longer says anything true, and the pet rests idle instead.
//
// Lives on the thread that creates it, whose event loop carries the watcher's findings and whose
// scheduler runs the checks of the processes.
class SessionTracker : public QObject {
    Q_OBJECT

public:
    // How often the processes of the records are looked at, and records without one that went
    // stale are passed over.
    static constexpr double checkSeconds = 2.0;

    struct Options {
        FileEventSource::Factory eventSource;         // none: poll only
        std::chrono::milliseconds pollInterval{1000}; // of the state file
        // Milliseconds since the Unix epoch, the clock of the records; none: the system's.
        std::function<qint64()> wallClock;
    };

    // The files are those of Paths; `scheduler` must outlive the tracker.
    SessionTracker(Scheduler& scheduler, Options options, QObject* parent = nullptr);
    ~SessionTracker() override;

    // Starts the state watcher (which writes the idle default when there is no state file) and
    // the checks. What the files say now is taken in before it returns.
    void start();

    // What the pet shows.
    const AvatarState& shownState() const { return shown_; }
    // The live sessions, in the order of the pet's choice: the shown one first, when any.
    const QList<SessionRecord>& sessions() const { return sessions_; }
    int count() const { return int(sessions_.size()); }
    // The one-line summary of the session that finished a turn (or ended) last, and its project.
    struct Recap {
        QString text;
        QString project;
    };
    const std::optional<Recap>& lastRecap() const { return lastRecap_; }

signals:
    // Every state the pet should take: a change of the shown session or a new version of it, and
    // without live sessions every delivery of the state file, as the watcher gives it.
    void shownStateChanged(const AvatarState& state);
    // The live sessions or what one of them says changed.
    void sessionsChanged(const QList<SessionRecord>& sessions);
    void lastRecapChanged(const QString& recap, const QString& project);

private:
    struct Snapshot;

    void take(const Snapshot& snapshot);
    void check();
    void update(bool newStateFile);
    // The live records, in no order; deletes those whose process is gone.
    QList<SessionRecord> sweep(qint64 now);
    void offerLatestRecap(const QList<SessionRecord>& records);
    void offerRecap(const std::optional<QString>& text, const QString& project, qint64 time);
    bool hasRecord(const std::optional<QString>& sessionId) const;
    AvatarState stateWithoutSessions() const;
    void show(const AvatarState& state, const QString& version);

    Scheduler& scheduler_;
    const std::function<qint64()> wallClock_;
    const std::unique_ptr<SessionFolder> folder_;

    AvatarState stateFile_;
    std::optional<QList<SessionRecord>> records_; // nothing: no sessions folder
    quint64 stateFileGeneration_ = 0;
    // Snapshots are numbered as they are read; one overtaken by a newer on its way is dropped.
    std::mutex snapshotMutex_;
    quint64 snapshotsRead_ = 0; // guarded by snapshotMutex_
    quint64 lastTaken_ = 0;

    AvatarState shown_;
    QString shownVersion_;
    QList<SessionRecord> sessions_;
    std::optional<Recap> lastRecap_;
    qint64 lastRecapTime_ = 0;

    std::unique_ptr<ScheduledTimer> checkTimer_;
    // Last: it goes first, so that no delivery runs into members already gone.
    std::unique_ptr<StateWatcher> watcher_;
};
