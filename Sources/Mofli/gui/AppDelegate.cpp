#include "AppDelegate.h"

#include "AvatarState.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "FileEventSources.h"
#include "LinkAlerts.h"
#include "MofliLinkManager.h"
#include "Paths.h"
#include "PetMenu.h"
#include "Platform.h"
#include "Settings.h"
#include "StateWatcher.h"
#include "TopmostPreferences.h"
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
#include <QScreen>
#include <QSystemTrayIcon>

using PetMenu::addRow;

namespace {

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
    : QObject(parent), platform_(platform), scheduler_(scheduler) {
    // Two copies or removals of the installed plugin folder must never overlap.
    linkThread_.setMaxThreadCount(1);
    connect(&pets_, &PetList::petsChanged, this, &AppDelegate::rebuildPetMenu);
    connect(&pets_, &PetList::currentChanged, this, [this](const Pet& pet) {
        window_->loadPet(pet);
        rebuildPetMenu();
    });
}

AppDelegate::~AppDelegate() {
    // A link still running reports to this object; it must end first.
    linkThread_.clear();
    linkThread_.waitForDone();
}

void AppDelegate::launch() {
    window_ = std::make_unique<AvatarWindow>(platform_, scheduler_);
    AvatarView* view = window_->avatarView();
    connect(view, &AvatarView::contextMenuRequested, this, &AppDelegate::showContextMenu);
    connect(view, &AvatarView::terminalActivationRequested, this, &AppDelegate::activateTerminal);
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
        StateWatcher::Options{{}, FileEventSources::create, std::chrono::milliseconds(1000)});
    watcher_->start();
    setupClaudeLinkIfNeeded();
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
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
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
    menu->addSeparator();
    addRow(menu, QStringLiteral("アップデートを確認…"), this);
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

std::unique_ptr<QMenu> AppDelegate::makeContextMenu() {
    auto menu = std::make_unique<QMenu>();
    addRow(menu.get(), QStringLiteral("外観設定…"), this);
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
    addRow(menu.get(), QStringLiteral("アップデートを確認…"), this);
    menu->addSeparator();
    addRow(menu.get(), QStringLiteral("閉じる"), this, [] { QCoreApplication::quit(); });
    return menu;
}

void AppDelegate::showContextMenu(const QPoint& globalPos) {
    makeContextMenu()->exec(globalPos);
}

void AppDelegate::activateTerminal(const TerminalOrigin&) {
    // Nothing brings a terminal forward yet; the pet answers the click instead.
    triggerJump();
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

template <typename Work, typename Done> void AppDelegate::inLinkThread(Work work, Done done) {
    linkThread_.start([this, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            this, [done = std::move(done), result = std::move(result)]() mutable { done(result); },
            Qt::QueuedConnection);
    });
}

void AppDelegate::setupClaudeLinkIfNeeded() {
    if (Settings::didAttemptInitialLink()) {
        return;
    }
    enum class Outcome { noTool, alreadyLinked, linked, failed };
    inLinkThread(
        [] {
            if (!MofliLinkManager::claudePath()) {
                return Outcome::noTool;
            }
            if (MofliLinkManager::isLinked()) {
                return Outcome::alreadyLinked;
            }
            return MofliLinkManager::link() ? Outcome::failed : Outcome::linked;
        },
        [this](Outcome outcome) {
            // Without a tool the next launch tries again; otherwise the attempt is settled.
            if (outcome == Outcome::noTool) {
                return;
            }
            Settings::setDidAttemptInitialLink(true);
            // A failure stays quiet: the menu links on request and says why it cannot.
            if (outcome == Outcome::linked) {
                showLinkInfo(LinkAlerts::firstLinkText());
            }
        });
}

void AppDelegate::linkPlugin() {
    inLinkThread(
        [] {
            const std::optional<LinkError> error = MofliLinkManager::link();
            return LinkAlerts::linkResultText(error ? std::optional(error->localizedDescription())
                                                    : std::nullopt);
        },
        [this](const QString& text) { showLinkInfo(text); });
}

void AppDelegate::unlinkPlugin() {
    QAbstractButton* confirm = nullptr;
    const std::unique_ptr<QMessageBox> question = LinkAlerts::unlinkConfirmation(confirm);
    if (runAlert(*question) != confirm) {
        return;
    }
    inLinkThread(
        [] {
            const std::optional<LinkError> error = MofliLinkManager::unlink();
            return LinkAlerts::unlinkResultText(error ? std::optional(error->localizedDescription())
                                                      : std::nullopt);
        },
        [this](const QString& text) { showLinkInfo(text); });
}

void AppDelegate::showLinkInfo(const QString& text) {
    const std::unique_ptr<QMessageBox> alert = LinkAlerts::info(text);
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
