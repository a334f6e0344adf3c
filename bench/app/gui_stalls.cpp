// The GUI thread's longest stall while the app does what used to make it wait: a 1 ms heartbeat
// timer runs beside the app's own launch sequence, and each case reports the longest gap between
// two beats (target: none over 16 ms, one frame at 60 Hz). Needs an X server with a window
// manager and a session bus (bench/gui-stalls brings them up), and tmux.
// Usage: bench_gui_stalls <folder with a spritesheet.png to copy>

#include "AppDelegate.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "BenchEnvironment.h"
#include "ContextMenu.h"
#include "Paths.h"
#include "PetList.h"
#include "PetPickerWindow.h"
#include "PetTile.h"
#include "PetWindowController.h"
#include "PickerController.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int petCount = 200;
constexpr int hungServers = 10;
constexpr qint64 targetMs = 16;

// Beats every millisecond on the GUI thread and keeps the longest gap between two beats.
class Heartbeat {
public:
    Heartbeat() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, sinceBeat_.nsecsElapsed());
            sinceBeat_.restart();
        });
    }

    // Runs the event loop for the case: `start` kicks it off, then the loop runs until `done`
    // holds (at most `limitMs`) and `afterMs` longer. The longest gap in milliseconds.
    double measure(const std::function<void()>& start, const std::function<bool()>& done,
                   int limitMs, int afterMs) {
        longest_ = 0;
        sinceBeat_.start();
        timer_.start(1);
        // The case starts from a beat, as a click would arrive from the event loop.
        QTimer::singleShot(0, start);
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done() && elapsed.elapsed() < limitMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (!done()) {
            std::fprintf(stderr, "the case did not finish within %d ms\n", limitMs);
            std::exit(2);
        }
        elapsed.restart();
        while (elapsed.elapsed() < afterMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        timer_.stop();
        return std::max(longest_, sinceBeat_.nsecsElapsed()) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer sinceBeat_;
    qint64 longest_ = 0;
};

bool writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
           file.commit();
}

bool addPet(const QString& petsDir, const QString& id, const QString& name, const QString& sheet) {
    const QString package = petsDir + QLatin1Char('/') + id;
    return writeFile(package + "/pet.json",
                     QStringLiteral(R"({"id":"%1","displayName":"%2","spritesheetPath":"%3"})")
                         .arg(id, name, QFileInfo(sheet).fileName())
                         .toUtf8()) &&
           QFile::copy(sheet, package + QLatin1Char('/') + QFileInfo(sheet).fileName());
}

