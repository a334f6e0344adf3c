#include "TrayController.h"

#include "LoginItem.h"
#include "Paths.h"
#include "PetList.h"
#include "PetMenu.h"
#include "Platform.h"
#include "Scheduler.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
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

TrayController::TrayController(Platform& platform, Scheduler& scheduler, PetList& pets,
                               QObject* parent)
    : QObject(parent), platform_(platform), scheduler_(scheduler), pets_(pets),
      menu_(std::make_unique<QMenu>()) {
    // The login row says in a tool tip why it is off or not yet in effect.
    menu_->setToolTipsVisible(true);
    connect(&pets_, &PetList::petsChanged, this, &TrayController::rebuildMenu);
    connect(&pets_, &PetList::currentChanged, this, &TrayController::rebuildMenu);
    rebuildMenu();
}

TrayController::~TrayController() = default;

void TrayController::start() {
    if (platform_.systemTrayAvailable()) {
        createIcon();
        return;
    }
    int checksLeft = trayCheckCount;
    trayRetry_ = scheduler_.schedule(
        trayCheckInterval,
        [this, checksLeft]() mutable {
            const bool found = platform_.systemTrayAvailable();
            if (found) {
                createIcon();
            }
            if (found || --checksLeft == 0) {
                // A timer is not destroyed from inside its own handler.
                QMetaObject::invokeMethod(
                    this, [this] { trayRetry_.reset(); }, Qt::QueuedConnection);
            }
        },
        true);
}

QIcon TrayController::loadMenuBarIcon() {
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

void TrayController::createIcon() {
    if (icon_) {
        return;
    }
    icon_ = std::make_unique<QSystemTrayIcon>(loadMenuBarIcon());
    icon_->setToolTip(QStringLiteral("Mofli"));
    icon_->setContextMenu(menu_.get());
#ifndef Q_OS_MACOS
    // Most Linux panels only open the menu on a right click; a left click should open it too.
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    menu_->popup(QCursor::pos());
                }
            });
#endif
    icon_->show();
}

void TrayController::rebuildMenu() {
    QMenu* menu = menu_.get();
    // The row being handled right now may be one of these, so they go once control returns.
    for (QAction* action : menu->actions()) {
        menu->removeAction(action);
        action->deleteLater();
    }
    addRow(menu, QStringLiteral("キャラクター"), this);
    PetMenu::addPetSection(menu, pets_);
    // Checked when the system really has the entry, whoever made or removed it.
    LoginItem& login = platform_.loginItem();
    QAction* atLogin = addRow(menu, QStringLiteral("ログイン時に起動"), this, [this, &login] {
        login.setEnabled(!login.isEnabled());
        rebuildMenu();
    });
    atLogin->setCheckable(true);
    QString hint;
    if (login.availability() == LoginItem::Availability::NeedsAppBundle) {
        atLogin->setEnabled(false);
        hint = QStringLiteral("Mofli.app から起動したときに設定できます");
    } else {
        atLogin->setChecked(login.isEnabled());
        if (login.awaitsApproval()) {
            hint = QStringLiteral("システム設定の「一般」>「ログイン項目」で許可してください");
        }
    }
    if (!hint.isEmpty()) {
        // Also as a row of its own: macOS shows the tray's menu natively, without tool tips.
        atLogin->setToolTip(hint);
        menu->addAction(hint)->setEnabled(false);
    }
    menu->addSeparator();
    PetMenu::addUpdateRow(menu, platform_.updater(), this);
    menu->addSeparator();
    addRow(
        menu, QStringLiteral("前面に呼び戻す"), this, [this] { emit recenterRequested(); },
        QKeySequence(Qt::CTRL | Qt::Key_R));
    addRow(
        menu, QStringLiteral("終了"), this, [] { QCoreApplication::quit(); },
        QKeySequence(Qt::CTRL | Qt::Key_Q));
}
