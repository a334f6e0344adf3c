#include "SessionFolder.h"

#include "Logging.h"
#include "StateFileContract.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {

constexpr qsizetype sizeLimit = qsizetype(StateFileContract::stateFileByteLimit);

std::optional<SessionRecord> readRecord(const QString& fileName, const QByteArray& path) {
    const auto contents = LocalFile::readRegular(path, sizeLimit);
    if (!std::holds_alternative<QByteArray>(contents)) {
        return std::nullopt;
    }
    std::optional<SessionRecord> record =
        SessionRecord::decode(fileName, std::get<QByteArray>(contents));
    if (!record) {
        qCInfo(lcState) << "ignoring" << QFile::decodeName(path) << "(not a session record)";
    }
    return record;
}

} // namespace

SessionFolder::SessionFolder(QString path) : path_(std::move(path)) {
}

QByteArray SessionFolder::nativePath(const QString& fileName) const {
    return QFile::encodeName(path_ + QLatin1Char('/') + fileName);
}

std::optional<QList<SessionRecord>> SessionFolder::read() {
    std::lock_guard lock(mutex_);
    // A folder that cannot be listed tells nothing, which is not the same as no sessions.
    const QFileInfo folder(path_);
    if (!folder.isDir() || !folder.isReadable() || !folder.isExecutable()) {
        cache_.clear();
        return std::nullopt;
    }
    std::map<QString, Cached> seen;
    QList<SessionRecord> records;
    const QStringList names = QDir(path_).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                                    QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!SessionRecord::isRecordName(name)) {
            continue;
        }
        const QByteArray file = nativePath(name);
        const std::optional<LocalFile::Version> version = LocalFile::version(file);
        if (!version) {
            continue; // gone since the listing
        }
        const auto cached = cache_.find(name);
        Cached entry = cached != cache_.end() && cached->second.version == *version
                           ? cached->second
                           : Cached{*version, readRecord(name, file)};
        if (entry.record) {
            records.append(*entry.record);
        }
        seen.emplace(name, std::move(entry));
    }
    cache_ = std::move(seen);
    return records;
}

bool SessionFolder::removeIfUnchanged(const SessionRecord& record) const {
    const QByteArray file = nativePath(record.fileName);
    const auto contents = LocalFile::readRegular(file, sizeLimit);
    if (!std::holds_alternative<QByteArray>(contents)) {
        return false;
    }
    const std::optional<SessionRecord> now =
        SessionRecord::decode(record.fileName, std::get<QByteArray>(contents));
    if (!now || now->updatedAt != record.updatedAt || now->pid != record.pid) {
        return false;
    }
    return unlink(file.constData()) == 0;
}
