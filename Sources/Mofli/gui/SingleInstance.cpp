#include "SingleInstance.h"

#include "Logging.h"
#include "Paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTimer>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int connectTimeoutMs = 1000;
// A second start says one line and the running app answers with one.
const QByteArray againLine = QByteArrayLiteral("again\n");
const QByteArray answerLine = QByteArrayLiteral("ok\n");
// Longer than any line a second start says: whoever sends more is cut off.
constexpr qint64 maxLineBytes = 64;

// The user of the process at the other end of a connected local socket.
std::optional<uid_t> peerUser(qintptr descriptor) {
#ifdef Q_OS_MACOS
    uid_t user = 0;
    gid_t group = 0;
    if (::getpeereid(int(descriptor), &user, &group) != 0) {
        return std::nullopt;
    }
    return user;
#else
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return std::nullopt;
    }
    return credentials.uid;
#endif
}

bool isOwnSocket(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           info.st_uid == ::geteuid();
}

// Tells a running app of this user; false when there is none.
bool notifyRunning(const QString& path) {
    if (!isOwnSocket(path)) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(connectTimeoutMs) ||
        peerUser(socket.socketDescriptor()) != ::geteuid()) {
        return false;
    }
    socket.write(againLine);
    socket.waitForBytesWritten(connectTimeoutMs);
    // Waiting for the answer lets the running app read the line before this process is gone; a
    // busy app is still the running one.
    const QDeadlineTimer deadline(connectTimeoutMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    socket.disconnectFromServer();
    return true;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            serve(socket);
        }
    });
}

std::optional<QString> SingleInstance::socketPath() {
    const std::optional<QString> folder = Paths::runtimeDir();
    if (!folder) {
        return std::nullopt;
    }
    const QByteArray home = Paths::home().toUtf8();
    return *folder + QStringLiteral("/mofli-") +
           QString::fromLatin1(
               QCryptographicHash::hash(home, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::claim() {
    const std::optional<QString> path = socketPath();
    if (!path) {
        qCWarning(lcApp) << "no private runtime folder: started without looking for a running pet";
        return true;
    }
    if (notifyRunning(*path)) {
        return false;
    }
    // Whatever is left is a socket of an app that crashed: nobody answered on it. In a private
    // folder nobody else can have put anything there.
    QLocalServer::removeServer(*path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(*path)) {
        qCWarning(lcApp) << "cannot listen on" << *path << ":" << server_.errorString();
    }
    return true;
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // The accepted sockets are the server's children until they are deleted.
    const qsizetype open = server_.findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly).size();
    if (open > maxConnections || peerUser(socket->socketDescriptor()) != ::geteuid()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // Qt stops reading from the connection once this much waits unread.
    socket->setReadBufferSize(maxLineBytes);
    QTimer::singleShot(messageTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
}

void SingleInstance::answer(QLocalSocket* socket) {
    if (!socket->canReadLine() && socket->bytesAvailable() < maxLineBytes) {
        return;
    }
    const bool again = socket->readLine(maxLineBytes + 1) == againLine;
    // One line per connection: nothing that follows is looked at.
    disconnect(socket, nullptr, this, nullptr);
    if (again) {
        socket->write(answerLine);
    }
    // Closes once the answer is out; whatever else the peer sends is never read.
    socket->disconnectFromServer();
    if (again) {
        emit startedAgain();
    }
}
