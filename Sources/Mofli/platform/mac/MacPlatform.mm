#include "MacPlatform.h"

#import <AppKit/AppKit.h>
#include <QWidget>
#include <QWindow>

bool MacPlatform::compositesTranslucentWindows() const {
    return true;
}

void MacPlatform::showOnAllWorkspaces(QWidget* widget) {
    if (!widget) {
        return;
    }
    const WId created = widget->winId();
    // QWidget::winId() can still name the view that setWindowFlags() replaced; the widget's
    // QWindow knows the current one.
    const WId current = widget->windowHandle() ? widget->windowHandle()->winId() : created;
    NSView* view = reinterpret_cast<NSView*>(current);
    // Joins all spaces, stays put when spaces change, and is skipped by window cycling.
    view.window.collectionBehavior = NSWindowCollectionBehaviorCanJoinAllSpaces |
                                     NSWindowCollectionBehaviorStationary |
                                     NSWindowCollectionBehaviorIgnoresCycle;
}

void MacPlatform::becomeAccessoryApplication() {
    [NSApp setActivationPolicy:NSApplicationActivationPolicyAccessory];
}
