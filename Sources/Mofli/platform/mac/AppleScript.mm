#include "AppleScript.h"

#import <Foundation/Foundation.h>
#include <QString>

namespace AppleScript {

bool run(const QString& source) {
    @autoreleasepool {
        NSAppleScript* script = [[NSAppleScript alloc] initWithSource:source.toNSString()];
        if (script == nil) {
            return false;
        }
        NSDictionary<NSString*, id>* error = nil;
        [script executeAndReturnError:&error];
        if (error != nil) {
            NSLog(@"[Mofli] TerminalActivator error: %@", error);
            return false;
        }
        return true;
    }
}

} // namespace AppleScript
