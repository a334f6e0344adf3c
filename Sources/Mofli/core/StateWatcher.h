#pragma once

#include "AvatarState.h"
#include "FileEventSource.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

// Notices every new version of the state file and hands the decoded value to one callback.
// Two detectors run side by side: a file event source from the platform (inotify on Linux, kqueue
// on macOS) that reports at once, and a poll of the modification date that sees every version
// however it was written. Deliveries from the detectors come on a background thread; the same
// contents may be delivered more than once.
class StateWatcher {
public:
    using Callback = std::function<void(const AvatarState&)>;

    struct Options {
        QString filePath;                             // empty: Paths::stateFile()
        FileEventSource::Factory eventSource;         // none: poll only
        std::chrono::milliseconds pollInterval{1000}; // tests shorten it
    };

    // Creates the state folder; touches nothing else and starts nothing.
    explicit StateWatcher(Callback onChange);
    StateWatcher(Callback onChange, Options options);
    // Stops both detectors and waits for them; no delivery happens after it returns.
    ~StateWatcher();

    StateWatcher(const StateWatcher&) = delete;
    StateWatcher& operator=(const StateWatcher&) = delete;

    // Writes the idle default if the file is missing, delivers the current file on the calling
    // thread, then starts the event source and the poll.
    void start();

    const QString& filePath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
