#pragma once

#include "Platform.h"

#include <QList>
#include <QPointer>
#include <QWidget>

// Stands in for the desktop in offscreen tests and records what the app asked of it.
class FakePlatform final : public Platform {
public:
    bool composites = true;
    QList<QPointer<QWidget>> allWorkspaceWindows;
    int accessoryRequests = 0;

    bool compositesTranslucentWindows() const override { return composites; }
    void showOnAllWorkspaces(QWidget* window) override { allWorkspaceWindows.append(window); }
    void becomeAccessoryApplication() override { ++accessoryRequests; }
};
