#pragma once

#include "Platform.h"

#include <memory>

namespace PlatformFactory {

// The implementation for the Qt platform plugin in use. Call after the application object exists.
std::unique_ptr<Platform> create();

} // namespace PlatformFactory
