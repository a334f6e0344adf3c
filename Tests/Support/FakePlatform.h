#pragma once

#include "Platform.h"
#include "TerminalOrigin.h"

#include <QFileInfo>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <utility>

// Stands in for the desktop in offscreen tests and records what the app asked of it.
class FakePlatform final : public Platform {
public:
    bool composites = true;
    // Offscreen Qt has no tray; tests choose.
    bool trayAvailable = false;
    QList<QPointer<QWidget>> allWorkspaceWindows;
    // The always-on-top value of each stacking request, in order.
    QList<bool> stackingRequests;
    int accessoryRequests = 0;
    // Terminal activation: what it answers, and the origins it was asked to bring forward.
    bool terminalsActivatable = true;
    bool activationSucceeds = true;
    QList<TerminalOrigin> activations;
    // What the idle monitor reads; nothing stands for a desktop that does not tell.
    std::optional<double> idleSeconds;
    // The folders the app asked to show, each with whether it existed at that moment.
    QList<std::pair<QString, bool>> openedFolders;

    bool compositesTranslucentWindows() const override { return composites; }
    void showOnAllWorkspaces(QWidget* window) override { allWorkspaceWindows.append(window); }
    void applyStacking(QWidget*, bool alwaysOnTop) override {
        stackingRequests.append(alwaysOnTop);
    }
    void becomeAccessoryApplication() override { ++accessoryRequests; }
    bool systemTrayAvailable() const override { return trayAvailable; }
    void secondsSinceLastInput(QObject*, IdleReply reply) override { reply(idleSeconds); }
    void openFolder(const QString& dir) override {
        openedFolders.append({dir, QFileInfo(dir).isDir()});
    }
    void activateTerminal(const TerminalOrigin& origin, QObject*,
                          std::function<void(bool)> done) override {
        activations.append(origin);
        done(activationSucceeds);
    }
    bool canActivateTerminal(const TerminalOrigin&) const override { return terminalsActivatable; }
};
