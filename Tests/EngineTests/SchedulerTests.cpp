#include "QtScheduler.h"
#include "VirtualScheduler.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>

TEST(VirtualSchedulerTest, FiresInTimeOrderHonouringTimersArmedAndCancelledByHandlers) {
    VirtualScheduler clock;
    std::string log;
    std::unique_ptr<ScheduledTimer> late, chained, repeating;
    late = clock.schedule(0.3, [&] { log += "late "; });
    auto first = clock.schedule(0.1, [&] {
        log += "first@" + std::to_string(clock.now()).substr(0, 3) + " ";
        chained = clock.schedule(0.1, [&] { log += "chained "; });
        late.reset();
    });
    repeating = clock.schedule(
        0.15,
        [&] {
            log += "tick ";
            if (log.find("chained") != std::string::npos) {
                repeating.reset();
            }
        },
        true);

    clock.advance(1);
    EXPECT_EQ(log, "first@0.1 tick chained tick ");
    EXPECT_DOUBLE_EQ(clock.now(), 1);
    EXPECT_EQ(clock.pendingTimerCount(), 0);
}

TEST(QtSchedulerTest, RealTimerFiresOnTheEventLoopAndDestroyedTimersNeverDo) {
    QtScheduler scheduler;
    const double start = scheduler.now();
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit); // a safety net, not a timing rule
    bool cancelledFired = false;
    auto cancelled = scheduler.schedule(0.001, [&] { cancelledFired = true; });
    int ticks = 0;
    std::unique_ptr<ScheduledTimer> repeating;
    repeating = scheduler.schedule(
        0.005,
        [&] {
            if (++ticks == 2) {
                repeating.reset();
                loop.quit();
            }
        },
        true);
    cancelled.reset();

    loop.exec();
    EXPECT_EQ(ticks, 2);
    EXPECT_FALSE(cancelledFired);
    EXPECT_GE(scheduler.now() - start, 0.009);
}
