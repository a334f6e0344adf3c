#pragma once

#include "Platform.h"

// For offscreen runs and desktops without an implementation of their own: Qt alone, with
// translucency taken as given.
class DummyPlatform final : public Platform {
public:
    bool compositesTranslucentWindows() const override;
    void showOnAllWorkspaces(QWidget* window) override;
    void becomeAccessoryApplication() override;
};
