#include "AppDelegate.h"

#include "AvatarState.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "Paths.h"
#include "PetLibrary.h"
#include "StateWatcher.h"
#include "TopmostPreferences.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <QSystemTrayIcon>

namespace {

const QString selectedPetKey = QStringLiteral("selectedPetId");

QAction* addRow(QMenu* menu, const QString& title, QObject* context,
                std::function<void()> handler = {}, const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(title);
    action->setShortcut(shortcut);
    if (handler) {
        QObject::connect(action, &QAction::triggered, context, std::move(handler));
    } else {
        // Commands that arrive with later work: visible, so the menu keeps its shape.
        action->setEnabled(false);
    }
    return action;
}

QIcon robotIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font;
    font.setPixelSize(52);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("🤖"));
    return QIcon(pixmap);
}

} // namespace

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {
}

AppDelegate::~AppDelegate() {
    watcher_.reset();
    delete statusMenu_;
}

void AppDelegate::launch() {
    window_ = std::make_unique<AvatarWindow>();
    window_->avatarView()->onRequestContextMenu = [this](const QPoint& globalPos) {
        showContextMenu(globalPos);
    };
    window_->show();
    window_->activateWindow();
    setupStatusItem();
    pets_ = PetLibrary::discover();
    rebuildPetMenu();
    loadInitialPet();
    watcher_ = std::make_unique<StateWatcher>([this](const AvatarState& state) {
        // The watcher calls from its own threads; the view lives on the main thread. Queued
        // calls to a destroyed delegate are dropped by Qt.
        QMetaObject::invokeMethod(
            this,
            [this, state] {
                window_->avatarView()->apply(state.state, state.message, state.label, state.recap,
                                             state.isThinking(), state.terminalOrigin());
            },
            Qt::QueuedConnection);
    });
    watcher_->start();
}

QIcon AppDelegate::loadMenuBarIcon() {
    QStringList candidates;
    if (const auto resources = Paths::resourceDir()) {
        candidates.append(QDir(*resources).filePath(QStringLiteral("menubar-icon.png")));
    }
    candidates.append(QDir::current().filePath(QStringLiteral("app/Resources/menubar-icon.png")));
    candidates.append(QDir::current().filePath(QStringLiteral("Resources/menubar-icon.png")));
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path)) {
            continue;
        }
        const QImage image(path);
        if (image.isNull()) {
            break;
        }
        QIcon icon(QPixmap::fromImage(image));
#ifdef __APPLE__
        icon.setIsMask(true);
#endif
        return icon;
    }
    return robotIcon();
}

void AppDelegate::setupStatusItem() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    statusItem_ = std::make_unique<QSystemTrayIcon>(loadMenuBarIcon());
    statusItem_->setToolTip(QStringLiteral("Mofli"));
#ifndef __APPLE__
    // Most Linux panels only open the menu on a right click; a left click should open it too.
    connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && statusMenu_) {
                    statusMenu_->popup(QCursor::pos());
                }
            });
#endif
    statusItem_->show();
}

void AppDelegate::addPetRows(QMenu* menu) {
    if (pets_.isEmpty()) {
        addRow(menu, QStringLiteral("  (~/.codex/pets/ にペット未登録)"), this);
        return;
    }
    for (qsizetype i = 0; i < pets_.size(); ++i) {
        const Pet& pet = pets_[i];
        const QKeySequence shortcut =
            i < 9 ? QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)) : QKeySequence();
        QAction* action = menu->addAction(pet.displayName);
        action->setShortcut(shortcut);
        action->setCheckable(true);
        action->setChecked(currentPet_ && currentPet_->id == pet.id);
        action->setData(QVariant::fromValue(pet));
        connect(action, &QAction::triggered, this, [this, action] { selectPetFromMenu(action); });
    }
}

