// CPU use of the app while the pet idles and animates (target: under 1 % of one core), its
// resident memory at start (target: under 80 MB), and its resident memory after switching pets
// back and forth, as the menu's pet rows do, and ending on the pet it started with (target:
// within 5 MB of the start). Runs the app's own launch sequence in this process; needs a display
// and at least two pets.
// Usage: bench_app_idle [seconds]   (default 60)

#include "AppDelegate.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "PetList.h"
#include "PetWindowController.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

constexpr int switches = 20;
constexpr double cpuTargetPercent = 1.0;
constexpr double memoryTargetMb = 80.0;
constexpr double growthTargetMb = 5.0;

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

// Runs the event loop for `ms`, or until `done` holds when given; whether it holds.
bool run(int ms, const std::function<bool()>& done = {}) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done && done()) {
            loop.quit();
        }
    });
    if (done) {
        check.start(20);
    }
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return !done || done();
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
    PetList& pets = delegate.petList();
    const AvatarView* view = delegate.petWindow().window()->avatarView();
    if (pets.pets().size() < 2 || !pets.current()) {
        std::fprintf(stderr, "needs at least two pets, found %lld\n",
                     static_cast<long long>(pets.pets().size()));
        return 2;
    }
    const Pet first = *pets.current();
    const Pet other = first.id == pets.pets()[0].id ? pets.pets()[1] : pets.pets()[0];
    // Let start-up work (the first sheet, first paints, the watcher's first poll) settle.
    run(3000);
    const double startMb = residentMegabytes();

    const double cpuStart = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    run(int(seconds * 1000));
    const double cpuPercent = 100.0 * (cpuSeconds() - cpuStart) / (wall.elapsed() / 1e3);

    for (int i = 0; i < switches; ++i) {
        const SpriteSheet* shown = view->sheet().get();
        pets.select(i % 2 == 0 ? other : first);
        if (!run(10000, [&] { return view->sheet() && view->sheet().get() != shown; })) {
            std::fprintf(stderr, "the chosen pet did not show up\n");
            return 2;
        }
        run(300);
    }
    run(3000);
    const double switchedMb = residentMegabytes();

    const bool cpuOk = cpuPercent < cpuTargetPercent;
    const bool startOk = startMb < memoryTargetMb;
    const bool switchedOk = switchedMb - startMb <= growthTargetMb;
    std::printf("idle CPU over %.0f s: %.2f %% of one core (target < 1 %%): %s\n", seconds,
                cpuPercent, cpuOk ? "ok" : "FAILED");
    std::printf("resident memory at start with %s: %.1f MB (target < 80 MB): %s\n",
                qPrintable(first.displayName), startMb, startOk ? "ok" : "FAILED");
    std::printf("resident memory after %d switches back to it: %.1f MB, %+.1f MB (target: within "
                "5 MB): %s\n",
                switches, switchedMb, switchedMb - startMb, switchedOk ? "ok" : "FAILED");
    return cpuOk && startOk && switchedOk ? 0 : 1;
}
