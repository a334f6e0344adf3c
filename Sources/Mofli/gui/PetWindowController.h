#pragma once

#include "AvatarState.h"
#include "SessionRecord.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <memory>
#include <optional>

class AvatarWindow;
class IdleMonitor;
class Platform;
class Scheduler;
class SessionTracker;
struct Pet;
struct TerminalOrigin;

// The pet window and what it shows: the chosen pet, the state of the Claude Code session that
// needs the user most, the number of live sessions and whose state it is while there are several,
// the greeting with the recap of the session that finished last after a break, and the commands
// that act on the pet (always on top, back to its corner, jump, wave, bringing a session's
// terminal forward). Everything the pet learns about Claude Code comes in through apply().
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
    // Follows the Claude Code sessions from now on, showing what they say now first, and greets
    // the user after a break.
    void startWatching();
    // Shows one state of Claude Code, of the session that is first among the live ones when there
    // are any. GUI thread only.
    void apply(const AvatarState& state);
    // The live sessions, the shown one first; none before startWatching().
    QList<SessionRecord> sessions() const;
    // Loads the pet's sprite sheet; the pet on screen stays until it is ready.
    void showPet(const Pet& pet);

    // The menus' commands.
    void toggleAlwaysOnTop();
    void recenter();
    void jump();
    void wave();
    // Brings the terminal of a session forward; the pet jumps when that cannot be done.
    void activateTerminal(const TerminalOrigin& origin);

signals:
    // Right click on the pet, at this global position.
    void contextMenuRequested(const QPoint& globalPos);

private:
    void showSessions(const QList<SessionRecord>& sessions);
    // The shown session's project while several sessions run, else empty.
    QString shownProject() const;

    Platform& platform_;
    Scheduler& scheduler_;
    std::unique_ptr<AvatarWindow> window_;
    std::unique_ptr<IdleMonitor> idleMonitor_;
    AvatarState shown_;
    std::optional<QString> shownLabel_;
    // Last: destroyed first, so that no delivery reaches a half-destroyed controller.
    std::unique_ptr<SessionTracker> tracker_;
};
