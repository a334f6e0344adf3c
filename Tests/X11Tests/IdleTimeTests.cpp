#include "AppDelegate.h"
#include "Platform.h"
#include "PlatformFactory.h"
#include "QtScheduler.h"
#include "SavedEnvironment.h"
#include "X11Fixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace {

// The idle time the X server keeps through its screen saver extension, against real input.
class IdleTimeTest : public X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            GTEST_SKIP() << "xdotool is not installed (scripts/setup installs it)";
        }
        platform_ = PlatformFactory::create();
    }

    double idle() const {
        std::optional<std::optional<double>> answer;
        QObject context;
        platform_->secondsSinceLastInput(&context,
                                         [&](std::optional<double> seconds) { answer = seconds; });
        settle([&] { return answer.has_value(); });
        EXPECT_TRUE(answer && *answer) << "the X server answers";
        return answer && *answer ? **answer : -1;
    }

    // Waits long enough without input for the idle time to reach `seconds`.
    double restFor(double seconds) const {
        QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        return idle();
    }

    static void xdotool(const QStringList& arguments) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
    }

    std::unique_ptr<Platform> platform_;
};

TEST_F(IdleTimeTest, GrowsWhileNothingHappensAndRestartsOnAnyInput) {
    xdotool({"mousemove", "100", "100"});
    EXPECT_GE(restFor(1.2), 1.1);
    xdotool({"mousemove", "300", "200"});
    EXPECT_LT(idle(), 0.5) << "a pointer move is input";

    EXPECT_GE(restFor(1.2), 1.1);
    xdotool({"key", "Shift_L"});
    EXPECT_LT(idle(), 0.5) << "a modifier key alone is input";

    EXPECT_GE(restFor(1.2), 1.1);
    xdotool({"click", "4"});
    EXPECT_LT(idle(), 0.5) << "the wheel is input";
}

// On Wayland the idle time comes from the desktop's D-Bus services; the session bus is the one
// Tests/X11Tests/run-on-x11 starts for the test program.
using IdleServiceTest = X11Fixture;

TEST_F(IdleServiceTest, OneThatNeverAnswersDoesNotStallThePet) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        GTEST_SKIP() << "no session bus of the test's own (scripts/setup installs dbus-daemon)";
    }
    QProcess service;
    service.start(QStringLiteral(MOFLI_HUNG_IDLE_SERVICE), QStringList());
    ASSERT_TRUE(service.waitForReadyRead(10000) && service.readLine() == "ready\n");
    const SavedEnvironment saved{"XDG_SESSION_TYPE"};
    qputenv("XDG_SESSION_TYPE", "wayland");

    const std::unique_ptr<Platform> platform = PlatformFactory::create();
    QtScheduler clock;
    AppDelegate app(*platform, clock);
    app.launch();
    // The GUI thread's heartbeat while the idle monitor asks, every two seconds.
    QElapsedTimer sinceBeat;
    sinceBeat.start();
    int stalls = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        // Each question waited for a quarter of a second on the GUI thread, twice.
        stalls += sinceBeat.restart() > 400 ? 1 : 0;
    });
    beat.start(20);
    settle([] { return false; }, 7000);
    beat.stop();
    int calls = 0;
    while (service.canReadLine()) {
        calls += service.readLine() == "called\n" ? 1 : 0;
    }
    service.kill();
    service.waitForFinished();
    EXPECT_GE(calls, 2) << "the services were asked";
    EXPECT_LE(stalls, 1) << "the pet stood still while the services were asked";
}

} // namespace
