#pragma once

#include "NativePlatform.h"

#include <QThreadPool>

// X11 through Xlib and the window manager's EWMH conventions.
class X11Platform final : public NativePlatform {
public:
    X11Platform();

    bool compositesTranslucentWindows() const override;
    void shapeToVisiblePixels(QWidget* window, const QRegion& visible) override;
    void showOnAllWorkspaces(QWindow* window) override;
    void becomeAccessoryApplication() override;
    void secondsSinceLastInput(QObject* context, IdleReply reply) override;
    void activateTerminal(const TerminalOrigin& origin, QObject* context,
                          std::function<void(bool)> done) override;
    bool canActivateTerminal(const TerminalOrigin& origin) const override;

private:
    // Terminal searches and D-Bus questions, away from the GUI thread. Last member: destroyed
    // first, waiting for work still running.
    QThreadPool background_;
};
