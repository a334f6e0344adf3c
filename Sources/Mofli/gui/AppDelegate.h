#pragma once

#include "PetList.h"

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <memory>
#include <optional>

class AvatarWindow;
class IdleMonitor;
class LinkController;
class PetPickerWindow;
class Platform;
class QAbstractButton;
class QMenu;
class QMessageBox;
class QSystemTrayIcon;
class ScheduledTimer;
class Scheduler;
class StateWatcher;
struct TerminalOrigin;

// Owns the pet window, the pet list, the tray icon with its menu and the state watcher for the
// whole run, and wires them together.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // `platform` and `scheduler` must outlive the delegate.
    AppDelegate(Platform& platform, Scheduler& scheduler, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: window, context menu hook, tray icon, pets, initial pet, watcher.
    void launch();

    AvatarWindow* window() const { return window_.get(); }
    // The tray icon's menu; also kept when the desktop has no system tray.
    QMenu* statusMenu() const { return statusMenu_.get(); }
    // False where the desktop offers no system tray; the context menu then lists the pets.
    bool hasStatusItem() const { return statusItem_ != nullptr; }
    PetList& petList() { return pets_; }
    const QList<Pet>& pets() const { return pets_.pets(); }
    const std::optional<Pet>& currentPet() const { return pets_.current(); }

    // Pet menu and selection.
    void rebuildPetMenu();
    void select(const Pet& pet);
    void reloadPetsFromMenu();

    // The pet picker: created on first use and kept, so later openings show the same window.
    // Opening it discovers the pets again but leaves the current pet alone.
    void openPetPicker();
    // Rescans as the menu does, then shows the result in the picker if there is one.
    void reloadAndRepresentPicker();
    // Creates the folder if needed, then shows it in the file browser.
    void openFolder(const QString& dir);
    PetPickerWindow* pickerWindow() const { return pickerWindow_.get(); }

    // Shows the last recap again when the user comes back after three minutes away.
    void startIdleMonitor();
    const IdleMonitor* idleMonitor() const { return idleMonitor_.get(); }

    // Context menu and its commands. The menu is built anew on every request.
    std::unique_ptr<QMenu> makeContextMenu();
    void showContextMenu(const QPoint& globalPos);
    void toggleAlwaysOnTop();
    // The status menu's "ログイン時に起動".
    void toggleStartAtLogin();
    void recenter();
    void triggerJump();
    void triggerWave();

    // The Claude Code link, run by the link controller; outcomes are reported in an alert above
    // the pet. At launch: the first link, or bringing a linked plugin up to date.
    void setupClaudeLinkIfNeeded();
    void linkPlugin();
    // Asks first.
    void unlinkPlugin();
    // `detail`, when there is one, sits behind the alert's details button.
    void showLinkInfo(const QString& text, const QString& detail = {});
    LinkController* linkController() const { return linkController_.get(); }
    // Places the alert just above the pet, inside the visible part of the pet's screen.
    void positionAboveAvatar(QMessageBox* alert);

    // menubar-icon.png from the resources (or the source tree when run from it); a drawn robot
    // face when there is none.
    static QIcon loadMenuBarIcon();

protected:
    // Keeps an alert above the pet while it settles its size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupStatusItem();
    void createStatusItem();
    void addUpdateRow(QMenu* menu);
    // Keeps an open picker in step with pets chosen or rescanned elsewhere.
    void syncPicker();
    void activateTerminal(const TerminalOrigin& origin);
    // Shows an alert modally above the pet; the button that closed it.
    QAbstractButton* runAlert(QMessageBox& alert);

    Platform& platform_;
    Scheduler& scheduler_;
    PetList pets_;
    std::unique_ptr<AvatarWindow> window_;
    // Before the tray icon, which only borrows it.
    std::unique_ptr<QMenu> statusMenu_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    // Looks for a tray that appears after launch, for a while.
    std::unique_ptr<ScheduledTimer> trayRetry_;
    std::unique_ptr<PetPickerWindow> pickerWindow_;
    // Set while the picker is being refreshed by its own command, which presents it anyway.
    bool presentingPicker_ = false;
    std::unique_ptr<IdleMonitor> idleMonitor_;
    // Last members: destroyed first, so no delivery can reach a half-destroyed delegate. The
    // link controller stops a running `claude` instead of waiting for it.
    std::unique_ptr<StateWatcher> watcher_;
    std::unique_ptr<LinkController> linkController_;
};
