#include "AvatarState.h"

#include "JsonText.h"
#include "StateFileContract.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace {

namespace Key = StateFileContract::Key;

// Field order of the state file, shared by decoding and encoding.
using StringField = std::optional<QString> AvatarState::*;
constexpr std::pair<std::string_view, StringField> stringFieldsBeforeThinking[] = {
    {Key::message, &AvatarState::message},
    {Key::label, &AvatarState::label},
    {Key::recap, &AvatarState::recap},
};
constexpr std::pair<std::string_view, StringField> stringFieldsAfterThinking[] = {
    {Key::sessionId, &AvatarState::sessionId},
    {Key::cwd, &AvatarState::cwd},
    {Key::termProgram, &AvatarState::termProgram},
    {Key::termSession, &AvatarState::termSession},
    {Key::tty, &AvatarState::tty},
    {Key::termBundleId, &AvatarState::termBundleId},
    {Key::termWindowId, &AvatarState::termWindowId},
};

QLatin1StringView latin1(std::string_view key) {
    return QLatin1StringView(key.data(), qsizetype(key.size()));
}

// Missing and null are absent; any other type than a string fails the whole decode.
bool decodeString(const QJsonObject& object, std::string_view key, std::optional<QString>& out) {
    const QJsonValue value = object.value(latin1(key));
    if (value.isUndefined() || value.isNull()) {
        return true;
    }
    if (!value.isString()) {
        return false;
    }
    out = value.toString();
    return true;
}

// QJsonObject sorts its keys, so the object is written by hand; Qt still escapes each value.
QByteArray jsonLiteral(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

void appendMember(QByteArray& out, std::string_view key, const QJsonValue& value) {
    out += out.size() > 1 ? "," : "";
    out += jsonLiteral(QString(latin1(key)));
    out += ':';
    out += jsonLiteral(value);
}

} // namespace

std::optional<AvatarState> AvatarState::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(JsonText::toUtf8(json), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return fromJson(document.object());
}

std::optional<AvatarState> AvatarState::fromJson(const QJsonObject& object) {
    const QJsonValue state = object.value(latin1(Key::state));
    if (!state.isString()) {
        return std::nullopt;
    }
    AvatarState result;
    result.state = state.toString();
    for (const auto& [key, field] : stringFieldsBeforeThinking) {
        if (!decodeString(object, key, result.*field)) {
            return std::nullopt;
        }
    }
    const QJsonValue thinking = object.value(latin1(Key::thinking));
    if (thinking.isBool()) {
        result.thinking = thinking.toBool();
    } else if (!thinking.isUndefined() && !thinking.isNull()) {
        return std::nullopt;
    }
    for (const auto& [key, field] : stringFieldsAfterThinking) {
        if (!decodeString(object, key, result.*field)) {
            return std::nullopt;
        }
    }
    return result;
}

QByteArray AvatarState::encode() const {
    QByteArray out = "{";
    appendMember(out, Key::state, state);
    for (const auto& [key, field] : stringFieldsBeforeThinking) {
        if (const auto& value = this->*field) {
            appendMember(out, key, *value);
        }
    }
    if (thinking) {
        appendMember(out, Key::thinking, *thinking);
    }
    for (const auto& [key, field] : stringFieldsAfterThinking) {
        if (const auto& value = this->*field) {
            appendMember(out, key, *value);
        }
    }
    out += '}';
    return out;
}

std::optional<TerminalOrigin> AvatarState::terminalOrigin() const {
    if (!termProgram && !termSession && !tty && !termBundleId && !termWindowId) {
        return std::nullopt;
    }
    return TerminalOrigin{termProgram, termSession, tty, termBundleId, termWindowId};
}
