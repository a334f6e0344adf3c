#pragma once

#include "TerminalOrigin.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// One decoded state file as the hook writes it.
struct AvatarState {
    QString state;
    std::optional<QString> message;
    std::optional<QString> label;
    std::optional<QString> recap;
    std::optional<bool> thinking;
    std::optional<QString> sessionId;
    std::optional<QString> cwd;
    std::optional<QString> termProgram;
    std::optional<QString> termSession;
    std::optional<QString> tty;
    std::optional<QString> termBundleId;
    std::optional<QString> termWindowId;

    // "state" must be a string; an optional key that is null or missing is absent, one of the
    // wrong JSON type fails the whole decode. Unknown keys are ignored.
    static std::optional<AvatarState> decode(const QByteArray& json);
    // The same rules on a parsed object, which may hold more keys (a session record does).
    static std::optional<AvatarState> fromJson(const QJsonObject& object);
    // Compact JSON with "state" and every present optional key, in field order.
    QByteArray encode() const;

    // None when all terminal fields are absent.
    std::optional<TerminalOrigin> terminalOrigin() const;
    bool isThinking() const { return thinking.value_or(false); }

    bool operator==(const AvatarState&) const = default;
};
