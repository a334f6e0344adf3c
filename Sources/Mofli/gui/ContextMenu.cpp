#include "ContextMenu.h"

#include "AvatarWindow.h"
#include "LinkController.h"
#include "PetAlerts.h"
#include "PetMenu.h"
#include "PetTexts.h"
#include "PetWindowController.h"
#include "PickerController.h"
#include "TrayController.h"

#include <QCoreApplication>
#include <QMenu>

using PetMenu::addRow;

ContextMenu::ContextMenu(Rows rows, QObject* parent) : QObject(parent), rows_(rows) {
}

std::unique_ptr<QMenu> ContextMenu::make() {
    auto menu = std::make_unique<QMenu>();
    PetWindowController& pet = rows_.pet;
    addRow(menu.get(), QStringLiteral("外観設定…"), this, [this] { rows_.picker.open(); });
    if (!rows_.tray.hasIcon()) {
        // Without a tray the pet list has no other home.
        PetMenu::addPetSection(menu->addMenu(QStringLiteral("キャラクター")), rows_.pets);
    }
    QAction* onTop = addRow(menu.get(), QStringLiteral("常に最前面に表示"), this,
                            [&pet] { pet.toggleAlwaysOnTop(); });
    onTop->setCheckable(true);
    onTop->setChecked(pet.window()->isAlwaysOnTop());
    addRow(menu.get(), QStringLiteral("前面に呼び戻す"), this, [&pet] { pet.recenter(); });
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("ジャンプ✨"), this, [&pet] { pet.jump(); });
    addRow(menu.get(), QStringLiteral("手を振る👋"), this, [&pet] { pet.wave(); });
    menu->addSeparator();
    QMenu* link = menu->addMenu(QStringLiteral("Claude Code 連携"));
    addRow(link, QStringLiteral("連携する（インストール）"), this, [this] { rows_.link.link(); });
    addRow(link, QStringLiteral("連携を解除（アンインストール）"), this, [this] {
        if (rows_.alerts.confirmUnlink()) {
            rows_.link.unlink();
        }
    });
    addSessionRows(menu->addMenu(QStringLiteral("セッション")));
    menu->addSeparator();
    PetMenu::addUpdateRow(menu.get(), rows_.updater, this);
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("閉じる"), this, [] { QCoreApplication::quit(); });
    return menu;
}

void ContextMenu::addSessionRows(QMenu* menu) {
    const QList<SessionRecord> sessions = rows_.pet.sessions();
    // Nothing to choose while no session runs; one session gets its row too, to find its
    // terminal from here.
    menu->setEnabled(!sessions.isEmpty());
    for (const SessionRecord& session : sessions) {
        const std::optional<TerminalOrigin> origin = session.state.terminalOrigin();
        QAction* row = addRow(menu, PetTexts::sessionRow(session), this, [this, origin] {
            if (origin) {
                rows_.pet.activateTerminal(*origin);
            }
        });
        row->setEnabled(origin.has_value());
    }
}

void ContextMenu::popUp(const QPoint& globalPos) {
    make()->exec(globalPos);
}
