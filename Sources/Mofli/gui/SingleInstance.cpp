#include "SingleInstance.h"

#include "Paths.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace {

constexpr int connectTimeoutMs = 1000;

// Tells a running app; false when none answers.
bool notifyRunning(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(connectTimeoutMs)) {
        return false;
    }
    socket.write("again\n");
    socket.waitForBytesWritten(connectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit startedAgain();
        }
    });
}

QString SingleInstance::socketName() {
    const QByteArray home = Paths::home().toUtf8();
    return QStringLiteral("mofli-") +
           QString::fromLatin1(
               QCryptographicHash::hash(home, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::claim() {
    const QString name = socketName();
    // Asked first: a server with access options replaces an existing socket instead of failing.
    if (notifyRunning(name)) {
        return false;
    }
    // Whatever is left is a socket of an app that crashed: nobody answered on it.
    QLocalServer::removeServer(name);
    // Only the user may talk to the pet.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(name);
    return true;
}
