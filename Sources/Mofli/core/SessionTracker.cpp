#include "SessionTracker.h"

#include "Paths.h"
#include "Scheduler.h"
#include "SessionFolder.h"
#include "StateWatcher.h"

#include <QDateTime>
#include <QDir>
#include <QThread>
#include <algorithm>

struct SessionTracker::Snapshot {
    quint64 number;
    AvatarState stateFile;
    std::optional<QList<SessionRecord>> records;
};

namespace {

QString projectOf(const AvatarState& state) {
    SessionRecord record;
    record.state = state;
    return record.project();
}

} // namespace

SessionTracker::SessionTracker(Scheduler& scheduler, Options options, QObject* parent)
    : QObject(parent), scheduler_(scheduler),
      wallClock_(options.wallClock ? std::move(options.wallClock)
                                   : std::function<qint64()>(&QDateTime::currentMSecsSinceEpoch)),
      folder_(std::make_unique<SessionFolder>(Paths::sessionsDir())) {
    watcher_ = std::make_unique<StateWatcher>(
        [this](const AvatarState& state) {
            Snapshot snapshot;
            {
                std::lock_guard lock(snapshotMutex_);
                snapshot = Snapshot{++snapshotsRead_, state, folder_->read()};
            }
            if (QThread::currentThread() == thread()) {
                take(snapshot);
            } else {
                QMetaObject::invokeMethod(
                    this, [this, snapshot] { take(snapshot); }, Qt::QueuedConnection);
            }
        },
        StateWatcher::Options{{}, std::move(options.eventSource), options.pollInterval});
}

SessionTracker::~SessionTracker() {
    // Joins the watcher's threads before the folder and the members they use go.
    watcher_.reset();
}

void SessionTracker::start() {
    watcher_->start();
    checkTimer_ = scheduler_.schedule(
        checkSeconds, [this] { check(); }, true);
}

void SessionTracker::take(const Snapshot& snapshot) {
    if (snapshot.number < lastTaken_) {
        return;
    }
    lastTaken_ = snapshot.number;
    stateFile_ = snapshot.stateFile;
    records_ = snapshot.records;
    ++stateFileGeneration_;
    update(true);
}

void SessionTracker::check() {
    if (records_) {
        update(false);
    }
}

void SessionTracker::update(bool newStateFile) {
    const qint64 now = wallClock_();
    QList<SessionRecord> live;
    if (records_) {
        offerLatestRecap(*records_);
        live = sweep(now);
    }
    // A session's record tells when it wrote its recap; the state file only when it was found,
    // and concurrent sessions may replace it in another order than their records. Its recap
    // counts only where no record has it: a session that ended, or no sessions folder.
    if (newStateFile && !hasRecord(stateFile_.sessionId)) {
        offerRecap(stateFile_.recap, projectOf(stateFile_), now);
    }
    std::sort(live.begin(), live.end(), &SessionRecord::showsBefore);
    if (live != sessions_) {
        sessions_ = live;
        emit sessionsChanged(sessions_);
    }
    if (!live.isEmpty()) {
        const SessionRecord& first = live.front();
        show(first.state, first.fileName + QLatin1Char('@') + QString::number(first.updatedAt));
    } else {
        show(stateWithoutSessions(),
             QStringLiteral("state file #") + QString::number(stateFileGeneration_));
    }
}

QList<SessionRecord> SessionTracker::sweep(qint64 now) {
    QList<SessionRecord> live;
    QList<SessionRecord> kept;
    for (const SessionRecord& record : *records_) {
        if (record.isLive(now)) {
            live.append(record);
            kept.append(record);
        } else if (!record.pid || !folder_->removeIfUnchanged(record)) {
            // A stale record without a process stays for its session to take up again; one
            // written anew since the look is the folder's next read's to judge.
            kept.append(record);
        }
    }
    records_ = std::move(kept);
    return live;
}

void SessionTracker::offerLatestRecap(const QList<SessionRecord>& records) {
    const SessionRecord* latest = nullptr;
    for (const SessionRecord& record : records) {
        if (record.state.recap && !record.state.recap->isEmpty() &&
            (!latest || record.updatedAt > latest->updatedAt)) {
            latest = &record;
        }
    }
    if (latest) {
        offerRecap(latest->state.recap, latest->project(), latest->updatedAt);
    }
}

void SessionTracker::offerRecap(const std::optional<QString>& text, const QString& project,
                                qint64 time) {
    if (!text || text->isEmpty() || (lastRecap_ && time <= lastRecapTime_)) {
        return;
    }
    lastRecapTime_ = time;
    if (lastRecap_ && lastRecap_->text == *text && lastRecap_->project == project) {
        return;
    }
    lastRecap_ = Recap{*text, project};
    emit lastRecapChanged(*text, project);
}

bool SessionTracker::hasRecord(const std::optional<QString>& sessionId) const {
    return sessionId && records_ &&
           std::any_of(records_->begin(), records_->end(), [&](const SessionRecord& record) {
               return record.state.sessionId == sessionId;
           });
}

AvatarState SessionTracker::stateWithoutSessions() const {
    const bool fromGoneSession =
        records_ && stateFile_.sessionId && stateFile_.state != QLatin1String("idle");
    if (!fromGoneSession) {
        return stateFile_;
    }
    AvatarState idle;
    idle.state = QStringLiteral("idle");
    return idle;
}

void SessionTracker::show(const AvatarState& state, const QString& version) {
    if (version == shownVersion_) {
        return;
    }
    shownVersion_ = version;
    shown_ = state;
    emit shownStateChanged(shown_);
}
