#pragma once

#include "Pet.h"

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <optional>

// The pets found on disk and the one the pet window shows. Menus and the picker read it; the
// choice is remembered across launches. Looking at the disk again runs off the calling thread: a
// pet folder may be slow to list, and there may be hundreds of pets.
class PetList : public QObject {
    Q_OBJECT

public:
    explicit PetList(QObject* parent = nullptr);
    // Waits for a discovery still running.
    ~PetList() override;

    const QList<Pet>& pets() const { return pets_; }
    const std::optional<Pet>& current() const { return current_; }

    // Discovers the pets on the calling thread and selects the remembered one, else the first;
    // none when there are no pets at all. For launch, before anything is shown.
    void load();
    // Discovers the pets again in the background. When they arrive, the current pet stays while
    // its id is still found; otherwise the first pet takes its place.
    void rescan();
    // Discovers the pets again in the background and leaves the current pet as it is, even when
    // it is gone.
    void rediscover();
    // Makes `pet` current and remembers the choice.
    void select(const Pet& pet);
    // Whether a discovery has been asked for and its pets have not arrived yet.
    bool isDiscovering() const { return pending_.has_value(); }

signals:
    // After every discovery, also when it found the same pets.
    void petsChanged();
    // Also emitted when the same pet is chosen again, so that its sheet is read anew.
    void currentChanged(const Pet& pet);

private:
    void discover(bool keepCurrentValid);
    void adopt(QList<Pet> pets, bool keepCurrentValid);

    QList<Pet> pets_;
    std::optional<Pet> current_;
    // The latest discovery asked for; older ones that arrive later are dropped.
    quint64 latest_ = 0;
    // What the discoveries asked for since the last arrival want done with the current pet.
    std::optional<bool> pending_;
    // Last member: destroyed first, waiting for a discovery that still reports to this object.
    QThreadPool thread_;
};
