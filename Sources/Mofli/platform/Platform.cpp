#include "Platform.h"

#include <QDesktopServices>
#include <QSystemTrayIcon>
#include <QUrl>

void Platform::openFolder(const QString& dir) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(dir));
}

void Platform::applyStacking(QWindow*, bool) {
}

bool Platform::systemTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}
