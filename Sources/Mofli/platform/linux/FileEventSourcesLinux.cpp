#include "FileEventSources.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace {

// A watch on the file alone stays on the inode it was added to, and an atomic replacement (how
// the hook writes) swaps in a new inode, so the file watch would fall silent after the first
// replacement. Watching the folder for entries named like the file is Linux's way of being told
// at once about every new version, whichever inode carries it.
constexpr uint32_t fileMask = IN_MODIFY | IN_MOVE_SELF | IN_DELETE_SELF;
constexpr uint32_t folderMask =
    IN_ONLYDIR | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;

class InotifySource final : public FileEventSource {
public:
    InotifySource(const QString& filePath, Handler onEvent, int inotifyFd, int wakeFd)
        : file_(QFile::encodeName(filePath)),
          folder_(QFile::encodeName(QFileInfo(filePath).path())),
          name_(QFile::encodeName(QFileInfo(filePath).fileName())), onEvent_(std::move(onEvent)),
          inotifyFd_(inotifyFd), wakeFd_(wakeFd) {
        attach();
        thread_ = std::thread([this] { run(); });
    }

    ~InotifySource() override {
        const uint64_t one = 1;
        while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        thread_.join();
        close(inotifyFd_);
        close(wakeFd_);
    }

    void attach() override {
        folderWatch_ = inotify_add_watch(inotifyFd_, folder_.constData(), folderMask);
        fileWatch_ = inotify_add_watch(inotifyFd_, file_.constData(), fileMask);
    }

private:
    void run() {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}};
        for (;;) {
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[0].revents != 0) {
                return;
            }
            if (drainConcernsFile()) {
                onEvent_(*this);
            }
        }
    }

    // Reads every queued event, so that a burst of them leads to one handler call.
    bool drainConcernsFile() {
        alignas(inotify_event) char buffer[4096];
        bool concernsFile = false;
        for (;;) {
            const ssize_t length = read(inotifyFd_, buffer, sizeof buffer);
            if (length <= 0) {
                return concernsFile;
            }
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                concernsFile = concernsFile || event->wd == fileWatch_ ||
                               (event->wd == folderWatch_ && event->len > 0 &&
                                std::strcmp(event->name, name_.constData()) == 0);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    const QByteArray file_;
    const QByteArray folder_;
    const QByteArray name_;
    const Handler onEvent_;
    const int inotifyFd_;
    const int wakeFd_;
    int fileWatch_ = -1;
    int folderWatch_ = -1;
    std::thread thread_;
};

} // namespace

std::unique_ptr<FileEventSource> FileEventSources::create(const QString& filePath,
                                                          FileEventSource::Handler onEvent) {
    const int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0) {
        return nullptr;
    }
    const int wakeFd = eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0) {
        close(inotifyFd);
        return nullptr;
    }
    return std::make_unique<InotifySource>(filePath, std::move(onEvent), inotifyFd, wakeFd);
}
