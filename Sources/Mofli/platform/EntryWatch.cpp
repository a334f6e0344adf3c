#include "EntryWatch.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

// Deeper paths are not worth a descriptor per level; a home folder is a handful of levels down.
constexpr int maxAncestors = 64;

} // namespace

EntryWatch::EntryWatch(const QByteArray& filePath) {
    const QString file = QFile::decodeName(filePath);
    const QString folder = QFileInfo(file).path();
    levels_.push_back({filePath, Role::file});
    levels_.push_back({QFile::encodeName(folder), Role::folder});
    QString ancestor = QFileInfo(folder).absolutePath();
    for (int count = 0; count < maxAncestors; ++count) {
        levels_.push_back(
            {QFile::encodeName(ancestor), count == 0 ? Role::parent : Role::ancestor});
        const QString above = QFileInfo(ancestor).absolutePath();
        if (above == ancestor) {
            break;
        }
        ancestor = above;
    }
    watched_.resize(levels_.size());
}

void EntryWatch::attached(size_t level, int descriptor) {
    // The open descriptor rather than the path: a replacement between opening and asking would
    // otherwise pass as the watched object.
    struct stat info;
    if (descriptor >= 0 && fstat(descriptor, &info) == 0) {
        watched_[level] = Identity{info.st_dev, info.st_ino};
    } else {
        watched_[level].reset();
    }
}

EntryWatch::Outcome EntryWatch::consider(const Notes& notes) const {
    Outcome outcome;
    outcome.reattach = notes.gone;
    for (const size_t level : notes.entriesChanged) {
        if (level > 0 && level < levels_.size() && atPath(level - 1) != watched_[level - 1]) {
            outcome.reattach = true;
        }
    }
    outcome.report = outcome.reattach || notes.fileWritten;
    return outcome;
}

std::optional<EntryWatch::Identity> EntryWatch::atPath(size_t level) const {
    struct stat info;
    if (stat(levels_[level].path.constData(), &info) != 0) {
        return std::nullopt;
    }
    return Identity{info.st_dev, info.st_ino};
}
