#include "EntryWatch.h"
#include "FileEventSources.h"

#include <QFile>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/event.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr uintptr_t wakeIdent = 1;
constexpr uint32_t goneFlags = NOTE_DELETE | NOTE_RENAME | NOTE_REVOKE;
constexpr uint32_t fileFlags = NOTE_WRITE | NOTE_EXTEND | goneFlags;
// A folder's NOTE_WRITE: one of its entries came, went or was renamed.
constexpr uint32_t entryFlags = NOTE_WRITE | goneFlags;

uint32_t flagsFor(EntryWatch::Role role) {
    switch (role) {
    case EntryWatch::Role::file:
        return fileFlags;
    case EntryWatch::Role::folder:
    case EntryWatch::Role::parent:
        return entryFlags;
    case EntryWatch::Role::ancestor:
        return goneFlags;
    }
    return goneFlags;
}

// kqueue watches the objects open when they were added: the hook's atomic rename posts
// NOTE_DELETE to the replaced file while the path already names the next one, and a folder
// renamed above says so only to its own watch. EntryWatch decides from the notes of every level
// whether the path now leads elsewhere.
class KqueueSource final : public FileEventSource {
public:
    KqueueSource(const QString& filePath, Handler onEvent, int queue)
        : entry_(QFile::encodeName(filePath)), onEvent_(std::move(onEvent)), queue_(queue),
          fds_(entry_.levels().size(), -1) {
        struct kevent wake;
        EV_SET(&wake, wakeIdent, EVFILT_USER, EV_ADD | EV_CLEAR, 0, 0, nullptr);
        kevent(queue_, &wake, 1, nullptr, 0, nullptr);
        attach();
        thread_ = std::thread([this] { run(); });
    }

    ~KqueueSource() override {
        struct kevent wake;
        EV_SET(&wake, wakeIdent, EVFILT_USER, 0, NOTE_TRIGGER, 0, nullptr);
        kevent(queue_, &wake, 1, nullptr, 0, nullptr);
        thread_.join();
        for (int& fd : fds_) {
            closeWatch(fd);
        }
        close(queue_);
    }

    // Runs before the thread starts and then only on it (from run() or the handler), so the
    // descriptors need no lock. From the root down: each folder is watched before what lies in
    // it is opened, so a change in between shows in its notes.
    void attach() override {
        for (size_t level = fds_.size(); level-- > 0;) {
            watch(level);
        }
    }

private:
    // O_EVTONLY: the descriptor serves notifications only and does not keep the volume busy.
    // Closing the old descriptor removes its events from the queue.
    void watch(size_t level) {
        const EntryWatch::Level& where = entry_.levels()[level];
        const int opened = open(where.path.constData(), O_EVTONLY | O_CLOEXEC);
        closeWatch(fds_[level]);
        fds_[level] = opened;
        entry_.attached(level, opened);
        if (opened < 0) {
            return;
        }
        struct kevent change;
        EV_SET(&change, static_cast<uintptr_t>(opened), EVFILT_VNODE, EV_ADD | EV_CLEAR,
               flagsFor(where.role), 0, nullptr);
        kevent(queue_, &change, 1, nullptr, 0, nullptr);
    }

    static void closeWatch(int& fd) {
        if (fd >= 0) {
            close(fd);
        }
        fd = -1;
    }

    void run() {
        struct kevent events[16];
        for (;;) {
            const int count = kevent(queue_, nullptr, 0, events, 16, nullptr);
            if (count < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            EntryWatch::Notes notes;
            for (int i = 0; i < count; ++i) {
                const struct kevent& event = events[i];
                if (event.filter == EVFILT_USER) {
                    return;
                }
                note(event, notes);
            }
            const EntryWatch::Outcome outcome = entry_.consider(notes);
            if (outcome.reattach) {
                attach();
            }
            if (outcome.report) {
                onEvent_(*this);
            }
        }
    }

    void note(const struct kevent& event, EntryWatch::Notes& notes) const {
        for (size_t level = 0; level < fds_.size(); ++level) {
            if (fds_[level] < 0 || event.ident != static_cast<uintptr_t>(fds_[level])) {
                continue;
            }
            notes.gone = notes.gone || (event.fflags & goneFlags) != 0;
            if ((event.fflags & ~goneFlags) == 0) {
                return;
            }
            if (level == 0) {
                notes.fileWritten = true;
            } else {
                notes.entriesChanged.push_back(level);
            }
            return;
        }
    }

    EntryWatch entry_;
    const Handler onEvent_;
    const int queue_;
    // One per level; -1 where the path has nothing to open.
    std::vector<int> fds_;
    std::thread thread_;
};

} // namespace

std::unique_ptr<FileEventSource> FileEventSources::create(const QString& filePath,
                                                          FileEventSource::Handler onEvent) {
    const int queue = kqueue();
    if (queue < 0) {
        return nullptr;
    }
    return std::make_unique<KqueueSource>(filePath, std::move(onEvent), queue);
}
