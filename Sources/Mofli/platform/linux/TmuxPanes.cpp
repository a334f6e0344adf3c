#include "TmuxPanes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <sys/stat.h>
#include <unistd.h>

namespace TmuxPanes {
namespace {

// A server that does not answer in this time is passed over; the click must not hang the pet.
constexpr int timeoutMs = 1000;

const QString separator = QStringLiteral(";");

struct Pane {
    QString session;
    QString window;
    QString pane;
};

struct Client {
    QString tty;
    QString session;
    qint64 activity = 0;
};

// tmux puts its sockets in $TMUX_TMPDIR (else /tmp) under tmux-<uid>; one per server (-L name).
QStringList serverSockets() {
    const QString base = qEnvironmentVariable("TMUX_TMPDIR", QStringLiteral("/tmp"));
    const QDir folder((base.isEmpty() ? QStringLiteral("/tmp") : base) + QStringLiteral("/tmux-") +
                      QString::number(::getuid()));
    QStringList sockets;
    for (const QString& name : folder.entryList(QDir::System | QDir::Hidden)) {
        const QString path = folder.filePath(name);
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode)) {
            sockets.append(path);
        }
    }
    return sockets;
}

// Runs one command sequence on the server at `socket`; none when it fails. The arguments go to
// tmux directly, never through a shell.
std::optional<QString> tmux(const QString& socket, const QStringList& commands) {
    QProcess process;
    process.setProgram(QStringLiteral("tmux"));
    process.setArguments(QStringList{QStringLiteral("-S"), socket} + commands);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(timeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

std::optional<QString> showPane(const QString& paneTty) {
    // One run per server lists its panes and its clients; the lines say which is which.
    const QStringList listing = {
        QStringLiteral("list-panes"),
        QStringLiteral("-a"),
        QStringLiteral("-F"),
        QStringLiteral("pane\t#{pane_tty}\t#{session_id}\t#{window_id}\t#{pane_id}"),
        separator,
        QStringLiteral("list-clients"),
        QStringLiteral("-F"),
        QStringLiteral("client\t#{client_tty}\t#{session_id}\t#{client_activity}"),
    };
    for (const QString& socket : serverSockets()) {
        const std::optional<QString> output = tmux(socket, listing);
        if (!output) {
            continue;
        }
        std::optional<Pane> pane;
        QList<Client> clients;
        for (const QString& line : output->split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(QLatin1Char('\t'));
            if (fields.size() == 5 && fields[0] == QLatin1String("pane") && fields[1] == paneTty) {
                pane = Pane{fields[2], fields[3], fields[4]};
            } else if (fields.size() == 4 && fields[0] == QLatin1String("client")) {
                clients.append(Client{fields[1], fields[2], fields[3].toLongLong()});
            }
        }
        if (!pane) {
            continue;
        }
        std::optional<Client> shown;
        for (const Client& client : clients) {
            if (client.session == pane->session && (!shown || client.activity > shown->activity)) {
                shown = client;
            }
        }
        if (!shown) {
            return std::nullopt;
        }
        // Ids, not names, from the server's own answer: "$1:@4" names the window in that session
        // even when the window is linked into others.
        if (!tmux(socket, {QStringLiteral("select-window"), QStringLiteral("-t"),
                           pane->session + QLatin1Char(':') + pane->window, separator,
                           QStringLiteral("select-pane"), QStringLiteral("-t"), pane->pane,
                           separator, QStringLiteral("switch-client"), QStringLiteral("-c"),
                           shown->tty, QStringLiteral("-t"), pane->pane})) {
            return std::nullopt;
        }
        return shown->tty;
    }
    return std::nullopt;
}

} // namespace TmuxPanes
