#include "SessionRecord.h"

#include "HatchState.h"
#include "JsonText.h"
#include "ProcessRecord.h"
#include "StateFileContract.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <limits>

namespace {

namespace Key = StateFileContract::SessionRecordKey;

QLatin1StringView latin1(std::string_view text) {
    return QLatin1StringView(text.data(), qsizetype(text.size()));
}

// A JSON number that is a whole number, as the hook writes integers.
std::optional<qint64> integer(const QJsonValue& value) {
    constexpr qint64 none = std::numeric_limits<qint64>::min();
    const qint64 whole = value.toInteger(none);
    return whole == none ? std::nullopt : std::optional(whole);
}

} // namespace

bool SessionRecord::isRecordName(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("\\A[0-9a-f]{40}%1\\z")
            .arg(QRegularExpression::escape(latin1(StateFileContract::sessionRecordSuffix))));
    return pattern.match(fileName).hasMatch();
}

std::optional<SessionRecord> SessionRecord::decode(const QString& fileName,
                                                   const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(JsonText::toUtf8(json), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    std::optional<AvatarState> state = AvatarState::fromJson(object);
    const std::optional<qint64> updatedAt = integer(object.value(latin1(Key::updatedAt)));
    const QJsonValue pidValue = object.value(latin1(Key::pid));
    const std::optional<qint64> pid = integer(pidValue);
    const bool pidValid = pidValue.isUndefined() || pidValue.isNull() || (pid && *pid > 0);
    if (!state || !updatedAt || !pidValid) {
        return std::nullopt;
    }
    return SessionRecord{fileName, std::move(*state), *updatedAt, pid};
}

QString SessionRecord::project() const {
    if (!state.cwd || state.cwd->isEmpty()) {
        return {};
    }
    const QString cleaned = QDir::cleanPath(*state.cwd);
    const QString last = cleaned.section(QLatin1Char('/'), -1);
    return last.isEmpty() ? cleaned : last;
}

int SessionRecord::urgency() const {
    switch (HatchState::fromHookState(state.state)) {
    case HatchState::waiting:
        return 0;
    case HatchState::failed:
        return 1;
    case HatchState::running:
    case HatchState::review:
    case HatchState::runningLeft:
    case HatchState::runningRight:
        return 2;
    case HatchState::waving:
    case HatchState::jumping:
        return 3;
    case HatchState::idle:
        break;
    }
    return 4;
}

bool SessionRecord::isLive(qint64 now) const {
    if (!pid) {
        return now - updatedAt < unprovenLifetimeMs;
    }
    if (*pid > std::numeric_limits<pid_t>::max()) {
        return false;
    }
    const std::optional<ProcessRecord> process = ProcessRecord::read(static_cast<pid_t>(*pid));
    return process && !process->exited &&
           (process->startedAt == 0 || process->startedAt <= updatedAt + startMarginMs);
}

bool SessionRecord::showsBefore(const SessionRecord& first, const SessionRecord& second) {
    const int firstUrgency = first.urgency();
    const int secondUrgency = second.urgency();
    if (firstUrgency != secondUrgency) {
        return firstUrgency < secondUrgency;
    }
    if (first.updatedAt != second.updatedAt) {
        return first.updatedAt > second.updatedAt;
    }
    return first.fileName < second.fileName;
}
