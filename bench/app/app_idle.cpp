// CPU use of the app while the pet idles and animates, and its resident memory after two pets
// were loaded. Runs the app's own launch sequence in this process; needs a display.
// Usage: bench_app_idle [seconds]   (default 60)

#include "AppDelegate.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// utime + stime of this process in seconds.
double cpuSeconds() {
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray stat = file.readAll();
    // Fields after the parenthesised command name, which may itself hold spaces.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

double residentMegabytes() {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mofli"));
    QCoreApplication::setApplicationName(QStringLiteral("Mofli"));
    QApplication::setQuitOnLastWindowClosed(false);

    const std::unique_ptr<Platform> platform = PlatformFactory::create();
    QtScheduler scheduler;
    AppDelegate delegate(*platform, scheduler);
    delegate.launch();
    if (delegate.pets().size() < 2) {
        std::fprintf(stderr, "needs at least two pets, found %lld\n",
                     static_cast<long long>(delegate.pets().size()));
        return 2;
    }
    delegate.select(delegate.pets()[1]);
    delegate.select(delegate.pets()[0]);

    double cpuStart = 0;
    QElapsedTimer wall;
    int status = 0;
    // Let start-up work (first paints, the watcher's first poll) settle before measuring.
    QTimer::singleShot(2000, [&] {
        cpuStart = cpuSeconds();
        wall.start();
        QTimer::singleShot(int(seconds * 1000), [&] {
            const double cpuPercent = 100.0 * (cpuSeconds() - cpuStart) / (wall.elapsed() / 1e3);
            const double rss = residentMegabytes();
            const bool cpuOk = cpuPercent < 1.0;
            const bool rssOk = rss < 80.0;
            std::printf("idle CPU over %.0f s: %.2f %% of one core (target < 1 %%): %s\n",
                        wall.elapsed() / 1e3, cpuPercent, cpuOk ? "ok" : "FAILED");
            std::printf("resident memory with two pets loaded: %.1f MB (target < 80 MB): %s\n", rss,
                        rssOk ? "ok" : "FAILED");
            status = cpuOk && rssOk ? 0 : 1;
            QCoreApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
