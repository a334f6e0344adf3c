#pragma once

#include <QObject>
#include <QPoint>
#include <memory>

class AvatarWindow;
class IdleMonitor;
class Platform;
class Scheduler;
class StateWatcher;
struct AvatarState;
struct Pet;
struct TerminalOrigin;

// The pet window and what it shows: the chosen pet, every state of Claude Code, the greeting with
// the last recap after a break, and the commands that act on the pet (always on top, back to its
// corner, jump, wave, a click on the bubble that brings the terminal forward). Everything the pet
// learns about Claude Code comes in through apply().
class PetWindowController : public QObject {
    Q_OBJECT

public:
    // Creates the window, not yet shown. `platform` and `scheduler` must outlive the controller.
    PetWindowController(Platform& platform, Scheduler& scheduler, QObject* parent = nullptr);
    ~PetWindowController() override;

    AvatarWindow* window() const { return window_.get(); }
    const IdleMonitor* idleMonitor() const { return idleMonitor_.get(); }

    // Brings the window to the front.
    void show();
    // Delivers every state the hook writes to the state file from now on, the current one first,
    // and greets the user after a break.
    void startWatching();
    // Shows one state of Claude Code. GUI thread only.
    void apply(const AvatarState& state);
    // Loads the pet's sprite sheet; the pet on screen stays until it is ready.
    void showPet(const Pet& pet);

    // The menus' commands.
    void toggleAlwaysOnTop();
    void recenter();
    void jump();
    void wave();

signals:
    // Right click on the pet, at this global position.
    void contextMenuRequested(const QPoint& globalPos);

private:
    void activateTerminal(const TerminalOrigin& origin);

    Platform& platform_;
    Scheduler& scheduler_;
    std::unique_ptr<AvatarWindow> window_;
    std::unique_ptr<IdleMonitor> idleMonitor_;
    // Last: destroyed first, so that no delivery reaches a half-destroyed controller.
    std::unique_ptr<StateWatcher> watcher_;
};
