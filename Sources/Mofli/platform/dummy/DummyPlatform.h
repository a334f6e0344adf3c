#pragma once

#include "NativePlatform.h"

#include <QThreadPool>

// For offscreen runs and desktops without an implementation of their own: Qt alone, with
// translucency taken as given and no terminal that could be brought forward. On Linux (a Wayland
// session, say) the idle time comes from the session's D-Bus services.
class DummyPlatform final : public NativePlatform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWindow* window) override;
    void becomeAccessoryApplication() override;
    void secondsSinceLastInput(QObject* context, IdleReply reply) override;
    void activateTerminal(const TerminalOrigin& origin, QObject* context,
                          std::function<void(bool)> done) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;

private:
    // Last member: destroyed first, waiting for a question still out.
    QThreadPool background_;
};
