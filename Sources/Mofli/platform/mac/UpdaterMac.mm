#include "Updater.h"

#import <Foundation/Foundation.h>
#import <Sparkle/Sparkle.h>

// Sparkle's standard controller: its own alerts, its own schedule, settings from the bundle's
// Info.plist (SUFeedURL, SUPublicEDKey). Compiled only when the build points at the framework.
namespace {

SPUStandardUpdaterController* controller = nil;

} // namespace

namespace Updater {

bool start() {
    // Only a real bundle has the identifier and feed settings Sparkle needs.
    if (controller != nil || NSBundle.mainBundle.bundleIdentifier == nil) {
        return controller != nil;
    }
    controller = [[SPUStandardUpdaterController alloc] initWithStartingUpdater:YES
                                                               updaterDelegate:nil
                                                            userDriverDelegate:nil];
    return controller != nil;
}

bool isAvailable() {
    return controller != nil;
}

void checkForUpdates() {
    [controller checkForUpdates:nil];
}

} // namespace Updater
