#pragma once

#include <QKeySequence>
#include <QString>
#include <functional>

class PetList;
class QAction;
class Updater;
class QMenu;
class QObject;

// Rows that the tray menu and the pet's context menu share.
namespace PetMenu {

// A row whose title is shown literally ("R&D" stays "R&D" instead of becoming a mnemonic).
// Without a handler the row is shown disabled.
QAction* addRow(QMenu* menu, const QString& title, QObject* context,
                std::function<void()> handler = {}, const QKeySequence& shortcut = {});

// One checkable row per pet (⌃1…⌃9 for the first nine), the current one checked, or a disabled
// hint when there are none. Choosing a row selects its pet in `pets`.
void addPetRows(QMenu* menu, PetList& pets);

// The pet rows, a separator and the row that looks for pets again.
void addPetSection(QMenu* menu, PetList& pets);

// "アップデートを確認…", disabled where the app cannot update itself.
void addUpdateRow(QMenu* menu, Updater& updater, QObject* context);

} // namespace PetMenu
