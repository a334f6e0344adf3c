#pragma once

#include <QByteArray>
#include <optional>
#include <sys/types.h>

// Makes sense of the notes of two watches, one on a file and one on its folder, that follow the
// objects open when they were added rather than the path (kqueue's vnode watches). After an
// atomic replacement the file watch sits on the replaced file, and the folder only says that some
// entry changed; comparing the file now at the path with the one watched tells a new version from
// a temporary file coming and going beside it.
class EntryWatch {
public:
    // What one batch of notes said.
    struct Notes {
        bool fileWritten = false;   // the watched file's contents changed
        bool fileGone = false;      // the watched file was deleted or renamed
        bool folderChanged = false; // an entry of the folder came, went or was renamed
        bool folderGone = false;    // the folder itself was deleted or renamed
    };
    struct Outcome {
        bool reattach = false; // the watches must be opened again by path
        bool report = false;   // the file at the path may have changed
    };

    explicit EntryWatch(QByteArray filePath);

    // Remembers which file `descriptor` (just opened on the path) is; -1: there was none.
    void attached(int descriptor);
    Outcome consider(const Notes& notes) const;

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator==(const Identity&) const = default;
    };

    std::optional<Identity> atPath() const;

    const QByteArray path_;
    std::optional<Identity> watched_;
};
