#pragma once

#include <QString>
#include <optional>
#include <sys/stat.h>

// Whether a file or folder that the app reads or listens in could have been put there, or changed,
// by someone other than this user. Only this user and root (the system's own installs) are
// trusted; anything others may write is not, wherever it lies.
namespace FileTrust {

// Why what `info` describes (a stat result, symbolic links followed) is not to be trusted:
// another user owns it, or others than its owner may write it. Nothing when it can be trusted.
// A group that holds its owner alone (a group named after the owner, as desktop systems give
// every user) counts as the owner.
std::optional<QString> distrust(const struct stat& info);
// The same for the file or folder at `path`; one that cannot be looked at is not trusted.
std::optional<QString> distrust(const QString& path);

// Whether `path` itself (not a symbolic link to it) is a folder of this user that nobody else may
// enter: what a socket that only this user may reach needs.
bool isPrivateFolder(const QString& path);

} // namespace FileTrust
