#include "TopmostPreferences.h"

#include "Settings.h"

bool TopmostPreferences::enabled() {
    return Settings::alwaysOnTop();
}

void TopmostPreferences::setEnabled(bool enabled) {
    Settings::setAlwaysOnTop(enabled);
}
