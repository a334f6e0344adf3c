#pragma once

#include "LocalFile.h"
#include "SessionRecord.h"

#include <QList>
#include <QString>
#include <map>
#include <mutex>
#include <optional>

// The folder of session records beside the state file, read as it is now. A record file is read
// again only when it changed since the last look, so a look costs one status query per record.
// Safe to use from several threads.
class SessionFolder {
public:
    // `path`: the folder, Paths::sessionsDir() in the app.
    explicit SessionFolder(QString path);

    // Every record in the folder that decodes, in no particular order; nothing when there is no
    // folder to read (a hook from before the records).
    std::optional<QList<SessionRecord>> read();

    // Deletes the file of `record` when it still holds that version: a session resumed
    // meanwhile may have written it again, and that record must stay.
    bool removeIfUnchanged(const SessionRecord& record) const;

    const QString& path() const { return path_; }

private:
    struct Cached {
        LocalFile::Version version;
        std::optional<SessionRecord> record;
    };

    QByteArray nativePath(const QString& fileName) const;

    const QString path_;
    std::mutex mutex_;
    std::map<QString, Cached> cache_; // guarded by mutex_
};
