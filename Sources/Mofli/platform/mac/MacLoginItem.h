#pragma once

#include "LoginItem.h"

// macOS 13 lists the app itself as a login item; the user can also switch it off in the System
// Settings, which the status reports.
class MacLoginItem final : public LoginItem {
public:
    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;
};
