#pragma once

#include "LoginItem.h"

// macOS 13 lists the app itself as a login item; the user can also switch it off in the System
// Settings, which the status reports. Only a signed app bundle can be registered.
class MacLoginItem final : public LoginItem {
public:
    Availability availability() const override;
    bool isEnabled() const override;
    bool awaitsApproval() const override;
    bool setEnabled(bool enabled) override;
};
