#include "PlatformFactory.h"

#include "dummy/DummyPlatform.h"

#include <QGuiApplication>

#ifdef Q_OS_MACOS
#include "mac/MacPlatform.h"
#else
#include "linux/X11Platform.h"
#endif

namespace PlatformFactory {

std::unique_ptr<Platform> create() {
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

} // namespace PlatformFactory
