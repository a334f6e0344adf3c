#pragma once

#include "Platform.h"

// AppKit, reached through the native views under Qt's windows.
class MacPlatform final : public Platform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWidget* window) override;
    void becomeAccessoryApplication() override;
};
