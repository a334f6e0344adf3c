#include "MacLoginItem.h"

#import <ServiceManagement/ServiceManagement.h>

bool MacLoginItem::isEnabled() const {
    return SMAppService.mainAppService.status == SMAppServiceStatusEnabled;
}

bool MacLoginItem::setEnabled(bool enabled) {
    NSError* error = nil;
    if (enabled) {
        [SMAppService.mainAppService registerAndReturnError:&error];
    } else {
        [SMAppService.mainAppService unregisterAndReturnError:&error];
    }
    return isEnabled() == enabled;
}
