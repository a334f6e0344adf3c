#include "NativePlatform.h"

#include "BuiltInUpdater.h"
#include "FileEventSources.h"
#include "LoginItem.h"
#include "Updater.h"

#include <QtGlobal>

#ifdef Q_OS_MACOS
#include "mac/MacLoginItem.h"
#else
#include "linux/XdgAutostart.h"
#endif

NativePlatform::NativePlatform()
#ifdef Q_OS_MACOS
    : loginItem_(std::make_unique<MacLoginItem>()),
#else
    : loginItem_(std::make_unique<XdgAutostart>()),
#endif
      updater_(BuiltInUpdater::create()) {
}

NativePlatform::~NativePlatform() = default;

LoginItem& NativePlatform::loginItem() {
    return *loginItem_;
}

Updater& NativePlatform::updater() {
    return *updater_;
}

std::unique_ptr<FileEventSource> NativePlatform::watchFile(const QString& filePath,
                                                           FileEventSource::Handler onEvent) {
    return FileEventSources::create(filePath, std::move(onEvent));
}
