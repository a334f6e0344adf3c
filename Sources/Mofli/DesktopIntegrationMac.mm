#include "DesktopIntegration.h"

#import <AppKit/AppKit.h>
#include <QWidget>

bool DesktopIntegration::compositesTranslucentWindows() {
    return true;
}

void DesktopIntegration::showOnAllWorkspaces(QWidget* widget) {
    if (!widget) {
        return;
    }
    NSView* view = reinterpret_cast<NSView*>(widget->winId());
    // Joins all spaces, stays put when spaces change, and is skipped by window cycling.
    view.window.collectionBehavior = NSWindowCollectionBehaviorCanJoinAllSpaces |
                                     NSWindowCollectionBehaviorStationary |
                                     NSWindowCollectionBehaviorIgnoresCycle;
}

void DesktopIntegration::becomeAccessoryApplication() {
    [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
}
