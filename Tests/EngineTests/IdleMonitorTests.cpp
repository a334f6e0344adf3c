#include "EngineFixture.h"
#include "IdleMonitor.h"

#include <memory>
#include <optional>
#include <vector>

namespace {

// The monitor in virtual time, reading a hand-set idle time and greeting through the real engine.
class IdleMonitorTest : public EngineTest {
protected:
    void SetUp() override {
        monitor.start();
        recordBubble();
    }

    // Lets one check happen with `seconds` of rest.
    void tick(std::optional<double> seconds) {
        idle = seconds;
        clock.advance(IdleMonitor::intervalSeconds);
    }

    std::optional<double> idle = 0.0;
    int queries = 0;
    int returns = 0;
    IdleMonitor monitor{clock,
                        [this](const IdleMonitor::IdleReply& reply) {
                            ++queries;
                            reply(idle);
                        },
                        [this] {
                            ++returns;
                            engine.replayRecap();
                        }};
};

TEST_F(IdleMonitorTest, ChecksEveryTwoSecondsFromStart) {
    clock.advance(1.9);
    EXPECT_EQ(queries, 0);
    clock.advance(0.1);
    EXPECT_EQ(queries, 1);
    clock.advance(6);
    EXPECT_EQ(queries, 4);
    monitor.start();
    clock.advance(1.9);
    EXPECT_EQ(queries, 4) << "starting again restarts the interval instead of adding a timer";
    clock.advance(0.1);
    EXPECT_EQ(queries, 5);
}

TEST_F(IdleMonitorTest, AwayFromThreeMinutesOnAndOneReturnPerBreak) {
    tick(179.9);
    EXPECT_FALSE(monitor.wasAway()) << "a break shorter than three minutes is no absence";
    tick(1);
    EXPECT_EQ(returns, 0);

    tick(180.0);
    EXPECT_TRUE(monitor.wasAway()) << "exactly three minutes counts as away";
    EXPECT_EQ(returns, 0) << "nothing happens while away";
    tick(3600);
    EXPECT_EQ(returns, 0);

    tick(0.5);
    EXPECT_FALSE(monitor.wasAway());
    EXPECT_EQ(returns, 1);
    tick(0.5);
    tick(2);
    EXPECT_EQ(returns, 1) << "further input does not greet again";

    tick(200);
    tick(0);
    EXPECT_EQ(returns, 2) << "the next full absence greets again";
}

TEST_F(IdleMonitorTest, ADesktopThatCannotTellChangesNothing) {
    tick(std::nullopt);
    EXPECT_FALSE(monitor.wasAway());
    tick(300);
    tick(std::nullopt);
    EXPECT_TRUE(monitor.wasAway());
    EXPECT_EQ(returns, 0);
    tick(1);
    EXPECT_EQ(returns, 1);
}

TEST_F(IdleMonitorTest, TheReturnShowsTheLastRecapOnceWhileThePetIsIdle) {
    deliver("idle", "待機中", std::nullopt, QStringLiteral("テストを直して全部通った"));
    clock.advance(40); // the recap's own display has ended
    shown.clear();
    tick(181);
    EXPECT_TRUE(shown.empty());
    tick(0.2);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], QStringLiteral("テストを直して全部通った"));
    EXPECT_EQ(engine.bubble().label, QStringLiteral("おつかれ"));
    tick(0.2);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(IdleMonitorTest, AReturnWhileThePetIsBusyIsUsedUp) {
    deliver("idle", "待機中", std::nullopt, QStringLiteral("前回のまとめ"));
    clock.advance(40);
    deliver("running", "$ npm test");
    clock.advance(1);
    ASSERT_EQ(engine.currentState(), HatchState::running);
    shown.clear();
    tick(200);
    tick(0.1);
    EXPECT_FALSE(monitor.wasAway());
    EXPECT_TRUE(shown.empty()) << "a running pet does not greet";

    deliver("idle", "待機中");
    clock.advance(1);
    shown.clear();
    tick(0.1);
    tick(0.1);
    EXPECT_TRUE(shown.empty()) << "the used-up return is not shown later either";
}

TEST_F(IdleMonitorTest, AnAnswerStillOutHoldsBackTheNextQuestions) {
    // A desktop service that answers late, or after the monitor is gone.
    std::vector<IdleMonitor::IdleReply> pending;
    int late = 0;
    auto slow = std::make_unique<IdleMonitor>(
        clock, [&](IdleMonitor::IdleReply reply) { pending.push_back(std::move(reply)); },
        [&] { ++late; });
    slow->start();
    clock.advance(10 * IdleMonitor::intervalSeconds);
    ASSERT_EQ(pending.size(), 1u) << "questions piled up behind one that is not answered";
    pending.back()(IdleMonitor::awaySeconds);
    EXPECT_TRUE(slow->wasAway());
    clock.advance(IdleMonitor::intervalSeconds);
    ASSERT_EQ(pending.size(), 2u);
    pending.back()(0.5);
    EXPECT_EQ(late, 1) << "the late answer still counts";

    clock.advance(IdleMonitor::intervalSeconds);
    ASSERT_EQ(pending.size(), 3u);
    slow.reset();
    // An answer for a monitor that is gone changes nothing.
    pending.back()(0.5);
    EXPECT_EQ(late, 1);
}

} // namespace
