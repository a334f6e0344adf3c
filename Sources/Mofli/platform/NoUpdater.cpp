#include "BuiltInUpdater.h"

namespace {

// Without an update framework there is nothing to check; the menu rows stay disabled.
class NoUpdater final : public Updater {
public:
    bool start() override { return false; }
    bool isAvailable() const override { return false; }
    void checkForUpdates() override {}
};

// A function's static, so that it is initialised before any static initialiser writes it.
BuiltInUpdater::Factory& provided() {
    static BuiltInUpdater::Factory factory = nullptr;
    return factory;
}

} // namespace

namespace BuiltInUpdater {

std::unique_ptr<Updater> create() {
    if (provided() != nullptr) {
        return provided()();
    }
    return std::make_unique<NoUpdater>();
}

bool provide(Factory factory) {
    provided() = factory;
    return true;
}

} // namespace BuiltInUpdater
