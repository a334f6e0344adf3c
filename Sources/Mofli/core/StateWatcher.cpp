#include "StateWatcher.h"

#include "Files.h"
#include "LocalFile.h"
#include "Logging.h"
#include "Paths.h"
#include "StateFileContract.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using LocalFile::ReadFailure;

constexpr qsizetype sizeLimit = qsizetype(StateFileContract::stateFileByteLimit);

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

struct StateWatcher::Impl {
    Impl(Callback callback, const Options& options)
        : path(options.filePath.isEmpty() ? Paths::stateFile() : options.filePath),
          nativePath(QFile::encodeName(path)), onChange(std::move(callback)),
          eventSourceFactory(options.eventSource), pollInterval(options.pollInterval) {}

    // The hook may create the file at any moment, so the idle default is linked into place: the
    // link fails instead of replacing a file that appeared since the check. A symbolic link that
    // leads nowhere counts as no file and is replaced.
    void ensureFileExists() const {
        createFolder();
        if (LocalFile::version(nativePath)) {
            return;
        }
        struct stat link;
        const bool dangling = lstat(nativePath.constData(), &link) == 0 && S_ISLNK(link.st_mode);
        std::string temporary;
        const int fd = Files::createTemporary(nativePath.toStdString(), temporary);
        if (fd < 0) {
            return;
        }
        const std::string_view idle = StateFileContract::idleDefault;
        const bool written = writeAll(fd, idle.data(), idle.size());
        close(fd);
        if (written && dangling) {
            rename(temporary.c_str(), nativePath.constData());
        } else if (written && ::link(temporary.c_str(), nativePath.constData()) != 0 &&
                   errno != EEXIST) {
            // Some file systems have no hard links; an atomic rename is the next best thing.
            rename(temporary.c_str(), nativePath.constData());
        }
        unlink(temporary.c_str());
    }

    // Owner-only, like the hook makes it: the state holds the start of the user's prompt.
    void createFolder() const {
        Files::createDirectories(QFile::encodeName(QFileInfo(path).path()).toStdString());
    }

    // The event source and the poll may both find a new version at once; reading one copy at a
    // time keeps a large file from being held twice.
    void readAndDeliver() const {
        std::optional<AvatarState> state;
        {
            std::lock_guard lock(readMutex);
            const auto contents = LocalFile::readRegular(nativePath, sizeLimit);
            if (std::holds_alternative<ReadFailure>(contents)) {
                if (std::get<ReadFailure>(contents) == ReadFailure::tooLarge) {
                    qCInfo(lcState) << "ignoring" << path << "(larger than"
                                    << StateFileContract::stateFileByteLimit << "bytes)";
                }
                return;
            }
            state = AvatarState::decode(std::get<QByteArray>(contents));
        }
        if (state) {
            onChange(*state);
        } else {
            qCInfo(lcState) << "ignoring" << path << "(not a state the app can read)";
        }
    }

    void handleEvent(FileEventSource& source) const {
        readAndDeliver();
        if (!LocalFile::version(nativePath)) {
            ensureFileExists();
            source.attach();
            // The pet shows the recreated default now rather than at the next poll tick.
            readAndDeliver();
        }
    }

    void pollTick() {
        const auto version = LocalFile::version(nativePath);
        if (!version || version == lastSeen) {
            return;
        }
        // Remembered before reading, so that a version that does not decode is not retried.
        lastSeen = version;
        readAndDeliver();
    }

    // Counting each interval from the end of the previous tick means a slow tick never makes the
    // next ones catch up back to back.
    void pollLoop() {
        std::unique_lock lock(mutex);
        while (!wakeUp.wait_for(lock, pollInterval, [this] { return stopping; })) {
            lock.unlock();
            pollTick();
            lock.lock();
        }
    }

    const QString path;
    const QByteArray nativePath;
    const Callback onChange;
    const FileEventSource::Factory eventSourceFactory;
    const std::chrono::milliseconds pollInterval;
    bool started = false;

    std::optional<LocalFile::Version> lastSeen; // poll thread only
    mutable std::mutex readMutex;
    std::mutex mutex;
    std::condition_variable wakeUp;
    bool stopping = false; // guarded by mutex
    std::thread pollThread;
    std::unique_ptr<FileEventSource> source;
};

StateWatcher::StateWatcher(Callback onChange) : StateWatcher(std::move(onChange), Options{}) {
}

StateWatcher::StateWatcher(Callback onChange, Options options)
    : impl_(std::make_unique<Impl>(std::move(onChange), options)) {
    impl_->createFolder();
}

StateWatcher::~StateWatcher() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wakeUp.notify_all();
    if (impl_->pollThread.joinable()) {
        impl_->pollThread.join();
    }
    impl_->source.reset();
}

void StateWatcher::start() {
    if (impl_->started) {
        return;
    }
    impl_->started = true;
    impl_->ensureFileExists();
    impl_->readAndDeliver();
    if (impl_->eventSourceFactory) {
        Impl* impl = impl_.get();
        impl_->source = impl_->eventSourceFactory(
            impl_->path, [impl](FileEventSource& source) { impl->handleEvent(source); });
    }
    impl_->pollThread = std::thread([impl = impl_.get()] { impl->pollLoop(); });
}

const QString& StateWatcher::filePath() const {
    return impl_->path;
}
