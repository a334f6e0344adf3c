#pragma once

#include <QByteArray>
#include <optional>
#include <sys/types.h>
#include <variant>

// Reading the small files the hook replaces under ~/.claude/mofli, from any thread and without
// waiting on anything someone planted there.
namespace LocalFile {

// What a poll compares between two looks at a file. File systems stamp modification times with a
// coarse clock, so two replacements in quick succession can share one; the inode and size tell
// such versions apart in most cases.
struct Version {
    long long seconds;
    long long nanoseconds;
    ino_t inode;
    off_t size;

    bool operator==(const Version&) const = default;
};

// The version of the file at `path` (links followed); nothing when there is none.
std::optional<Version> version(const QByteArray& path);

enum class ReadFailure { unreadable, tooLarge };

// The whole content of the regular file at `path`. Opening a FIFO under the name does not block;
// a file larger than `limit` is refused by its size, and one that grows past it while being read
// stops the read there.
std::variant<QByteArray, ReadFailure> readRegular(const QByteArray& path, qsizetype limit);

} // namespace LocalFile
