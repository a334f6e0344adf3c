#include "DBusIdleTime.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

namespace DBusIdleTime {

namespace {

// A hung service must not keep the idle monitor waiting past its next check.
constexpr int replyTimeoutMs = 250;

std::optional<qulonglong> askMilliseconds(const QDBusConnection& bus, const QString& service,
                                          const QString& path, const QString& interface,
                                          const QString& method) {
    const QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    const QDBusMessage reply = bus.call(call, QDBus::Block, replyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        return std::nullopt;
    }
    bool ok = false;
    const qulonglong value = reply.arguments().first().toULongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

} // namespace

std::optional<double> secondsSinceLastInput() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    std::optional<qulonglong> ms = askMilliseconds(
        bus, QStringLiteral("org.gnome.Mutter.IdleMonitor"),
        QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
        QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
    if (!ms) {
        // KDE answers in milliseconds, whatever the method's name suggests.
        ms = askMilliseconds(bus, QStringLiteral("org.freedesktop.ScreenSaver"),
                             QStringLiteral("/org/freedesktop/ScreenSaver"),
                             QStringLiteral("org.freedesktop.ScreenSaver"),
                             QStringLiteral("GetSessionIdleTime"));
    }
    return ms ? std::optional(double(*ms) / 1000.0) : std::nullopt;
}

} // namespace DBusIdleTime
