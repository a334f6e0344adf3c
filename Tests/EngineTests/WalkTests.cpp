#include "EngineFixture.h"

using WalkTest = EngineTest;

namespace {
const TerminalOrigin iTerm{"iTerm.app", "w0t0p0", "/dev/ttys003", std::nullopt};
}

TEST_F(WalkTest, SidewaysStepsRunAndRestingStandsIdleUntilRelease) {
    engine.sheetLoaded();
    deliver("waiting");
    EXPECT_FALSE(engine.endWalk()); // a plain click
    engine.walkStep(0.5);
    EXPECT_FALSE(engine.isWalking());

    engine.walkStep(2);
    EXPECT_EQ(engine.currentState(), HatchState::runningRight);
    clock.advance(0.1);
    engine.walkStep(-2);
    EXPECT_EQ(engine.currentState(), HatchState::runningLeft);
    engine.playJump();
    EXPECT_EQ(engine.currentState(), HatchState::runningLeft);
    clock.advance(0.119);
    EXPECT_EQ(engine.currentState(), HatchState::runningLeft);
    clock.advance(0.001);
    EXPECT_EQ(engine.currentState(), HatchState::idle);
    EXPECT_TRUE(engine.isWalking());

    EXPECT_TRUE(engine.endWalk());
    EXPECT_FALSE(engine.isWalking());
    EXPECT_EQ(engine.currentState(), HatchState::waiting);
    EXPECT_EQ(clock.pendingTimerCount(), 1);
}

TEST_F(WalkTest, OnlyTheLastStateDeliveredDuringTheWalkIsAppliedOnRelease) {
    recordBubble();
    deliver("idle", "before");
    engine.walkStep(3);
    deliver("running", "one");
    deliver("failed", "two", std::nullopt, std::nullopt, false, iTerm);
    EXPECT_EQ(engine.sourceOrigin(), iTerm);
    deliver("review", "three", "確認");
    EXPECT_EQ(engine.sourceOrigin(), std::nullopt);
    deliver("waiting", "four", std::nullopt, std::nullopt, false, iTerm);
    EXPECT_EQ(engine.currentState(), HatchState::runningRight);
    EXPECT_EQ(engine.bubble().text, "before");

    clock.advance(0.2);
    EXPECT_TRUE(engine.endWalk());
    clock.advance(0.3); // the pet stood idle at 0.12, so the release waits until 0.52
    EXPECT_EQ(engine.currentState(), HatchState::idle);
    clock.advance(0.02);
    EXPECT_EQ(engine.currentState(), HatchState::waiting);
    EXPECT_EQ(shown, (std::vector<QString>{"before", "four"}));
    EXPECT_EQ(engine.sourceOrigin(), iTerm);
}

TEST_F(WalkTest, StateHeldBackByTheThrottleBeforeTheWalkWaitsForTheRelease) {
    deliver("running", "a");
    clock.advance(0.1);
    deliver("failed", "b");
    clock.advance(0.1);
    engine.walkStep(-1);
    clock.advance(0.1);
    engine.walkStep(-1);
    clock.advance(0.1); // the throttle window ends while the pet is held
    EXPECT_EQ(engine.currentState(), HatchState::runningLeft);
    EXPECT_EQ(engine.bubble().text, "a");

    engine.endWalk();
    clock.advance(0.4);
    EXPECT_EQ(engine.currentState(), HatchState::failed);
    EXPECT_EQ(engine.bubble().text, "b");
}
