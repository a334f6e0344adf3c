#include "MacLoginItem.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

LoginItem::Availability MacLoginItem::availability() const {
    // Outside a bundle the main bundle is the executable's folder: there is no app to register.
    return [NSBundle.mainBundle.bundleURL.pathExtension isEqualToString:@"app"]
               ? Availability::Available
               : Availability::NeedsAppBundle;
}

bool MacLoginItem::isEnabled() const {
    // Waiting for the user's approval is registered all the same.
    const SMAppServiceStatus status = SMAppService.mainAppService.status;
    return status == SMAppServiceStatusEnabled || status == SMAppServiceStatusRequiresApproval;
}

bool MacLoginItem::awaitsApproval() const {
    return SMAppService.mainAppService.status == SMAppServiceStatusRequiresApproval;
}

bool MacLoginItem::setEnabled(bool enabled) {
    NSError* error = nil;
    const BOOL changed = enabled ? [SMAppService.mainAppService registerAndReturnError:&error]
                                 : [SMAppService.mainAppService unregisterAndReturnError:&error];
    if (!changed) {
        NSLog(@"[Mofli] Login item error: %@", error);
    }
    return isEnabled() == enabled;
}
