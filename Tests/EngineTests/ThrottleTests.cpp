#include "EngineFixture.h"

using ThrottleTest = EngineTest;

TEST_F(ThrottleTest, FirstChangeAtClockZeroIsImmediateAndTheNextWaitsForTheWindow) {
    deliver("running", "a");
    EXPECT_EQ(engine.currentState(), HatchState::running);

    clock.advance(0.1);
    deliver("failed", "b");
    clock.advance(0.299);
    EXPECT_EQ(engine.currentState(), HatchState::running);
    EXPECT_EQ(engine.bubble().text, "a");
    clock.advance(0.001);
    EXPECT_EQ(engine.currentState(), HatchState::failed);
    EXPECT_EQ(engine.bubble().text, "b");

    // The window counts from the last actual change, not from the delivery.
    clock.advance(0.5);
    deliver("waiting", "c");
    EXPECT_EQ(engine.currentState(), HatchState::waiting);
}

TEST_F(ThrottleTest, OnlyTheLastOfSeveralHeldBackStatesIsShownOnce) {
    recordBubble();
    deliver("running", "A");
    for (const char* name : {"B", "C", "D"}) {
        clock.advance(0.1);
        deliver(name == QStringLiteral("D") ? "review" : "failed", name);
    }
    EXPECT_EQ(engine.currentState(), HatchState::running);
    clock.advance(0.1);
    EXPECT_EQ(engine.currentState(), HatchState::review);
    clock.advance(2);
    EXPECT_EQ(shown, (std::vector<QString>{"A", "D"}));
    EXPECT_EQ(clock.pendingTimerCount(), 0);
}

TEST_F(ThrottleTest, SameStateDuringWindowRunsAtOnceAndHeldBackStillFollows) {
    deliver("running", "first");
    clock.advance(0.1);
    deliver("failed", "held");
    clock.advance(0.1);
    deliver("running", "again");
    EXPECT_EQ(engine.bubble().text, "again");
    EXPECT_EQ(engine.currentState(), HatchState::running);
    clock.advance(0.2);
    EXPECT_EQ(engine.currentState(), HatchState::failed);
    EXPECT_EQ(engine.bubble().text, "held");
}

TEST_F(ThrottleTest, FlushTimeIsFixedByTheFirstDeferral) {
    engine.sheetLoaded();
    deliver("running");
    clock.advance(0.1);
    deliver("failed");
    clock.advance(0.1);
    engine.playJump(); // a change at 0.2 that would move a recomputed flush to 0.6
    clock.advance(0.1);
    deliver("review");
    clock.advance(0.1);
    EXPECT_EQ(engine.currentState(), HatchState::review);
}
