#include "EntryWatch.h"
#include "FileEventSources.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A watch on the file alone stays on the inode it was added to, and an atomic replacement (how
// the hook writes) swaps in a new inode, so the file watch would fall silent after the first
// replacement. Watching the folder for entries named like the file is Linux's way of being told
// at once about every new version, whichever inode carries it.
constexpr uint32_t fileMask = IN_MODIFY | IN_MOVE_SELF | IN_DELETE_SELF;
constexpr uint32_t entryMask = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
constexpr uint32_t goneMask = IN_MOVE_SELF | IN_DELETE_SELF | IN_IGNORED | IN_UNMOUNT;
// The folder watch, too, stays on its inode: when the folder, or any folder above it, is renamed
// away or removed, the watches are added again by path. The parent folder also tells when an
// entry of the folder's name comes or goes (a recreated folder, a link pointed elsewhere).
constexpr uint32_t folderMask = IN_ONLYDIR | IN_CLOSE_WRITE | entryMask | goneMask;
constexpr uint32_t parentMask = IN_ONLYDIR | entryMask | goneMask;
constexpr uint32_t ancestorMask = IN_ONLYDIR | goneMask;

uint32_t maskFor(EntryWatch::Role role) {
    switch (role) {
    case EntryWatch::Role::file:
        return fileMask;
    case EntryWatch::Role::folder:
        return folderMask;
    case EntryWatch::Role::parent:
        return parentMask;
    case EntryWatch::Role::ancestor:
        return ancestorMask;
    }
    return ancestorMask;
}

QByteArray nameOf(const QByteArray& path) {
    return QFile::encodeName(QFileInfo(QFile::decodeName(path)).fileName());
}

// inotify names the entries that change, so the folders' notes need no comparison of objects:
// only the levels come from EntryWatch.
class InotifySource final : public FileEventSource {
public:
    InotifySource(const QString& filePath, Handler onEvent, int inotifyFd, int wakeFd)
        : levels_(EntryWatch(QFile::encodeName(filePath)).levels()), name_(nameOf(levels_[0].path)),
          folderName_(nameOf(levels_[1].path)), onEvent_(std::move(onEvent)), inotifyFd_(inotifyFd),
          wakeFd_(wakeFd), watches_(levels_.size(), -1) {
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

    // Old watches go first: a path whose inode did not change gets a watch number of its own
    // again, which removing afterwards would take away. New ones from the root down: each folder
    // is watched before what lies in it, so a change in between shows in its events.
    void attach() override {
        for (int& watch : watches_) {
            if (watch >= 0) {
                inotify_rm_watch(inotifyFd_, watch);
            }
            watch = -1;
        }
        for (size_t level = levels_.size(); level-- > 0;) {
            watches_[level] = inotify_add_watch(inotifyFd_, levels_[level].path.constData(),
                                                maskFor(levels_[level].role));
        }
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
            const Drained drained = drain();
            if (drained.pathMoved) {
                attach();
            }
            if (drained.pathMoved || drained.concernsFile) {
                onEvent_(*this);
            }
        }
    }

    struct Drained {
        bool concernsFile = false;
        // The watched folder or one above it moved or went away: the watches no longer follow
        // the path.
        bool pathMoved = false;
    };

    // Reads every queued event, so that a burst of them leads to one handler call.
    Drained drain() {
        alignas(inotify_event) char buffer[4096];
        Drained drained;
        for (;;) {
            const ssize_t length = read(inotifyFd_, buffer, sizeof buffer);
            if (length <= 0) {
                return drained;
            }
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                classify(*event, drained);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    void classify(const inotify_event& event, Drained& drained) const {
        const auto watch = std::find(watches_.begin(), watches_.end(), event.wd);
        if (event.wd < 0 || watch == watches_.end()) {
            return;
        }
        const auto named = [&](const QByteArray& name) {
            return event.len > 0 && std::strcmp(event.name, name.constData()) == 0;
        };
        const bool gone = (event.mask & goneMask) != 0;
        switch (levels_[size_t(watch - watches_.begin())].role) {
        case EntryWatch::Role::file:
            drained.concernsFile = true;
            break;
        case EntryWatch::Role::folder:
            drained.pathMoved = drained.pathMoved || gone;
            drained.concernsFile = drained.concernsFile || named(name_);
            break;
        case EntryWatch::Role::parent:
            drained.pathMoved = drained.pathMoved || gone || named(folderName_);
            break;
        case EntryWatch::Role::ancestor:
            drained.pathMoved = drained.pathMoved || gone;
            break;
        }
    }

    const std::vector<EntryWatch::Level> levels_;
    const QByteArray name_;
    const QByteArray folderName_;
    const Handler onEvent_;
    const int inotifyFd_;
    const int wakeFd_;
    // One per level; -1 where the path has nothing to watch.
    std::vector<int> watches_;
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
