#include "FileTrust.h"

#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace FileTrust {

namespace {

// A group of one: named after the user who owns the file and listing nobody else. Debian and
// most desktop systems make such a group for every user, and a umask of 002 then leaves the
// user's own files group-writable.
bool isPrivateGroup(gid_t groupId, uid_t owner) {
    const passwd* user = getpwuid(owner);
    if (user == nullptr || user->pw_gid != groupId) {
        return false;
    }
    const QByteArray userName = user->pw_name;
    const struct group* entry = getgrgid(groupId);
    if (entry == nullptr || userName != entry->gr_name) {
        return false;
    }
    for (char* const* member = entry->gr_mem; *member != nullptr; ++member) {
        if (userName != *member) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<QString> distrust(const struct stat& info) {
    if (info.st_uid != geteuid() && info.st_uid != 0) {
        return QStringLiteral("it belongs to user %1").arg(info.st_uid);
    }
    if ((info.st_mode & S_IWOTH) != 0) {
        return QStringLiteral("anyone may write it");
    }
    if ((info.st_mode & S_IWGRP) != 0 && !isPrivateGroup(info.st_gid, info.st_uid)) {
        return QStringLiteral("group %1 may write it").arg(info.st_gid);
    }
    return std::nullopt;
}

std::optional<QString> distrust(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return QStringLiteral("it cannot be looked at");
    }
    return distrust(info);
}

bool isPrivateFolder(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace FileTrust
