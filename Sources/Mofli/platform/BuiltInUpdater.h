#pragma once

#include "Updater.h"

#include <memory>

// The updater of the running program. Only Mofli.app carries Sparkle, so the platform library
// cannot link it: the bundle's own sources provide their updater, and every other program gets
// one with nothing to check.
namespace BuiltInUpdater {

using Factory = std::unique_ptr<Updater> (*)();

// The provided updater, else one with nothing to check.
std::unique_ptr<Updater> create();
// Called from a static initialiser of the program's own sources, before main(); returns true
// so that it can initialise a constant.
bool provide(Factory factory);

} // namespace BuiltInUpdater
