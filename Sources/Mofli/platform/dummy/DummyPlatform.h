#pragma once

#include "Platform.h"

// For offscreen runs and desktops without an implementation of their own: Qt alone, with
// translucency taken as given and no terminal that could be brought forward. On Linux (a Wayland
// session, say) the idle time comes from the session's D-Bus services.
class DummyPlatform final : public Platform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWidget* window) override;
    void becomeAccessoryApplication() override;
    std::optional<double> secondsSinceLastInput() const override;
    bool activateTerminal(const TerminalOrigin& origin) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;
};
