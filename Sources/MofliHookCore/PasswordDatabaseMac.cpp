#include "PasswordDatabase.h"

#include <pwd.h>
#include <unistd.h>

namespace PasswordDatabase {

std::optional<std::string> currentUserHome() {
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return std::string(entry->pw_dir);
    }
    return std::nullopt;
}

} // namespace PasswordDatabase
