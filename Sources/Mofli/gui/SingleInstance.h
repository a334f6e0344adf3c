#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <optional>

class QLocalSocket;

// One pet per user home: the first start listens on a local socket in the user's private runtime
// folder; a later start finds it there, tells the running app, and ends. The socket's name
// derives from the home folder, so that separate homes (tests) never meet. Only a socket of this
// user with a process of this user behind it counts as a running pet, and the running pet only
// listens to this user: nobody else can stop it from starting or make it jump.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // Connections served at once; more are closed at once.
    static constexpr int maxConnections = 4;
    // A connection that has not said its line by then is closed.
    static constexpr int messageTimeoutMs = 2000;

    explicit SingleInstance(QObject* parent = nullptr);

    // True when this process is the one that runs the pet (also when the socket cannot be made:
    // a pet without the guard beats none). Otherwise the running app has been told and this
    // process should end.
    bool claim();

    // Where the socket lives; nothing without a private runtime folder.
    static std::optional<QString> socketPath();

signals:
    // Someone started the app again while this one runs.
    void startedAgain();

private:
    void serve(QLocalSocket* socket);
    void answer(QLocalSocket* socket);

    QLocalServer server_;
};
