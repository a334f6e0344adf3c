#include "Platform.h"

#include "dummy/DummyPlatform.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>

#ifdef Q_OS_MACOS
#include "mac/MacPlatform.h"
#else
#include "linux/X11Platform.h"
#endif

std::unique_ptr<Platform> Platform::create() {
    const QString name = QGuiApplication::platformName();
#ifdef Q_OS_MACOS
    if (name == QLatin1String("cocoa")) {
        return std::make_unique<MacPlatform>();
    }
#else
    if (name == QLatin1String("xcb")) {
        return std::make_unique<X11Platform>();
    }
#endif
    return std::make_unique<DummyPlatform>();
}

void Platform::openFolder(const QString& dir) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(dir));
}

void Platform::applyStacking(QWidget*, bool) {
}

void Platform::shapeToVisiblePixels(QWidget* window, const QRegion& visible) {
    window->setMask(visible);
}

bool Platform::systemTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}
