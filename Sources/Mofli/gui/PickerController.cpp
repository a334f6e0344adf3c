#include "PickerController.h"

#include "PetLibrary.h"
#include "PetList.h"
#include "PetPickerWindow.h"
#include "Platform.h"
#include "Settings.h"

#include <QDir>

namespace {

std::optional<QString> currentId(const PetList& pets) {
    return pets.current() ? std::optional(pets.current()->id) : std::nullopt;
}

} // namespace

PickerController::PickerController(Platform& platform, PetList& pets, QObject* parent)
    : QObject(parent), platform_(platform), pets_(pets) {
    connect(&pets_, &PetList::petsChanged, this, &PickerController::sync);
    connect(&pets_, &PetList::currentChanged, this, &PickerController::sync);
}

PickerController::~PickerController() = default;

void PickerController::open() {
    if (!window_) {
        window_ = std::make_unique<PetPickerWindow>();
        PetPickerWindow* picker = window_.get();
        connect(picker, &PetPickerWindow::chosen, &pets_, &PetList::select);
        connect(picker, &PetPickerWindow::openUserFolderRequested, this,
                [this] { openFolder(PetLibrary::userPetsDir()); });
        connect(picker, &PetPickerWindow::openCodexFolderRequested, this,
                [this] { openFolder(PetLibrary::codexPetsDir()); });
        connect(picker, &PetPickerWindow::codexToggled, this, &PickerController::setCodexEnabled);
        connect(picker, &PetPickerWindow::reloadRequested, &pets_, &PetList::rescan);
    }
    window_->present(pets_.pets(), currentId(pets_), Settings::codexPetsEnabled());
    pets_.rediscover();
}

void PickerController::openFolder(const QString& dir) {
    // A folder that cannot be created is still handed over; the file browser says what is wrong.
    QDir().mkpath(dir);
    platform_.openFolder(dir);
}

void PickerController::setCodexEnabled(bool enabled) {
    Settings::setCodexPetsEnabled(enabled);
    pets_.rescan();
}

void PickerController::sync() {
    if (!window_ || !window_->isVisible()) {
        return;
    }
    window_->refresh(pets_.pets(), currentId(pets_), Settings::codexPetsEnabled());
}
