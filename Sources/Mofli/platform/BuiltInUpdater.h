#pragma once

#include "Updater.h"

#include <memory>

// The updater the build has: Sparkle on macOS when the build was given the framework, else one
// with nothing to check. One definition per build.
namespace BuiltInUpdater {

std::unique_ptr<Updater> create();

} // namespace BuiltInUpdater
