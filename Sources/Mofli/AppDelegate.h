#pragma once

#include "Pet.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <memory>
#include <optional>

class AvatarWindow;
class QAction;
class QMenu;
class QSystemTrayIcon;
class StateWatcher;

// Owns the pet window, the tray icon with its pet menu and the state watcher for the whole run,
// and wires them together.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: window, context menu hook, tray icon, pets, initial pet, watcher.
    void launch();

    AvatarWindow* window() const { return window_.get(); }
    // The tray icon's menu; also kept when the desktop has no system tray.
    QMenu* statusMenu() const { return statusMenu_; }
    // False where the desktop offers no system tray; the context menu then lists the pets.
    bool hasStatusItem() const { return statusItem_ != nullptr; }
    const QList<Pet>& pets() const { return pets_; }
    const std::optional<Pet>& currentPet() const { return currentPet_; }

    // Pet menu and selection.
    void rebuildPetMenu();
    void select(const Pet& pet);
    void selectPetFromMenu(QAction* action);
    void reloadPetsFromMenu();

    // Context menu and its commands. The menu is built anew on every request.
    std::unique_ptr<QMenu> makeContextMenu();
    void showContextMenu(const QPoint& globalPos);
    void toggleAlwaysOnTop();
    void recenter();
    void triggerJump();
    void triggerWave();

    // menubar-icon.png from the resources (or the source tree when run from it); a drawn robot
    // face when there is none.
    static QIcon loadMenuBarIcon();

private:
    void setupStatusItem();
    void loadInitialPet();
    void addPetRows(QMenu* menu);

    std::unique_ptr<AvatarWindow> window_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    QMenu* statusMenu_ = nullptr;
    QList<Pet> pets_;
    std::optional<Pet> currentPet_;
    // Last member: destroyed first, so no delivery can reach a half-destroyed delegate.
    std::unique_ptr<StateWatcher> watcher_;
};
