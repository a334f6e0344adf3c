#include "LoginItem.h"

#import <ServiceManagement/ServiceManagement.h>

// macOS 13 lists the app itself as a login item; the user can also switch it off in the System
// Settings, which the status reports.
namespace LoginItem {

bool isEnabled() {
    return SMAppService.mainAppService.status == SMAppServiceStatusEnabled;
}

bool setEnabled(bool enabled) {
    NSError* error = nil;
    if (enabled) {
        [SMAppService.mainAppService registerAndReturnError:&error];
    } else {
        [SMAppService.mainAppService unregisterAndReturnError:&error];
    }
    return isEnabled() == enabled;
}

} // namespace LoginItem
