#pragma once

#include "LoginItem.h"
#include "Platform.h"
#include "TerminalOrigin.h"
#include "Updater.h"

#include <QFileInfo>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <optional>
#include <utility>

// Stands in for the desktop in offscreen tests and records what the app asked of it. Nothing of
// the system is touched: no autostart entry or login item, no updater, no file notifications
// (the state watcher polls).
class FakePlatform final : public Platform {
public:
    // A login item that only remembers; `registered` may be changed behind the app's back.
    struct FakeLoginItem final : LoginItem {
        Availability availableAs = Availability::Available;
        bool registered = false;
        bool approvalPending = false;
        Availability availability() const override { return availableAs; }
        bool isEnabled() const override { return registered; }
        bool awaitsApproval() const override { return registered && approvalPending; }
        bool setEnabled(bool enabled) override {
            registered = enabled;
            return true;
        }
    };
    // An updater that counts what it was asked; `available` decides whether it can check.
    struct FakeUpdater final : Updater {
        bool available = false;
        int starts = 0;
        int checks = 0;
        bool start() override {
            ++starts;
            return available;
        }
        bool isAvailable() const override { return available; }
        void checkForUpdates() override { ++checks; }
    };

    bool composites = true;
    // Offscreen Qt has no tray; tests choose.
    bool trayAvailable = false;
    QList<QPointer<QWindow>> allWorkspaceWindows;
    // The always-on-top value of each stacking request, in order.
    QList<bool> stackingRequests;
    int accessoryRequests = 0;
    // The windows the app asked to put in front of every other application's.
    QList<QPointer<QWidget>> broughtForward;
    // Terminal activation: what it answers, and the origins it was asked to bring forward.
    bool terminalsActivatable = true;
    bool activationSucceeds = true;
    QList<TerminalOrigin> activations;
    // What the idle monitor reads; nothing stands for a desktop that does not tell.
    std::optional<double> idleSeconds;
    // The folders the app asked to show, each with whether it existed at that moment.
    QList<std::pair<QString, bool>> openedFolders;
    // Where file events come from; none: files are polled only.
    FileEventSource::Factory fileEvents;
    FakeLoginItem login;
    FakeUpdater updates;

    bool compositesTranslucentWindows() const override { return composites; }
    void showOnAllWorkspaces(QWindow* window) override { allWorkspaceWindows.append(window); }
    void applyStacking(QWindow*, bool alwaysOnTop) override {
        stackingRequests.append(alwaysOnTop);
    }
    void becomeAccessoryApplication() override { ++accessoryRequests; }
    void bringForward(QWidget* window) override { broughtForward.append(window); }
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
    LoginItem& loginItem() override { return login; }
    Updater& updater() override { return updates; }
    std::unique_ptr<FileEventSource> watchFile(const QString& path,
                                               FileEventSource::Handler onEvent) override {
        return fileEvents ? fileEvents(path, std::move(onEvent)) : nullptr;
    }
};
