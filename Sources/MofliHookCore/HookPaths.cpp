#include "HookPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace HookPaths {

std::string home() {
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') {
        return value;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return {};
}

std::string mofliDir() {
    return home() + "/.claude/mofli";
}

std::string stateFile() {
    return mofliDir() + "/state.json";
}

std::string sessionFile() {
    return mofliDir() + "/session.json";
}

std::string sessionLockFile() {
    return mofliDir() + "/session.lock";
}

} // namespace HookPaths
