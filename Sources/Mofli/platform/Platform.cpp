#include "Platform.h"

#include <QDesktopServices>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>

void Platform::openFolder(const QString& dir) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(dir));
}

void Platform::applyStacking(QWindow*, bool) {
}

void Platform::bringForward(QWidget* window) {
    window->raise();
    window->activateWindow();
}

void Platform::shapeToVisiblePixels(QWidget* window, const QRegion& visible) {
    window->setMask(visible);
}

bool Platform::systemTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}
