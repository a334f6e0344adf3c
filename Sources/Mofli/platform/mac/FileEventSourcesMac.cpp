#include "EntryWatch.h"
#include "FileEventSources.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/event.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uintptr_t wakeIdent = 1;
constexpr uint32_t goneFlags = NOTE_DELETE | NOTE_RENAME | NOTE_REVOKE;
constexpr uint32_t fileFlags = NOTE_WRITE | NOTE_EXTEND | goneFlags;
// A folder's NOTE_WRITE: one of its entries came, went or was renamed.
constexpr uint32_t folderFlags = NOTE_WRITE | goneFlags;

// kqueue watches the file object open when it was added, and the hook's atomic rename posts
// NOTE_DELETE to the replaced file while the path already names the next one. Watching the
// folder too, and comparing the file at the path with the watched one (EntryWatch), follows every
// version at once, as the folder watch does on Linux.
class KqueueSource final : public FileEventSource {
public:
    KqueueSource(const QString& filePath, Handler onEvent, int queue)
        : file_(QFile::encodeName(filePath)),
          folder_(QFile::encodeName(QFileInfo(filePath).path())), entry_(file_),
          onEvent_(std::move(onEvent)), queue_(queue) {
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
        closeWatch(fileFd_);
        closeWatch(folderFd_);
        close(queue_);
    }

    // Runs before the thread starts and then only on it (from run() or the handler), so the
    // descriptors need no lock.
    void attach() override {
        watch(folderFd_, folder_, folderFlags);
        watch(fileFd_, file_, fileFlags);
        entry_.attached(fileFd_);
    }

private:
    // O_EVTONLY: the descriptor serves notifications only and does not keep the volume busy.
    // Closing the old descriptor removes its events from the queue.
    void watch(int& fd, const QByteArray& path, uint32_t flags) {
        const int opened = open(path.constData(), O_EVTONLY | O_CLOEXEC);
        closeWatch(fd);
        fd = opened;
        if (fd < 0) {
            return;
        }
        struct kevent change;
        EV_SET(&change, static_cast<uintptr_t>(fd), EVFILT_VNODE, EV_ADD | EV_CLEAR, flags, 0,
               nullptr);
        kevent(queue_, &change, 1, nullptr, 0, nullptr);
    }

    static void closeWatch(int& fd) {
        if (fd >= 0) {
            close(fd);
        }
        fd = -1;
    }

    void run() {
        struct kevent events[8];
        for (;;) {
            const int count = kevent(queue_, nullptr, 0, events, 8, nullptr);
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
                const bool gone = (event.fflags & goneFlags) != 0;
                if (fileFd_ >= 0 && event.ident == static_cast<uintptr_t>(fileFd_)) {
                    notes.fileGone = notes.fileGone || gone;
                    notes.fileWritten = notes.fileWritten || (event.fflags & ~goneFlags) != 0;
                } else if (folderFd_ >= 0 && event.ident == static_cast<uintptr_t>(folderFd_)) {
                    notes.folderGone = notes.folderGone || gone;
                    notes.folderChanged = notes.folderChanged || (event.fflags & NOTE_WRITE) != 0;
                }
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

    const QByteArray file_;
    const QByteArray folder_;
    EntryWatch entry_;
    const Handler onEvent_;
    const int queue_;
    int fileFd_ = -1;
    int folderFd_ = -1;
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