void AppDelegate::rebuildPetMenu() {
    auto* menu = new QMenu;
    addRow(menu, QStringLiteral("キャラクター"), this);
    addPetRows(menu);
    menu->addSeparator();
    addRow(menu, QStringLiteral("キャラ一覧を再スキャン"), this, [this] { reloadPetsFromMenu(); });
    menu->addSeparator();
    addRow(menu, QStringLiteral("アップデートを確認…"), this);
    menu->addSeparator();
    addRow(
        menu, QStringLiteral("前面に呼び戻す"), this, [this] { recenter(); },
        QKeySequence(Qt::CTRL | Qt::Key_R));
    addRow(
        menu, QStringLiteral("終了"), this, [] { QCoreApplication::quit(); },
        QKeySequence(Qt::CTRL | Qt::Key_Q));
    if (statusItem_) {
        statusItem_->setContextMenu(menu);
    }
    // The old menu may be the one whose row is being handled right now.
    if (statusMenu_) {
        statusMenu_->deleteLater();
    }
    statusMenu_ = menu;
}

void AppDelegate::select(const Pet& pet) {
    currentPet_ = pet;
    QSettings().setValue(selectedPetKey, pet.id);
    window_->loadPet(pet);
    rebuildPetMenu();
}

void AppDelegate::selectPetFromMenu(QAction* action) {
    const QVariant data = action ? action->data() : QVariant();
    if (data.metaType() == QMetaType::fromType<Pet>()) {
        select(data.value<Pet>());
    }
}

void AppDelegate::reloadPetsFromMenu() {
    pets_ = PetLibrary::discover();
    rebuildPetMenu();
    if (!currentPet_ || pets_.isEmpty()) {
        return;
    }
    const bool stillThere = std::any_of(pets_.cbegin(), pets_.cend(),
                                        [&](const Pet& pet) { return pet.id == currentPet_->id; });
    if (!stillThere) {
        select(pets_.first());
    }
}

void AppDelegate::loadInitialPet() {
    const QString stored = QSettings().value(selectedPetKey).toString();
    auto chosen = std::find_if(pets_.cbegin(), pets_.cend(), [&](const Pet& pet) {
        return !stored.isNull() && pet.id == stored;
    });
    if (chosen == pets_.cend()) {
        chosen = pets_.cbegin();
    }
    if (chosen != pets_.cend()) {
        select(*chosen);
    }
}

std::unique_ptr<QMenu> AppDelegate::makeContextMenu() {
    auto menu = std::make_unique<QMenu>();
    addRow(menu.get(), QStringLiteral("外観設定…"), this);
    if (!statusItem_) {
        // Without a system tray the pet list has no other home.
        QMenu* pets = menu->addMenu(QStringLiteral("キャラクター"));
        addPetRows(pets);
        pets->addSeparator();
        addRow(pets, QStringLiteral("キャラ一覧を再スキャン"), this,
               [this] { reloadPetsFromMenu(); });
    }
    QAction* onTop = addRow(menu.get(), QStringLiteral("常に最前面に表示"), this,
                            [this] { toggleAlwaysOnTop(); });
    onTop->setCheckable(true);
    onTop->setChecked(window_->isAlwaysOnTop());
    addRow(menu.get(), QStringLiteral("前面に呼び戻す"), this, [this] { recenter(); });
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("ジャンプ✨"), this, [this] { triggerJump(); });
    addRow(menu.get(), QStringLiteral("手を振る👋"), this, [this] { triggerWave(); });
    menu->addSeparator();
    QMenu* link = menu->addMenu(QStringLiteral("Claude Code 連携"));
    addRow(link, QStringLiteral("連携する（インストール）"), this);
    addRow(link, QStringLiteral("連携を解除（アンインストール）"), this);
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("アップデートを確認…"), this);
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("閉じる"), this, [] { QCoreApplication::quit(); });
    return menu;
}

void AppDelegate::showContextMenu(const QPoint& globalPos) {
    makeContextMenu()->exec(globalPos);
}

void AppDelegate::toggleAlwaysOnTop() {
    const bool onTop = !window_->isAlwaysOnTop();
    TopmostPreferences::setEnabled(onTop);
    window_->setAlwaysOnTop(onTop);
}

void AppDelegate::recenter() {
    window_->moveHome();
}

void AppDelegate::triggerJump() {
    window_->avatarView()->playJump();
}

void AppDelegate::triggerWave() {
    window_->avatarView()->playWave();
}
