#include "FileEventSources.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/event.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uintptr_t wakeIdent = 1;

// kqueue watches the file object that was open when it was attached; after an atomic
// replacement it stays on the old one, and the poll of the owner covers later versions.
class KqueueSource final : public FileEventSource {
public:
    KqueueSource(const QString& filePath, Handler onEvent, int queue)
        : file_(QFile::encodeName(filePath)), onEvent_(std::move(onEvent)), queue_(queue) {
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
        if (fileFd_ >= 0) {
            close(fileFd_);
        }
        close(queue_);
    }

    void attach() override {
        // O_EVTONLY: the descriptor serves notifications only and does not keep the volume busy.
        const int fd = open(file_.constData(), O_EVTONLY);
        // Closing a descriptor removes its events from the queue.
        if (fileFd_ >= 0) {
            close(fileFd_);
        }
        fileFd_ = fd;
        if (fd < 0) {
            return;
        }
        struct kevent change;
        EV_SET(&change, static_cast<uintptr_t>(fd), EVFILT_VNODE, EV_ADD | EV_CLEAR,
               NOTE_WRITE | NOTE_EXTEND | NOTE_RENAME | NOTE_DELETE, 0, nullptr);
        kevent(queue_, &change, 1, nullptr, 0, nullptr);
    }

private:
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
            bool changed = false;
            for (int i = 0; i < count; ++i) {
                if (events[i].filter == EVFILT_USER) {
                    return;
                }
                changed = true;
            }
            if (changed) {
                onEvent_(*this);
            }
        }
    }

    const QByteArray file_;
    const Handler onEvent_;
    const int queue_;
    int fileFd_ = -1;
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
