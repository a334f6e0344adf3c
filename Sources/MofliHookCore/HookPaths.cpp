#include "HookPaths.h"

#include "PasswordDatabase.h"
#include "Sha1.h"
#include "StateFileContract.h"

#include <cstdlib>

namespace HookPaths {

std::string home() {
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') {
        return value;
    }
    return PasswordDatabase::currentUserHome().value_or(std::string());
}

std::string mofliDir() {
    return home() + "/" + std::string(StateFileContract::folder);
}

std::string stateFile() {
    return mofliDir() + "/" + std::string(StateFileContract::stateFileName);
}

std::string sessionFile() {
    return mofliDir() + "/" + std::string(StateFileContract::sessionFileName);
}

std::string sessionLockFile() {
    return mofliDir() + "/" + std::string(StateFileContract::sessionLockFileName);
}

std::string sessionsDir() {
    return mofliDir() + "/" + std::string(StateFileContract::sessionsFolderName);
}

std::string sessionRecordFile(std::string_view sessionId) {
    return sessionsDir() + "/" + Sha1::hex(sessionId) +
           std::string(StateFileContract::sessionRecordSuffix);
}

std::string sessionCountsFile(std::string_view sessionId) {
    return sessionsDir() + "/" + Sha1::hex(sessionId) +
           std::string(StateFileContract::sessionCountsSuffix);
}

} // namespace HookPaths
