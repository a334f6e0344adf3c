#include "AppDelegate.h"
#include "Platform.h"
#include "QtScheduler.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mofli"));
    QCoreApplication::setApplicationName(QStringLiteral("Mofli"));
    // The pet lives in the tray and on the desktop; closing a menu or window must not quit.
    QApplication::setQuitOnLastWindowClosed(false);
    const std::unique_ptr<Platform> platform = Platform::create();
    platform->becomeAccessoryApplication();
    QtScheduler scheduler;
    AppDelegate delegate(*platform, scheduler);
    delegate.launch();
    return QApplication::exec();
}
