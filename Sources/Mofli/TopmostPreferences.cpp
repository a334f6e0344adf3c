#include "TopmostPreferences.h"

#include <QSettings>

namespace {
const QString key = QStringLiteral("alwaysOnTop");
}

bool TopmostPreferences::enabled() {
    const QVariant value = QSettings().value(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    // Text-based settings files give back a stored Boolean as the words "true" and "false".
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == QLatin1String("false")) {
            return false;
        }
    }
    return true;
}

void TopmostPreferences::setEnabled(bool enabled) {
    QSettings().setValue(key, enabled);
}
