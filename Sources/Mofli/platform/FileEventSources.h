#pragma once

#include "FileEventSource.h"

// The system's file change notifications: inotify on Linux, kqueue on macOS.
namespace FileEventSources {

// Watches `filePath` and starts reporting. Nothing when the system refuses an event queue.
std::unique_ptr<FileEventSource> create(const QString& filePath, FileEventSource::Handler onEvent);

} // namespace FileEventSources
