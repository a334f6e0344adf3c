#pragma once

#include "Platform.h"

// AppKit, reached through the native views under Qt's windows.
class MacPlatform final : public Platform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWidget* window) override;
    void applyStacking(QWidget* window, bool alwaysOnTop) override;
    void becomeAccessoryApplication() override;
    void secondsSinceLastInput(QObject* context, IdleReply reply) override;
    void activateTerminal(const TerminalOrigin& origin, QObject* context,
                          std::function<void(bool)> done) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;
};
