#include "AppDelegate.h"

#include "AvatarState.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "IdleMonitor.h"
#include "LinkAlerts.h"
#include "LinkController.h"
#include "LoginItem.h"
#include "Paths.h"
#include "PetLibrary.h"
#include "PetMenu.h"
#include "PetPickerWindow.h"
#include "Platform.h"
#include "Scheduler.h"
#include "Settings.h"
#include "StateWatcher.h"
#include "TopmostPreferences.h"
#include "Updater.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>

using PetMenu::addRow;

namespace {

// How often and how long to look for a tray that was not there at launch.
constexpr double trayCheckInterval = 3.0;
constexpr int trayCheckCount = 40;

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

AppDelegate::AppDelegate(Platform& platform, Scheduler& scheduler, QObject* parent)
    : QObject(parent), platform_(platform), scheduler_(scheduler),
      linkController_(std::make_unique<LinkController>()) {
    connect(linkController_.get(), &LinkController::report, this, &AppDelegate::showLinkInfo);
    connect(&pets_, &PetList::petsChanged, this, [this] {
        rebuildPetMenu();
        syncPicker();
    });
    connect(&pets_, &PetList::currentChanged, this, [this](const Pet& pet) {
        window_->loadPet(pet);
        rebuildPetMenu();
        syncPicker();
    });
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch() {
    window_ = std::make_unique<AvatarWindow>(platform_, scheduler_);
    AvatarView* view = window_->avatarView();
    connect(view, &AvatarView::contextMenuRequested, this, &AppDelegate::showContextMenu);
    connect(view, &AvatarView::terminalActivationRequested, this, &AppDelegate::activateTerminal);
    view->setTerminalActivationCheck(
        [this](const TerminalOrigin& origin) { return platform_.canActivateTerminal(origin); });
    window_->show();
    window_->activateWindow();
    statusMenu_ = std::make_unique<QMenu>();
    setupStatusItem();
    pets_.load();
    watcher_ = std::make_unique<StateWatcher>(
        [this](const AvatarState& state) {
            // The watcher calls from its own threads; the view lives on the main thread. Queued
            // calls to a destroyed delegate are dropped by Qt.
            QMetaObject::invokeMethod(
                this,
                [this, state] {
                    window_->avatarView()->apply(state.state, state.message, state.label,
                                                 state.recap, state.isThinking(),
                                                 state.terminalOrigin());
                },
                Qt::QueuedConnection);
        },
        StateWatcher::Options{{},
                              [this](const QString& path, FileEventSource::Handler onEvent) {
                                  return platform_.watchFile(path, std::move(onEvent));
                              },
                              std::chrono::milliseconds(1000)});
    watcher_->start();
    startIdleMonitor();
    setupClaudeLinkIfNeeded();
    // Only from its bundle, where Sparkle finds its settings.
    if (platform_.updater().start()) {
        rebuildPetMenu();
    }
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
#ifdef Q_OS_MACOS
        icon.setIsMask(true);
#endif
        return icon;
    }
    return robotIcon();
}

void AppDelegate::setupStatusItem() {
    if (!platform_.systemTrayAvailable()) {
        // Started at login, the app often comes up before the panel that holds the tray. Until
        // one appears the context menu offers the pets.
        if (!trayRetry_) {
            int checksLeft = trayCheckCount;
            trayRetry_ = scheduler_.schedule(
                trayCheckInterval,
                [this, checksLeft]() mutable {
                    const bool found = platform_.systemTrayAvailable();
                    if (found) {
                        createStatusItem();
                    }
                    if (found || --checksLeft == 0) {
                        // A timer is not destroyed from inside its own handler.
                        QMetaObject::invokeMethod(
                            this, [this] { trayRetry_.reset(); }, Qt::QueuedConnection);
                    }
                },
                true);
        }
        return;
    }
    createStatusItem();
}

void AppDelegate::createStatusItem() {
    if (statusItem_) {
        return;
    }
    statusItem_ = std::make_unique<QSystemTrayIcon>(loadMenuBarIcon());
    statusItem_->setToolTip(QStringLiteral("Mofli"));
    statusItem_->setContextMenu(statusMenu_.get());
#ifndef Q_OS_MACOS
    // Most Linux panels only open the menu on a right click; a left click should open it too.
    connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    statusMenu_->popup(QCursor::pos());
                }
            });
