#include "DummyPlatform.h"

#include <QtGlobal>

#ifndef Q_OS_MACOS
#include "linux/DBusIdleTime.h"
#endif

bool DummyPlatform::compositesTranslucentWindows() const {
    return true;
}

void DummyPlatform::showOnAllWorkspaces(QWidget*) {
}

void DummyPlatform::becomeAccessoryApplication() {
}

std::optional<double> DummyPlatform::secondsSinceLastInput() const {
#ifdef Q_OS_MACOS
    return std::nullopt;
#else
    return DBusIdleTime::secondsSinceLastInput();
#endif
}

bool DummyPlatform::activateTerminal(const TerminalOrigin&) {
    return false;
}

bool DummyPlatform::canActivateTerminal(const TerminalOrigin&) const {
    return false;
}
