#pragma once

#include "Platform.h"

#include <memory>

// What the operating system offers whatever the windowing system, shared by every implementation
// of the platform: the XDG autostart entry and inotify on Linux, a login item and kqueue on macOS,
// and Sparkle where the build has it.
class NativePlatform : public Platform {
public:
    NativePlatform();
    ~NativePlatform() override;

    LoginItem& loginItem() override;
    Updater& updater() override;
    std::unique_ptr<FileEventSource> watchFile(const QString& filePath,
                                               FileEventSource::Handler onEvent) override;

private:
    std::unique_ptr<LoginItem> loginItem_;
    std::unique_ptr<Updater> updater_;
};
