#include "HookPaths.h"

#include "PasswordDatabase.h"

#include <cstdlib>

namespace HookPaths {

std::string home() {
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') {
        return value;
    }
    return PasswordDatabase::currentUserHome().value_or(std::string());
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
