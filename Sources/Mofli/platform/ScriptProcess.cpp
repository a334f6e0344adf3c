#include "ScriptProcess.h"

#include <QProcess>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

void logFailure(const QString& message) {
    // The system log on macOS, where Qt's default message handler writes to the unified log.
    qWarning("[Mofli] TerminalActivator error: %s", qUtf8Printable(message));
}

// What the interpreter said about its failure, else how it ended.
QString failureOf(QProcess& process, bool timedOut) {
    const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (!said.isEmpty()) {
        return said;
    }
    if (timedOut) {
        return QStringLiteral("no answer in time");
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        return process.errorString();
    }
    return QStringLiteral("exit status %1").arg(process.exitCode());
}

} // namespace

namespace ScriptProcess {

void run(const QString& program, const QString& script, std::chrono::milliseconds timeout,
         QObject* context, std::function<void(bool)> done) {
    auto* process = new QProcess(context);
    // One answer, whichever way the process ends.
    auto finish = std::make_shared<std::function<void(bool)>>(std::move(done));
    auto timedOut = std::make_shared<bool>(false);
    if (context) {
        // Before the process goes with it, which kills the interpreter and reports that end.
        QObject::connect(context, &QObject::destroyed, process, [finish] { *finish = nullptr; });
    }
    QObject::connect(process, &QProcess::finished, process, [process, finish, timedOut] {
        if (!*finish) {
            return;
        }
        const bool succeeded =
            !*timedOut && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        if (!succeeded) {
            logFailure(failureOf(*process, *timedOut));
        }
        process->deleteLater();
        std::exchange(*finish, nullptr)(succeeded);
    });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, finish](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart || !*finish) {
                             return;
                         }
                         logFailure(process->errorString());
                         process->deleteLater();
                         std::exchange(*finish, nullptr)(false);
                     });
    QTimer::singleShot(timeout, process, [process, timedOut] {
        *timedOut = true;
        process->kill();
    });
    process->start(program, {});
    process->write(script.toUtf8());
    process->closeWriteChannel();
}

} // namespace ScriptProcess
