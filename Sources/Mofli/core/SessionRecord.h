#pragma once

#include "AvatarState.h"

#include <QByteArray>
#include <QString>
#include <optional>

// One Claude Code session as the hook's record of it tells: what its last event said, when, and
// which process runs it.
struct SessionRecord {
    // The record's file name in the sessions folder, the same for every version of one session.
    QString fileName;
    AvatarState state;
    // When the hook wrote it, in milliseconds since the Unix epoch.
    qint64 updatedAt = 0;
    // The session's Claude Code process, when the hook found it.
    std::optional<qint64> pid;

    // A record without a process counts as live this long after its last write.
    static constexpr qint64 unprovenLifetimeMs = 30 * 60 * 1000;
    // A process that started more than this after the record's last write cannot have written it:
    // its id went to a newcomer once the session's own process was gone. The margin absorbs small
    // steps of the wall clock between the write and the look.
    static constexpr qint64 startMarginMs = 5000;

    // Whether a file of the sessions folder is a record by its name (a temporary file of the hook,
    // or the counts beside a record, are not).
    static bool isRecordName(const QString& fileName);
    // The state must decode as a state file does, "updatedAt" must be an integer and "pid", when
    // present, a positive one.
    static std::optional<SessionRecord> decode(const QString& fileName, const QByteArray& json);

    // The last component of the session's working folder; empty without one.
    QString project() const;
    // How much the user needs to see the session, 0 the most: waiting for the user, failed,
    // working (running or thinking), waving at the end of a turn, idle.
    int urgency() const;
    // Whether the session still runs at `now` (milliseconds since the Unix epoch): while its
    // process lives, or without a process until unprovenLifetimeMs after the last write.
    bool isLive(qint64 now) const;
    // The order of the pet's choice: the most urgent first, the most recent first among equals.
    static bool showsBefore(const SessionRecord& first, const SessionRecord& second);

    bool operator==(const SessionRecord&) const = default;
};
