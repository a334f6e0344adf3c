#include "DummyPlatform.h"

#include <QtGlobal>

#ifndef Q_OS_MACOS
#include "Background.h"
#include "linux/DBusIdleTime.h"
#endif

bool DummyPlatform::compositesTranslucentWindows() const {
    return true;
}

void DummyPlatform::showOnAllWorkspaces(QWindow*) {
}

void DummyPlatform::becomeAccessoryApplication() {
}

void DummyPlatform::secondsSinceLastInput(QObject* context, IdleReply reply) {
#ifdef Q_OS_MACOS
    Q_UNUSED(context);
    reply(std::nullopt);
#else
    Background::run(background_, context, &DBusIdleTime::secondsSinceLastInput, std::move(reply));
#endif
}

void DummyPlatform::activateTerminal(const TerminalOrigin&, QObject*,
                                     std::function<void(bool)> done) {
    done(false);
}

bool DummyPlatform::canActivateTerminal(const TerminalOrigin&) const {
    return false;
}
