#include "Settings.h"

#include <QSettings>
#include <cmath>

namespace Settings {

namespace {

const QString selectedPetIdKey = QStringLiteral("selectedPetId");
const QString alwaysOnTopKey = QStringLiteral("alwaysOnTop");
const QString petScaleKey = QStringLiteral("petScale");
const QString codexPetsEnabledKey = QStringLiteral("codexPetsEnabled");
const QString didAttemptInitialLinkKey = QStringLiteral("didAttemptInitialLink");

// Text-based settings files give a stored Boolean back as the words "true" and "false"; anything
// else that is not a Boolean is not a usable answer.
bool readBool(const QString& key, bool fallback) {
    const QVariant value = QSettings().value(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == QLatin1String("true")) {
            return true;
        }
        if (text == QLatin1String("false")) {
            return false;
        }
    }
    return fallback;
}

void write(const QString& key, const QVariant& value) {
    QSettings().setValue(key, value);
}

} // namespace

std::optional<QString> selectedPetId() {
    const QString id = QSettings().value(selectedPetIdKey).toString();
    return id.isEmpty() ? std::nullopt : std::optional(id);
}

void setSelectedPetId(const QString& id) {
    write(selectedPetIdKey, id);
}

bool alwaysOnTop() {
    return readBool(alwaysOnTopKey, true);
}

void setAlwaysOnTop(bool onTop) {
    write(alwaysOnTopKey, onTop);
}

double petScale() {
    bool ok = false;
    const double stored = QSettings().value(petScaleKey).toDouble(&ok);
    if (!ok || stored == 0 || !std::isfinite(stored)) {
        return 1.0;
    }
    return stored;
}

void setPetScale(double scale) {
    write(petScaleKey, scale);
}

bool codexPetsEnabled() {
    return readBool(codexPetsEnabledKey, false);
}

void setCodexPetsEnabled(bool enabled) {
    write(codexPetsEnabledKey, enabled);
}

bool didAttemptInitialLink() {
    return readBool(didAttemptInitialLinkKey, false);
}

void setDidAttemptInitialLink(bool attempted) {
    write(didAttemptInitialLinkKey, attempted);
}

} // namespace Settings
