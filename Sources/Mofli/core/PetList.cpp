#include "PetList.h"

#include "PetLibrary.h"
#include "Settings.h"

#include <algorithm>

PetList::PetList(QObject* parent) : QObject(parent) {
    // One discovery at a time; a newer one replaces what an older one found.
    thread_.setMaxThreadCount(1);
}

PetList::~PetList() {
    thread_.clear();
    thread_.waitForDone();
}

void PetList::load() {
    ++latest_;
    pending_.reset();
    pets_ = PetLibrary::discover();
    emit petsChanged();
    const std::optional<QString> stored = Settings::selectedPetId();
    auto chosen = std::find_if(pets_.cbegin(), pets_.cend(),
                               [&](const Pet& pet) { return stored && pet.id == *stored; });
    if (chosen == pets_.cend()) {
        chosen = pets_.cbegin();
    }
    if (chosen != pets_.cend()) {
        select(*chosen);
    }
}

void PetList::rescan() {
    discover(true);
}

void PetList::rediscover() {
    discover(false);
}

void PetList::discover(bool keepCurrentValid) {
    // A rescan asked for while a plain rediscovery is on its way still keeps the current pet
    // valid once the pets arrive.
    pending_ = pending_.value_or(false) || keepCurrentValid;
    const quint64 ticket = ++latest_;
    thread_.start([this, ticket] {
        QList<Pet> found = PetLibrary::discover();
        QMetaObject::invokeMethod(
            this,
            [this, ticket, found = std::move(found)]() mutable {
                if (ticket == latest_) {
                    const bool keep = pending_.value_or(false);
                    pending_.reset();
                    adopt(std::move(found), keep);
                }
            },
            Qt::QueuedConnection);
    });
}

void PetList::adopt(QList<Pet> pets, bool keepCurrentValid) {
    pets_ = std::move(pets);
    emit petsChanged();
    if (!keepCurrentValid || !current_ || pets_.isEmpty()) {
        return;
    }
    const bool stillThere = std::any_of(pets_.cbegin(), pets_.cend(),
                                        [&](const Pet& pet) { return pet.id == current_->id; });
    if (!stillThere) {
        select(pets_.first());
    }
}

void PetList::select(const Pet& pet) {
    current_ = pet;
    Settings::setSelectedPetId(pet.id);
    emit currentChanged(pet);
}
