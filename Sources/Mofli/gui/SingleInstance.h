#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One pet per user home: the first start owns a local socket; a later start finds it, tells the
// running app, and ends. The socket's name derives from the home folder, so that separate homes
// (tests, other users) never meet.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);

    // True when this process is the one that runs the pet (also when the socket cannot be made:
    // a pet without the guard beats none). Otherwise the running app has been told and this
    // process should end.
    bool claim();

    static QString socketName();

signals:
    // Someone started the app again while this one runs.
    void startedAgain();

private:
    QLocalServer server_;
};
