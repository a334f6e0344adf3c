#include "EntryWatch.h"

#include <sys/stat.h>
#include <utility>

EntryWatch::EntryWatch(QByteArray filePath) : path_(std::move(filePath)) {
}

void EntryWatch::attached(int descriptor) {
    // The open descriptor rather than the path: a replacement between opening and asking would
    // otherwise pass as the watched file.
    struct stat info;
    if (descriptor >= 0 && fstat(descriptor, &info) == 0) {
        watched_ = Identity{info.st_dev, info.st_ino};
    } else {
        watched_.reset();
    }
}

EntryWatch::Outcome EntryWatch::consider(const Notes& notes) const {
    const bool replaced = notes.folderChanged && atPath() != watched_;
    Outcome outcome;
    outcome.reattach = notes.fileGone || notes.folderGone || replaced;
    outcome.report = outcome.reattach || notes.fileWritten;
    return outcome;
}

std::optional<EntryWatch::Identity> EntryWatch::atPath() const {
    struct stat info;
    if (stat(path_.constData(), &info) != 0) {
        return std::nullopt;
    }
    return Identity{info.st_dev, info.st_ino};
}
