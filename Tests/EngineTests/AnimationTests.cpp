#include "EngineFixture.h"

using AnimationTest = EngineTest;

TEST_F(AnimationTest, EachFrameStaysForItsOwnDurationAndTheRowLoops) {
    int changes = 0;
    engine.onChanged = [&] {
        ++changes;
    };
    engine.sheetLoaded();
    const auto durations = HatchState(HatchState::idle).frameDurations();
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < durations.size(); ++i) {
            EXPECT_EQ(engine.currentFrameIndex(), int(i));
            clock.advance(durations[i] - 1e-6);
            EXPECT_EQ(engine.currentFrameIndex(), int(i));
            clock.advance(1e-6);
        }
    }
    EXPECT_EQ(engine.currentFrameIndex(), 0);
    EXPECT_EQ(changes, 1 + 2 * int(durations.size()));
    EXPECT_EQ(clock.pendingTimerCount(), 1);
}

TEST_F(AnimationTest, DeliveredWaveReturnsToIdleAfterItsLastFrame) {
    engine.sheetLoaded();
    deliver("running");
    clock.advance(1);
    deliver("done");
    EXPECT_EQ(engine.currentState(), HatchState::waving);
    clock.advance(0.7 - 1e-6);
    EXPECT_EQ(engine.currentState(), HatchState::waving);
    EXPECT_EQ(engine.currentFrameIndex(), 3);
    clock.advance(1e-6);
    EXPECT_EQ(engine.currentState(), HatchState::idle);
}

TEST_F(AnimationTest, JumpReturnsToTheStateItInterrupted) {
    engine.sheetLoaded();
    deliver("running");
    engine.playJump();
    clock.advance(0.84);
    EXPECT_EQ(engine.currentState(), HatchState::running);

    engine.playWave();
    clock.advance(0.2);
    engine.playJump(); // a one-shot is never returned to
    clock.advance(0.84);
    EXPECT_EQ(engine.currentState(), HatchState::idle);
}

TEST_F(AnimationTest, JumpWhileJumpingRestartsAtFrameZero) {
    engine.sheetLoaded();
    engine.playJump();
    clock.advance(0.3);
    EXPECT_EQ(engine.currentFrameIndex(), 2);
    engine.playJump();
    EXPECT_EQ(engine.currentFrameIndex(), 0);
    clock.advance(0.83);
    EXPECT_EQ(engine.currentState(), HatchState::jumping);
    clock.advance(0.01);
    EXPECT_EQ(engine.currentState(), HatchState::idle);
    EXPECT_EQ(clock.pendingTimerCount(), 1);
}

TEST_F(AnimationTest, UnloadKeepsStateAndBubbleAndLoadResumesFromFrameZero) {
    EXPECT_TRUE(engine.placeholderVisible());
    engine.playWave(); // no sheet yet
    EXPECT_EQ(engine.currentState(), HatchState::idle);

    engine.sheetLoaded();
    EXPECT_FALSE(engine.placeholderVisible());
    deliver("review", "考え中…", std::nullopt, std::nullopt, true);
    clock.advance(0.5);
    engine.unloadPet();
    EXPECT_TRUE(engine.placeholderVisible());
    EXPECT_EQ(clock.pendingTimerCount(), 0);
    EXPECT_EQ(engine.currentState(), HatchState::review);
    EXPECT_EQ(engine.bubble().text, "考え中…");

    engine.playWave();
    clock.advance(10);
    EXPECT_EQ(engine.currentState(), HatchState::review);
    EXPECT_EQ(engine.bubble().text, "考え中…");

    deliver("failed");
    EXPECT_EQ(engine.currentState(), HatchState::failed);
    engine.sheetLoaded();
    EXPECT_FALSE(engine.placeholderVisible());
    EXPECT_EQ(engine.currentFrameIndex(), 0);
    EXPECT_EQ(clock.pendingTimerCount(), 1);
}

TEST_F(AnimationTest, ExactlyOneFrameTimerStaysLiveWhateverHappens) {
    engine.sheetLoaded();
    const char* states[] = {"running", "done", "failed", "jump", "review", "idle", "waiting"};
    for (int i = 0; i < 40; ++i) {
        deliver(states[i % 7], "m", std::nullopt, "recap", i % 3 == 0);
        if (i % 4 == 0) {
            engine.playJump();
        }
        if (i % 5 == 0) {
            engine.walkStep(i % 2 ? 3 : -3);
        }
        if (i % 6 == 0) {
            engine.endWalk();
            engine.replayRecap();
        }
        clock.advance(0.05 * (i % 9));
    }
    engine.endWalk();
    deliver("idle");
    clock.advance(60);
    EXPECT_EQ(clock.pendingTimerCount(), 1);
}
