#pragma once

#include "Pet.h"

#include <QList>
#include <QObject>
#include <optional>

// The pets found on disk and the one the pet window shows. Menus and the picker read it; the
// choice is remembered across launches.
class PetList : public QObject {
    Q_OBJECT

public:
    explicit PetList(QObject* parent = nullptr);

    const QList<Pet>& pets() const { return pets_; }
    const std::optional<Pet>& current() const { return current_; }

    // Discovers the pets and selects the remembered one, else the first; none when there are no
    // pets at all.
    void load();
    // Discovers the pets again. The current pet stays while its id is still found; otherwise the
    // first pet takes its place.
    void rescan();
    // Discovers the pets again and leaves the current pet as it is, even when it is gone.
    void rediscover();
    // Makes `pet` current and remembers the choice.
    void select(const Pet& pet);

signals:
    void petsChanged();
    // Also emitted when the same pet is chosen again, so that its sheet is read anew.
    void currentChanged(const Pet& pet);

private:
    QList<Pet> pets_;
    std::optional<Pet> current_;
};
