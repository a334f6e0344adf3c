#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <csignal>
#include <sys/types.h>

// A scripted stand-in for the `claude` tool. It records each call's arguments, one line each, and
// plays a small Claude Code: `--version` names a release, `plugin install` installs the plugin,
// `plugin uninstall` removes it, and `plugin list --json` lists it while installed. A test
// replaces any command's answer ("version", "list", "install", "uninstall", "enable",
// "marketplace": the word after "plugin") with output and status of its own, or runs a shell
// snippet first (to hang, flood or spawn children).
class FakeClaude {
public:
    // Its answers and records live in `dir`, named to the script by $FAKE_CLAUDE_DIR.
    explicit FakeClaude(const QString& dir) : dir_(dir) {
        QDir().mkpath(dir_);
        qputenv("FAKE_CLAUDE_DIR", QFile::encodeName(dir_));
    }
    ~FakeClaude() { qunsetenv("FAKE_CLAUDE_DIR"); }
    FakeClaude(const FakeClaude&) = delete;
    FakeClaude& operator=(const FakeClaude&) = delete;

    // Writes the tool at `path`, runnable.
    static void installAt(const QString& path) {
        write(path, script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void answer(const QString& command, const QByteArray& output, int status = 0) const {
        write(file(command + ".out"), output);
        write(file(command + ".status"), QByteArray::number(status));
    }
    // Shell lines the tool runs (sourced) before it answers `command`.
    void before(const QString& command, const QByteArray& shell) const {
        write(file(command + ".sh"), shell);
    }
    void setInstalled(bool installed) const {
        if (installed) {
            write(file("installed"), {});
        } else {
            QFile::remove(file("installed"));
        }
    }

    QStringList calls() const {
        QFile record(file("calls"));
        return record.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    QString file(const QString& name) const { return dir_ + QLatin1Char('/') + name; }

    // What `before` snippets wrote to $FAKE_CLAUDE_DIR/pids, one process id a line.
    QList<pid_t> recordedPids() const {
        QFile record(file("pids"));
        QList<pid_t> pids;
        if (record.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : record.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    pids.append(line.toInt());
                }
            }
        }
        return pids;
    }
    // Whether `pid` still runs; one that died and waits for its parent to collect it does not.
    static bool runs(pid_t pid) {
        if (::kill(pid, 0) != 0) {
            return false;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        return !stat.open(QIODevice::ReadOnly) || !stat.readAll().contains(") Z ");
    }

private:
    static void write(const QString& path, const QByteArray& contents) {
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out.write(contents);
        }
    }

    static constexpr char script[] = R"sh(#!/bin/sh
printf '%s\n' "$*" >> "$FAKE_CLAUDE_DIR/calls"
case "$1" in
--version) command=version ;;
plugin) command="$2" ;;
*) command="$1" ;;
esac
answer="$FAKE_CLAUDE_DIR/$command"
[ -f "$answer.sh" ] && . "$answer.sh"
if [ -f "$answer.out" ]; then
    cat "$answer.out"
else
    case "$command" in
    version) echo "2.1.337 (Claude Code)" ;;
    install) : > "$FAKE_CLAUDE_DIR/installed"
             echo "✔ Successfully installed plugin: mofli@mofli (scope: user)" ;;
    uninstall) rm -f "$FAKE_CLAUDE_DIR/installed" ;;
    list) if [ -f "$FAKE_CLAUDE_DIR/installed" ]; then
              echo '[{"id":"mofli@mofli","version":"0.1.0","scope":"user","enabled":true}]'
          else
              echo '[]'
          fi ;;
    esac
fi
exit "$(cat "$answer.status" 2>/dev/null || echo 0)"
)sh";

    QString dir_;
};
