#pragma once

#include <QString>
#include <optional>

// The user's preferences, one typed accessor per key. Values written by hand or by another
// version may have any type; each reader decides once how such a value is taken.
namespace Settings {

// "selectedPetId": the id of the chosen pet; nothing when absent or empty.
std::optional<QString> selectedPetId();
void setSelectedPetId(const QString& id);

// "alwaysOnTop": true unless a false Boolean is stored.
bool alwaysOnTop();
void setAlwaysOnTop(bool onTop);

// "petScale": absent, 0, or not a finite number read as 1.0; no range applied here.
double petScale();
void setPetScale(double scale);

// "codexPetsEnabled": false unless a true Boolean is stored.
bool codexPetsEnabled();
void setCodexPetsEnabled(bool enabled);

// "didAttemptInitialLink": false unless a true Boolean is stored.
bool didAttemptInitialLink();
void setDidAttemptInitialLink(bool attempted);

} // namespace Settings
