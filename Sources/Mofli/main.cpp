#include "AppDelegate.h"
#include "Logging.h"
#include "PetWindowController.h"
#include "Platform.h"
#include "PlatformChoice.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"
#include "SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    const PlatformChoice::Choice choice =
        PlatformChoice::choose(QProcessEnvironment::systemEnvironment());
    if (choice.platform) {
        qputenv("QT_QPA_PLATFORM", choice.platform->toUtf8());
    }
#ifdef Q_OS_MACOS
    // Qt's Cocoa plugin makes a program a regular app (Dock icon, menu bar) and activates it while
    // QApplication is built, taking the focus from the terminal, unless this is set; the bundle
    // says the same with LSUIElement. becomeAccessoryApplication() then sets the final policy.
    qputenv("QT_MAC_DISABLE_FOREGROUND_APPLICATION_TRANSFORM", "1");
#endif
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mofli"));
    QCoreApplication::setApplicationName(QStringLiteral("Mofli"));
    if (choice.placementLimited) {
        qCWarning(lcApp) << "Wayland without XWayland: where the pet stands and whether it can be "
                            "dragged is up to the compositor";
    }
    // A second start leaves the running pet alone; the running one jumps to show where it is.
    SingleInstance instance;
    if (!instance.claim()) {
        return 0;
    }
    // The pet lives in the tray and on the desktop; closing a menu or window must not quit.
    QApplication::setQuitOnLastWindowClosed(false);
    const std::unique_ptr<Platform> platform = PlatformFactory::create();
    platform->becomeAccessoryApplication();
    QtScheduler scheduler;
    AppDelegate delegate(*platform, scheduler);
    delegate.launch();
    QObject::connect(&instance, &SingleInstance::startedAgain, &delegate, [&delegate] {
        qCInfo(lcApp) << "started again: the running pet jumps";
        delegate.petWindow().jump();
    });
    return QApplication::exec();
}
