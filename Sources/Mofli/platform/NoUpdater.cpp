#include "BuiltInUpdater.h"

namespace {

// Without an update framework there is nothing to check; the menu rows stay disabled.
class NoUpdater final : public Updater {
public:
    bool start() override { return false; }
    bool isAvailable() const override { return false; }
    void checkForUpdates() override {}
};

} // namespace

namespace BuiltInUpdater {

std::unique_ptr<Updater> create() {
    return std::make_unique<NoUpdater>();
}

} // namespace BuiltInUpdater
