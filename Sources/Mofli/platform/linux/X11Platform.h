#pragma once

#include "Platform.h"

// X11 through Xlib and the window manager's EWMH conventions.
class X11Platform final : public Platform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWidget* window) override;
    void becomeAccessoryApplication() override;
    std::optional<double> secondsSinceLastInput() const override;
    bool activateTerminal(const TerminalOrigin& origin) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;
};
