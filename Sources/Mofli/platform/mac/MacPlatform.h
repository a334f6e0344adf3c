#pragma once

#include "Platform.h"

// AppKit, reached through the native views under Qt's windows.
class MacPlatform final : public Platform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWidget* window) override;
    void applyStacking(QWidget* window, bool alwaysOnTop) override;
    void becomeAccessoryApplication() override;
    std::optional<double> secondsSinceLastInput() const override;
    bool activateTerminal(const TerminalOrigin& origin) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;
};