// The largest sheet there may be: three pixels per unit, 4608 × 5616, as a 216-dpi PNG.
bool writeLargeSheet(const QString& from, const QString& to) {
    QImage sheet(from);
    if (sheet.isNull()) {
        return false;
    }
    sheet = sheet.scaled(sheet.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    constexpr int dotsPerMeter = 8504; // 216 dpi
    sheet.setDotsPerMeterX(dotsPerMeter);
    sheet.setDotsPerMeterY(dotsPerMeter);
    QDir().mkpath(QFileInfo(to).path());
    return sheet.save(to, "PNG");
}

// A socket that takes connections and never answers them, as a hung tmux server.
int listenWithoutAnswering(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || name.size() >= qsizetype(sizeof address.sun_path)) {
        return -1;
    }
    std::copy(name.cbegin(), name.cend(), address.sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QString tmux(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("tmux"), arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void sendMouse(QWidget* view, QEvent::Type type, QPointF pos) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, pos, view->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &event);
}

bool report(const char* what, double gapMs) {
    const bool met = gapMs <= targetMs;
    std::printf("%-58s max_gap_ms=%.0f (target <= %lld) %s\n", what, gapMs,
                static_cast<long long>(targetMs), met ? "ok" : "MISSED");
    std::fflush(stdout);
    return met;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gui_stalls <pet folder>\n");
        return 2;
    }
    BenchEnvironment environment;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (QGuiApplication::platformName() != QLatin1String("xcb") ||
        qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::fprintf(stderr, "needs an X server, a window manager and a session bus (run "
                             "bench/gui-stalls)\n");
        return 2;
    }
    QSettings().setValue("didAttemptInitialLink", true);
    QSettings().setValue("selectedPetId", "pet-000");

    const QString petsDir = environment.path("pets");
    qputenv("MOFLI_PETS_DIR", QFile::encodeName(petsDir));
    const QString sheet = QDir(QString::fromLocal8Bit(argv[1])).filePath("spritesheet.png");
    const QString largeSheet = environment.path("large/spritesheet.png");
    bool written = writeLargeSheet(sheet, largeSheet) &&
                   addPet(petsDir, QStringLiteral("large"), QStringLiteral("Large"), largeSheet);
    for (int i = 0; i < petCount && written; ++i) {
        const QString id = QStringLiteral("pet-%1").arg(i, 3, 10, QChar('0'));
        written = addPet(petsDir, id, QStringLiteral("Pet %1").arg(i, 3, 10, QChar('0')), sheet);
    }
    if (!written) {
        std::fprintf(stderr, "cannot write the pet packages from %s\n", qPrintable(sheet));
        return 2;
    }

    // A tmux server of the benchmark's own with one pane, listed after ten that never answer.
    const QString tmuxDir = environment.path("tmux");
    qputenv("TMUX_TMPDIR", QFile::encodeName(tmuxDir));
    qunsetenv("TMUX");
    QDir().mkpath(tmuxDir);
    tmux({"new-session", "-d", "-s", "bench", "/bin/sh"});
    const QString paneTty = tmux({"display-message", "-p", "-t", "bench", "#{pane_tty}"});
    const QString serverDir = tmuxDir + QStringLiteral("/tmux-") + QString::number(::geteuid());
    std::vector<int> hung;
    for (int i = 0; i < hungServers; ++i) {
        hung.push_back(listenWithoutAnswering(serverDir + QStringLiteral("/a-hung%1").arg(i)));
    }
    if (!paneTty.startsWith(QLatin1String("/dev/")) ||
        std::count(hung.cbegin(), hung.cend(), -1) > 0) {
        std::fprintf(stderr, "tmux did not start, or its hung servers could not be made\n");
        return 2;
    }

    const std::unique_ptr<Platform> platform = PlatformFactory::create();
    QtScheduler scheduler;
    AppDelegate delegate(*platform, scheduler);
    delegate.launch();
    AvatarView* view = delegate.petWindow().window()->avatarView();
    Heartbeat heartbeat;
    // Start-up work (first paints, the watcher's first poll) settles first.
    heartbeat.measure([] {}, [] { return true; }, 0, 2000);
    bool met = true;
    double longest = 0;
    const auto record = [&](const char* what, double gap) {
        met = report(what, gap) && met;
        longest = std::max(longest, gap);
    };

    PetList& pets = delegate.petList();
    const auto large = std::find_if(pets.pets().cbegin(), pets.pets().cend(),
                                    [](const Pet& pet) { return pet.id == "large"; });
    if (large == pets.pets().cend()) {
        std::fprintf(stderr, "the large pet was not found\n");
        return 2;
    }
    const Pet largePet = *large;
    record("choosing a pet whose sheet is 4608 x 5616",
           heartbeat.measure([&] { pets.select(largePet); },
                             [&] { return view->sheet() && view->sheet()->pixelsPerUnit() == 3; },
                             20000, 500));

    record("opening the picker with 200 pets",
           heartbeat.measure([&] { delegate.picker().open(); },
                             [&] {
                                 const PetPickerWindow* picker = delegate.picker().window();
                                 if (!picker || picker->tiles().size() < petCount) {
                                     return false;
                                 }
                                 const QList<PetTile*> tiles = picker->tiles();
                                 return std::all_of(
                                     tiles.cbegin(), tiles.cend(),
                                     [](const PetTile* tile) { return tile->hasPreview(); });
                             },
                             60000, 500));
    delegate.picker().window()->close();

    // A state from the pane, so that a click on its bubble asks the tmux servers.
    if (!writeFile(Paths::stateFile(), R"({"state":"running","message":"$ npm test","tty":")" +
                                           paneTty.toUtf8() + R"("})")) {
        std::fprintf(stderr, "cannot write the state file\n");
        return 2;
    }
    heartbeat.measure([] {},
                      [&] {
                          return view->engine().sourceOrigin() &&
                                 view->engine().sourceOrigin()->tty == paneTty &&
                                 !view->bubbleRect().isEmpty();
                      },
                      5000, 0);
    record("clicking the bubble with 10 tmux servers that never answer",
           heartbeat.measure(
               [&] {
                   const QPointF onBubble = QRectF(view->bubbleRect()).center();
                   sendMouse(view, QEvent::MouseButtonPress, onBubble);
                   sendMouse(view, QEvent::MouseButtonRelease, onBubble);
               },
               [] { return true; }, 0, 2000));

    // On Wayland the idle time comes from the desktop's D-Bus services, asked every 2 s.
    QProcess service;
    service.start(QStringLiteral(MOFLI_HUNG_IDLE_SERVICE), QStringList());
    if (!service.waitForReadyRead(10000) || service.readLine() != "ready\n") {
        std::fprintf(stderr, "the hung idle service did not start\n");
        return 2;
    }
    qputenv("XDG_SESSION_TYPE", "wayland");
    record("polling the idle time against a D-Bus service that hangs",
           heartbeat.measure([] {}, [] { return true; }, 0, 5000));
    int calls = 0;
    while (service.canReadLine()) {
        calls += service.readLine() == "called\n" ? 1 : 0;
    }
    service.kill();
    service.waitForFinished();
    if (calls == 0) {
        std::fprintf(stderr, "the idle service was never asked\n");
        return 2;
    }

    tmux({"kill-server"});
    for (int fd : hung) {
        ::close(fd);
    }
    std::printf("max_gap_ms=%.0f\n", longest);
    return met ? 0 : 1;
}
