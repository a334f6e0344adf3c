#include "PetMenu.h"

#include "PetList.h"
#include "Updater.h"

#include <QAction>
#include <QMenu>

namespace PetMenu {

namespace {

QString literal(QString title) {
    return title.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

QAction* addRow(QMenu* menu, const QString& title, QObject* context, std::function<void()> handler,
                const QKeySequence& shortcut) {
    QAction* action = menu->addAction(literal(title));
    action->setShortcut(shortcut);
    if (handler) {
        QObject::connect(action, &QAction::triggered, context, std::move(handler));
    } else {
        action->setEnabled(false);
    }
    return action;
}

void addPetRows(QMenu* menu, PetList& pets) {
    if (pets.pets().isEmpty()) {
        addRow(menu, QStringLiteral("  (~/.codex/pets/ にペット未登録)"), &pets);
        return;
    }
    const std::optional<Pet>& current = pets.current();
    for (qsizetype i = 0; i < pets.pets().size(); ++i) {
        const Pet pet = pets.pets()[i];
        const QKeySequence shortcut =
            i < 9 ? QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)) : QKeySequence();
        QAction* action = addRow(
            menu, pet.displayName, &pets, [&pets, pet] { pets.select(pet); }, shortcut);
        action->setCheckable(true);
        action->setChecked(current && current->id == pet.id);
    }
}

void addPetSection(QMenu* menu, PetList& pets) {
    addPetRows(menu, pets);
    menu->addSeparator();
    addRow(menu, QStringLiteral("キャラ一覧を再スキャン"), &pets, [&pets] { pets.rescan(); });
}

void addUpdateRow(QMenu* menu, Updater& updater, QObject* context) {
    addRow(menu, QStringLiteral("アップデートを確認…"), context,
           updater.isAvailable() ? std::function<void()>([&updater] { updater.checkForUpdates(); })
                                 : std::function<void()>());
}

} // namespace PetMenu
