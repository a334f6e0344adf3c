#pragma once

#include <QString>
#include <functional>
#include <memory>

// Reports changes of one file as soon as the system announces them, on a thread of its own.
// Destroying the source stops that thread and waits for it: no handler runs after the destructor
// returns, so the handler must not destroy its own source.
class FileEventSource {
public:
    // Runs once per batch of events; the kind of event is not told.
    using Handler = std::function<void(FileEventSource&)>;

    // Watches a file and starts reporting; nothing when the system refuses an event queue.
    using Factory =
        std::function<std::unique_ptr<FileEventSource>(const QString& filePath, Handler onEvent)>;

    virtual ~FileEventSource() = default;

    // Binds the source to the file now at the path, after the one it watched went away. Called
    // only from inside the handler.
    virtual void attach() = 0;
};
