#pragma once

#include "NativePlatform.h"

// AppKit, reached through the native views under Qt's windows.
class MacPlatform final : public NativePlatform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWindow* window) override;
    void applyStacking(QWindow* window, bool alwaysOnTop) override;
    void becomeAccessoryApplication() override;
    void bringForward(QWidget* window) override;
    void secondsSinceLastInput(QObject* context, IdleReply reply) override;
    void activateTerminal(const TerminalOrigin& origin, QObject* context,
                          std::function<void(bool)> done) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;
};
