#include "Platform.h"
#include "X11Fixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThread>

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
        platform_ = Platform::create();
    }

    double idle() const {
        const std::optional<double> seconds = platform_->secondsSinceLastInput();
        EXPECT_TRUE(seconds) << "the X server answers";
        return seconds.value_or(-1);
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

} // namespace
