#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <utility>

// Runs `work` on `pool`, then `done` with its result on the GUI thread, unless `context` is gone
// by then. For what the desktop answers slowly or never: the GUI thread does not wait for it.
namespace Background {

template <typename Work, typename Done>
void run(QThreadPool& pool, QObject* context, Work work, Done done) {
    const QPointer<QObject> alive(context);
    pool.start([alive, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [alive, done = std::move(done), result = std::move(result)]() mutable {
                if (alive) {
                    done(std::move(result));
                }
            },
            Qt::QueuedConnection);
    });
}

} // namespace Background
