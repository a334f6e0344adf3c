#include "AppDelegate.h"
#include "DesktopIntegration.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mofli"));
    QCoreApplication::setApplicationName(QStringLiteral("Mofli"));
    // The pet lives in the tray and on the desktop; closing a menu or window must not quit.
    QApplication::setQuitOnLastWindowClosed(false);
    DesktopIntegration::becomeAccessoryApplication();
    AppDelegate delegate;
    delegate.launch();
    return QApplication::exec();
}
