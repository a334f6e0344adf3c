// Stands in for the desktop's idle-time services: takes the names of GNOME's and KDE's on the
// session bus and answers none of their calls in time. Prints "ready" once it has them, and
// "called" for every call it takes.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QThread>
#include <cstdio>

namespace {

class NeverInTime final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
        std::puts("called");
        std::fflush(stdout);
        // Far longer than any caller waits; the caller has given up by the time the error comes.
        QThread::sleep(3);
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    NeverInTime mutter;
    NeverInTime screenSaver;
    if (!bus.registerVirtualObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &mutter) ||
        !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver) ||
        !bus.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor")) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))) {
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
