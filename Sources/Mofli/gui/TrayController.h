#pragma once

#include <QIcon>
#include <QObject>
#include <memory>

class PetList;
class Platform;
class QMenu;
class QSystemTrayIcon;
class ScheduledTimer;
class Scheduler;

// The tray icon and its menu: the pets, starting at login, updates, bringing the pet back and
// quitting. Started at login, the app often comes up before the panel that holds the tray, so it
// keeps looking for a tray for two minutes.
class TrayController : public QObject {
    Q_OBJECT

public:
    // All must outlive the controller.
    TrayController(Platform& platform, Scheduler& scheduler, PetList& pets,
                   QObject* parent = nullptr);
    ~TrayController() override;

    // Shows the icon, now or once a tray appears.
    void start();
    // The menu; also kept where the desktop has no tray.
    QMenu* menu() const { return menu_.get(); }
    // False while the desktop shows no tray; the context menu then lists the pets.
    bool hasIcon() const { return icon_ != nullptr; }
    // Builds the menu anew, for a row whose state changed behind the app's back (the login item).
    void rebuildMenu();

    // menubar-icon.png from the resources (or the source tree when run from it); a drawn robot
    // face when there is none.
    static QIcon loadMenuBarIcon();

signals:
    // "前面に呼び戻す".
    void recenterRequested();

private:
    void createIcon();

    Platform& platform_;
    Scheduler& scheduler_;
    PetList& pets_;
    // Before the icon, which only borrows it.
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    // Looks for a tray that appears after launch, for a while.
    std::unique_ptr<ScheduledTimer> trayRetry_;
};
