#include "WorkerPriority.h"

#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace WorkerPriority {

void giveWayToTheGuiThread() {
#ifdef Q_OS_LINUX
    // Linux schedules normal threads by their own nice value; Qt's priorities change nothing
    // there short of the idle class, under which a busy machine would starve the work.
    constexpr int niceness = 10;
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), niceness);
#else
    QThread::currentThread()->setPriority(QThread::LowPriority);
#endif
}

} // namespace WorkerPriority
