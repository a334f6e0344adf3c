#include "Updater.h"

namespace Updater {

bool start() {
    return false;
}

bool isAvailable() {
    return false;
}

void checkForUpdates() {
}

} // namespace Updater
