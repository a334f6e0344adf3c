#pragma once

#include "PetList.h"

#include <QObject>
#include <memory>

class ContextMenu;
class LinkController;
class PetAlerts;
class PetWindowController;
class PickerController;
class Platform;
class Scheduler;
class TrayController;

// Makes the app's parts, wires them together and launches them in order. Each part does one
// job: the pet window with what it shows, the tray icon with its menu, the picker, the link into
// Claude Code, the alerts above the pet and the context menu; the pet list is what they share.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // `platform` and `scheduler` must outlive the delegate.
    AppDelegate(Platform& platform, Scheduler& scheduler, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: the pet window, the tray, the pets and the initial pet, the state
    // watcher and the idle monitor, the link into Claude Code, the updater.
    void launch();

    PetList& petList() { return pets_; }
    PetWindowController& petWindow() const { return *petWindow_; }
    TrayController& tray() const { return *tray_; }
    PickerController& picker() const { return *picker_; }
    ContextMenu& contextMenu() const { return *contextMenu_; }

private:
    Platform& platform_;
    PetList pets_;
    std::unique_ptr<PetWindowController> petWindow_;
    std::unique_ptr<TrayController> tray_;
    std::unique_ptr<PickerController> picker_;
    std::unique_ptr<PetAlerts> alerts_;
    std::unique_ptr<ContextMenu> contextMenu_;
    // Last: destroyed first. It stops a running `claude` instead of waiting for it.
    std::unique_ptr<LinkController> link_;
};