#endif
    statusItem_->show();
}

void AppDelegate::rebuildPetMenu() {
    if (!statusMenu_) {
        return;
    }
    QMenu* menu = statusMenu_.get();
    // The row being handled right now may be one of these, so they go once control returns.
    for (QAction* action : menu->actions()) {
        menu->removeAction(action);
        action->deleteLater();
    }
    addRow(menu, QStringLiteral("キャラクター"), this);
    PetMenu::addPetSection(menu, pets_);
    // Checked when the system really has the entry, whoever made or removed it.
    QAction* atLogin =
        addRow(menu, QStringLiteral("ログイン時に起動"), this, [this] { toggleStartAtLogin(); });
    atLogin->setCheckable(true);
    atLogin->setChecked(platform_.loginItem().isEnabled());
    menu->addSeparator();
    addUpdateRow(menu);
    menu->addSeparator();
    addRow(
        menu, QStringLiteral("前面に呼び戻す"), this, [this] { recenter(); },
        QKeySequence(Qt::CTRL | Qt::Key_R));
    addRow(
        menu, QStringLiteral("終了"), this, [] { QCoreApplication::quit(); },
        QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void AppDelegate::select(const Pet& pet) {
    pets_.select(pet);
}

void AppDelegate::reloadPetsFromMenu() {
    pets_.rescan();
}

void AppDelegate::openPetPicker() {
    if (!pickerWindow_) {
        pickerWindow_ = std::make_unique<PetPickerWindow>();
    }
    const QPointer<AppDelegate> self(this);
    pickerWindow_->onSelect = [self](const Pet& pet) {
        if (self) {
            self->select(pet);
        }
    };
    pickerWindow_->onOpenUserFolder = [self] {
        if (self) {
            self->openFolder(PetLibrary::userPetsDir());
        }
    };
    pickerWindow_->onOpenCodexFolder = [self] {
        if (self) {
            self->openFolder(PetLibrary::codexPetsDir());
        }
    };
    pickerWindow_->onToggleCodex = [self](bool enabled) {
        if (self) {
            Settings::setCodexPetsEnabled(enabled);
            self->reloadAndRepresentPicker();
        }
    };
    pickerWindow_->onReload = [self] {
        if (self) {
            self->reloadAndRepresentPicker();
        }
    };
    presentingPicker_ = true;
    pets_.rediscover();
    presentingPicker_ = false;
    pickerWindow_->present(pets(), currentPet() ? std::optional(currentPet()->id) : std::nullopt,
                           Settings::codexPetsEnabled());
}

void AppDelegate::reloadAndRepresentPicker() {
    presentingPicker_ = true;
    pets_.rescan();
    presentingPicker_ = false;
    if (pickerWindow_) {
        pickerWindow_->present(pets(),
                               currentPet() ? std::optional(currentPet()->id) : std::nullopt,
                               Settings::codexPetsEnabled());
    }
}

void AppDelegate::syncPicker() {
    if (!pickerWindow_ || !pickerWindow_->isVisible() || presentingPicker_) {
        return;
    }
    const std::optional<QString> currentId =
        currentPet() ? std::optional(currentPet()->id) : std::nullopt;
    if (pickerWindow_->pets() != pets() || pickerWindow_->selectedId() != currentId) {
        pickerWindow_->refresh(pets(), currentId, Settings::codexPetsEnabled());
    }
}

void AppDelegate::openFolder(const QString& dir) {
    // A folder that cannot be created is still handed over; the file browser says what is wrong.
    QDir().mkpath(dir);
    platform_.openFolder(dir);
}

void AppDelegate::startIdleMonitor() {
    idleMonitor_ = std::make_unique<IdleMonitor>(
        scheduler_,
        [this](IdleMonitor::IdleReply reply) {
            platform_.secondsSinceLastInput(this, std::move(reply));
        },
        [this] { window_->replayRecap(); });
    idleMonitor_->start();
}

std::unique_ptr<QMenu> AppDelegate::makeContextMenu() {
    auto menu = std::make_unique<QMenu>();
    addRow(menu.get(), QStringLiteral("外観設定…"), this, [this] { openPetPicker(); });
    if (!statusItem_) {
        // Without a system tray the pet list has no other home.
        QMenu* pets = menu->addMenu(QStringLiteral("キャラクター"));
        PetMenu::addPetSection(pets, pets_);
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
    addRow(link, QStringLiteral("連携する（インストール）"), this, [this] { linkPlugin(); });
    addRow(link, QStringLiteral("連携を解除（アンインストール）"), this,
           [this] { unlinkPlugin(); });
    menu->addSeparator();
    addUpdateRow(menu.get());
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("閉じる"), this, [] { QCoreApplication::quit(); });
    return menu;
}

void AppDelegate::showContextMenu(const QPoint& globalPos) {
    makeContextMenu()->exec(globalPos);
}

void AppDelegate::activateTerminal(const TerminalOrigin& origin) {
    platform_.activateTerminal(origin, this, [this](bool activated) {
        if (!activated) {
            triggerJump();
        }
    });
}

void AppDelegate::addUpdateRow(QMenu* menu) {
    // Visible but disabled where the app cannot update itself.
    addRow(menu, QStringLiteral("アップデートを確認…"), this,
           platform_.updater().isAvailable()
               ? std::function<void()>([this] { platform_.updater().checkForUpdates(); })
               : std::function<void()>());
}

void AppDelegate::toggleStartAtLogin() {
    platform_.loginItem().setEnabled(!platform_.loginItem().isEnabled());
    rebuildPetMenu();
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

void AppDelegate::setupClaudeLinkIfNeeded() {
    linkController_->startAtLaunch();
}

void AppDelegate::linkPlugin() {
    linkController_->link();
}

void AppDelegate::unlinkPlugin() {
    QAbstractButton* confirm = nullptr;
    const std::unique_ptr<QMessageBox> question = LinkAlerts::unlinkConfirmation(confirm);
    if (runAlert(*question) != confirm) {
        return;
    }
    linkController_->unlink();
}

void AppDelegate::showLinkInfo(const QString& text, const QString& detail) {
    const std::unique_ptr<QMessageBox> alert = LinkAlerts::info(text, detail);
    runAlert(*alert);
}

QAbstractButton* AppDelegate::runAlert(QMessageBox& alert) {
    positionAboveAvatar(&alert);
    // A message box settles its size only once shown; it is placed again whenever that changes.
    alert.installEventFilter(this);
    alert.exec();
    return alert.clickedButton();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (auto* alert = qobject_cast<QMessageBox*>(watched)) {
        if (event->type() == QEvent::Resize) {
            positionAboveAvatar(alert);
        } else if (event->type() == QEvent::Show) {
            positionAboveAvatar(alert);
            alert->activateWindow();
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::positionAboveAvatar(QMessageBox* alert) {
    if (!window_) {
        return;
    }
    const QSize size = alert->isVisible() ? alert->frameGeometry().size()
                                          : alert->size().expandedTo(alert->sizeHint());
    const QScreen* screen =
        window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    std::optional<QRectF> visible;
    if (screen) {
        visible = QRectF(screen->availableGeometry());
    }
    const QPointF origin =
        WindowPlacement::alertOrigin(QRectF(window_->frameGeometry()), QSizeF(size), visible);
    alert->move(origin.toPoint());
}
