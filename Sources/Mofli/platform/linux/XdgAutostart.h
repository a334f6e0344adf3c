#pragma once

#include "LoginItem.h"

// Starting at login the XDG way: $XDG_CONFIG_HOME/autostart/mofli.desktop runs this program. The
// entry counts as enabled unless the desktop switched it off in place.
class XdgAutostart final : public LoginItem {
public:
    bool isEnabled() const override;
    bool setEnabled(bool enabled) override;
};
