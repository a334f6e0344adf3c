#pragma once

// The persisted wish to keep the pet above other windows ("alwaysOnTop").
namespace TopmostPreferences {

// The stored Boolean; true when the key is absent or holds something else.
bool enabled();
void setEnabled(bool enabled);

} // namespace TopmostPreferences
