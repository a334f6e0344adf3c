#include "BuiltInUpdater.h"

#import <Foundation/Foundation.h>
#import <Sparkle/Sparkle.h>

namespace {

// Sparkle's standard controller: its own alerts, its own schedule, settings from the bundle's
// Info.plist (SUFeedURL, SUPublicEDKey). Compiled only when the build has the framework, a feed and
// a key.
class SparkleUpdater final : public Updater {
public:
    bool start() override {
        // Only a real bundle has the identifier and feed settings Sparkle needs.
        if (controller_ != nil || NSBundle.mainBundle.bundleIdentifier == nil) {
            return controller_ != nil;
        }
        controller_ = [[SPUStandardUpdaterController alloc] initWithStartingUpdater:YES
                                                                    updaterDelegate:nil
                                                                 userDriverDelegate:nil];
        return controller_ != nil;
    }

    bool isAvailable() const override { return controller_ != nil; }

    void checkForUpdates() override { [controller_ checkForUpdates:nil]; }

private:
    // Held strongly under automatic reference counting.
    SPUStandardUpdaterController* controller_ = nil;
};

std::unique_ptr<Updater> createSparkleUpdater() {
    return std::make_unique<SparkleUpdater>();
}

// This file is compiled into Mofli.app alone, the program that carries the framework.
const bool provided = BuiltInUpdater::provide(&createSparkleUpdater);

} // namespace
