#pragma once

#include <QByteArray>
#include <optional>
#include <sys/types.h>
#include <vector>

// What the system watches of one file path, and what their notes mean. inotify's watches and
// kqueue's vnode watches follow the objects open when they were added rather than the path: after
// an atomic replacement the file watch sits on the replaced file, and after the folder, or any
// folder above it, is renamed away, every watch below sits in the old place. So the path is
// watched level by level: level 0 is the file, level 1 its folder, level 2 the folder's parent,
// and so on up to the root; a note that the path may now lead elsewhere means watching again.
//
// kqueue tells no names: a folder only says that some entry changed. Comparing the object now at
// the path of the level below with the one watched there tells a new version, or a new folder,
// from a temporary file coming and going beside it.
class EntryWatch {
public:
    // What a level is watched for.
    enum class Role {
        file,    // its contents, and its going away
        folder,  // its entries (a new version of the file), and its going away
        parent,  // its entries (a new folder of that name), and its going away
        ancestor // only its going away, which moves everything below
    };
    struct Level {
        QByteArray path;
        Role role;
    };

    // What one batch of notes said.
    struct Notes {
        bool fileWritten = false; // the watched file's contents changed
        bool gone = false;        // a watched file or folder was deleted, renamed or revoked
        // Levels whose folder saw an entry come, go or be renamed.
        std::vector<size_t> entriesChanged;
    };
    struct Outcome {
        bool reattach = false; // the watches must be opened again by path
        bool report = false;   // the file at the path may have changed
    };

    explicit EntryWatch(const QByteArray& filePath);

    // The file first, then the folders above it, the root last; at most 64 above the folder.
    const std::vector<Level>& levels() const { return levels_; }
    // Remembers which object `descriptor` (just opened on the path of `level`) is; -1: none.
    void attached(size_t level, int descriptor);
    Outcome consider(const Notes& notes) const;

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator==(const Identity&) const = default;
    };

    std::optional<Identity> atPath(size_t level) const;

    std::vector<Level> levels_;
    std::vector<std::optional<Identity>> watched_;
};
