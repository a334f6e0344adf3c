#include "PluginHooks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace PluginHooks {

namespace {

// Seconds Claude Code gives one run; the hook takes a few milliseconds.
constexpr int timeoutSeconds = 5;

QJsonObject command(const QString& event, const CliVersion& version) {
    const QString program = QStringLiteral("${CLAUDE_PLUGIN_ROOT}/") + QLatin1String(hookProgram);
    QJsonObject hook{{QStringLiteral("type"), QStringLiteral("command")},
                     {QStringLiteral("timeout"), timeoutSeconds}};
    if (version >= execFormSince) {
        hook.insert(QStringLiteral("command"), program);
        hook.insert(QStringLiteral("args"), QJsonArray{event});
    } else {
        // The plugin root may hold spaces ("Application Support"); the shell expands the
        // variable inside the quotes without splitting it.
        hook.insert(QStringLiteral("command"), QStringLiteral("\"%1\" %2").arg(program, event));
    }
    return hook;
}

} // namespace

QByteArray hooksJson(const CliVersion& version) {
    QJsonObject hooks;
    for (const Event& event : events) {
        if (version < event.since) {
            continue;
        }
        const QString name = QString::fromLatin1(event.name);
        QJsonObject entry{{QStringLiteral("hooks"), QJsonArray{command(name, version)}}};
        if (event.takesMatcher) {
            entry.insert(QStringLiteral("matcher"), QStringLiteral("*"));
        }
        hooks.insert(name, QJsonArray{entry});
    }
    const QJsonObject document{
        {QStringLiteral("description"),
         QStringLiteral("Hands each event to MofliHook, which updates ~/.claude/mofli/state.json "
                        "for the desktop pet. Written by the Mofli app for the installed Claude "
                        "Code, whose release decides the events and the form.")},
        {QStringLiteral("hooks"), hooks}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace PluginHooks
