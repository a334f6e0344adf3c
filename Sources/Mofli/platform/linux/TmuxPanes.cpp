#include "TmuxPanes.h"

#include "FileTrust.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace TmuxPanes {
namespace {

const QString separator = QStringLiteral(";");
// How long the server that has the pane is given to show it, at least.
constexpr int selectTimeoutMs = 500;

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

// The tmux to run: a program of that name earlier on PATH could be anything.
std::optional<QString> tmuxProgram() {
    for (const char* path :
         {"/usr/bin/tmux", "/usr/local/bin/tmux", "/opt/homebrew/bin/tmux", "/bin/tmux"}) {
        if (QFileInfo(QString::fromLatin1(path)).isExecutable()) {
            return QString::fromLatin1(path);
        }
    }
    const QString found = QStandardPaths::findExecutable(QStringLiteral("tmux"));
    return found.isEmpty() ? std::nullopt : std::optional(found);
}

// tmux puts its sockets in $TMUX_TMPDIR (else /tmp) under tmux-<uid>, a folder of the user's own
// that nobody else may enter; one socket per server (-L name). A socket of anyone else there is
// none of this user's servers, and one that never answers would only cost time.
QStringList serverSockets() {
    const QString base = qEnvironmentVariable("TMUX_TMPDIR", QStringLiteral("/tmp"));
    const QString folder = (base.isEmpty() ? QStringLiteral("/tmp") : base) +
                           QStringLiteral("/tmux-") + QString::number(::geteuid());
    QStringList sockets;
    if (!FileTrust::isPrivateFolder(folder)) {
        return sockets;
    }
    for (const QString& name : QDir(folder).entryList(QDir::System | QDir::Hidden)) {
        const QString path = folder + QLatin1Char('/') + name;
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            sockets.append(path);
        }
    }
    return sockets;
}

// Starts one command sequence on the server at `socket`. The arguments go to tmux directly, never
// through a shell.
std::unique_ptr<QProcess> start(const QString& program, const QString& socket,
                                const QStringList& commands) {
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(QStringList{QStringLiteral("-S"), socket} + commands);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    return process;
}

// The output of a finished run; none when it failed.
std::optional<QString> output(QProcess& process) {
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

void stop(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(100);
    }
}

// The pane with terminal `paneTty` and the client that last showed its session, from one
// server's listing.
std::optional<std::pair<Pane, std::optional<Client>>> findPane(const QString& listing,
                                                               const QString& paneTty) {
    std::optional<Pane> pane;
    QList<Client> clients;
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() == 5 && fields[0] == QLatin1String("pane") && fields[1] == paneTty) {
            pane = Pane{fields[2], fields[3], fields[4]};
        } else if (fields.size() == 4 && fields[0] == QLatin1String("client")) {
            clients.append(Client{fields[1], fields[2], fields[3].toLongLong()});
        }
    }
    if (!pane) {
        return std::nullopt;
    }
    std::optional<Client> shown;
    for (const Client& client : clients) {
        if (client.session == pane->session && (!shown || client.activity > shown->activity)) {
            shown = client;
        }
    }
    return std::pair(*pane, shown);
}

} // namespace

std::optional<QString> showPane(const QString& paneTty) {
    const QDeadlineTimer deadline(timeoutMs);
    const std::optional<QString> program = tmuxProgram();
    if (!program) {
        return std::nullopt;
    }
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
    // Every server is asked at once: one that hangs must not hold up the others. The first whose
    // answer has the pane decides; a tty is a pane of one server only.
    QEventLoop loop;
    std::vector<std::pair<QString, std::unique_ptr<QProcess>>> asked;
    std::optional<std::pair<QString, std::pair<Pane, std::optional<Client>>>> found;
    int pending = 0;
    const auto finished = [&](const QString& socket, QProcess& process) {
        --pending;
        if (!found) {
            if (const std::optional<QString> answer = output(process)) {
                if (auto pane = findPane(*answer, paneTty)) {
                    found.emplace(socket, std::move(*pane));
                }
            }
        }
        if (found || pending == 0) {
            loop.quit();
        }
    };
    for (const QString& socket : serverSockets()) {
        std::unique_ptr<QProcess> process = start(*program, socket, listing);
        if (process->state() == QProcess::NotRunning) {
            continue;
        }
        ++pending;
        QObject::connect(
            process.get(), &QProcess::finished, &loop,
            [&finished, socket, process = process.get()] { finished(socket, *process); });
        asked.emplace_back(socket, std::move(process));
    }
    if (pending > 0) {
        QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (auto& [socket, process] : asked) {
        QObject::disconnect(process.get(), nullptr, &loop, nullptr);
        stop(*process);
    }
    if (!found || !found->second.second) {
        return std::nullopt;
    }
    const auto& [socket, paneAndClient] = *found;
    const auto& [pane, shown] = paneAndClient;
    // Ids, not names, from the server's own answer: "$1:@4" names the window in that session
    // even when the window is linked into others.
    const std::unique_ptr<QProcess> select = start(
        *program, socket,
        {QStringLiteral("select-window"), QStringLiteral("-t"),
         pane.session + QLatin1Char(':') + pane.window, separator, QStringLiteral("select-pane"),
         QStringLiteral("-t"), pane.pane, separator, QStringLiteral("switch-client"),
         QStringLiteral("-c"), shown->tty, QStringLiteral("-t"), pane.pane});
    // The server has just answered: what is left of the second, or a short while more.
    select->waitForFinished(int(std::max<qint64>(deadline.remainingTime(), selectTimeoutMs)));
    stop(*select);
    if (!output(*select)) {
        return std::nullopt;
    }
    return shown->tty;
}

} // namespace TmuxPanes
