#include "AppDelegate.h"

#include "AvatarWindow.h"
#include "ContextMenu.h"
#include "FreedMemory.h"
#include "LinkController.h"
#include "PetAlerts.h"
#include "PetWindowController.h"
#include "PickerController.h"
#include "Platform.h"
#include "TrayController.h"
#include "Updater.h"

AppDelegate::AppDelegate(Platform& platform, Scheduler& scheduler, QObject* parent)
    : QObject(parent), platform_(platform),
      petWindow_(std::make_unique<PetWindowController>(platform, scheduler)),
      tray_(std::make_unique<TrayController>(platform, scheduler, pets_)),
      picker_(std::make_unique<PickerController>(platform, pets_)),
      alerts_(std::make_unique<PetAlerts>(platform, *petWindow_->window())),
      link_(std::make_unique<LinkController>()) {
    // Before the first sheet is decoded: each switch of pets must give its memory back.
    FreedMemory::returnLargeBlocksAtOnce();
    contextMenu_ = std::make_unique<ContextMenu>(ContextMenu::Rows{
        *petWindow_, *picker_, *tray_, pets_, *link_, *alerts_, platform.updater()});
    connect(&pets_, &PetList::currentChanged, petWindow_.get(), &PetWindowController::showPet);
    connect(petWindow_.get(), &PetWindowController::contextMenuRequested, contextMenu_.get(),
            &ContextMenu::popUp);
    connect(tray_.get(), &TrayController::recenterRequested, petWindow_.get(),
            &PetWindowController::recenter);
    connect(link_.get(), &LinkController::report, alerts_.get(), &PetAlerts::inform);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch() {
    petWindow_->show();
    tray_->start();
    pets_.load();
    petWindow_->startWatching();
    link_->startAtLaunch();
    // Only from its bundle, where Sparkle finds its settings.
    if (platform_.updater().start()) {
        tray_->rebuildMenu();
    }
}
