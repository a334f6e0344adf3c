#include "PetList.h"

#include "PetLibrary.h"
#include "Settings.h"

#include <algorithm>

PetList::PetList(QObject* parent) : QObject(parent) {
}

void PetList::load() {
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
    rediscover();
    if (!current_ || pets_.isEmpty()) {
        return;
    }
    const bool stillThere = std::any_of(pets_.cbegin(), pets_.cend(),
                                        [&](const Pet& pet) { return pet.id == current_->id; });
    if (!stillThere) {
        select(pets_.first());
    }
}

void PetList::rediscover() {
    pets_ = PetLibrary::discover();
    emit petsChanged();
}

void PetList::select(const Pet& pet) {
    current_ = pet;
    Settings::setSelectedPetId(pet.id);
    emit currentChanged(pet);
}
