#include "EngineFixture.h"

using BubbleTest = EngineTest;

TEST_F(BubbleTest, MessageIsCompactedAndBlankHidesTheBubbleIgnoringTheLabel) {
    deliver("running", "$ npm\n\trun   build", "実行中");
    EXPECT_EQ(engine.bubble(), (AvatarEngine::Bubble{true, "$ npm run build", "実行中"}));
    deliver("running", "x", "");
    EXPECT_EQ(engine.bubble().label, std::nullopt);
    deliver("running", " \n ", "実行中");
    EXPECT_FALSE(engine.bubble().visible);
}

TEST_F(BubbleTest, ThinkingRotatesFromThePhraseAfterTheSeedAsPlainText) {
    deliver("review", "考え中…", "思考中", std::nullopt, true);
    EXPECT_EQ(engine.bubble(), (AvatarEngine::Bubble{true, "考え中…", "思考中"}));
    for (const char* next : {"次どうしよ…", "うーん…", "もうちょい…", "考え中…"}) {
        clock.advance(4.5);
        EXPECT_EQ(engine.bubble(), (AvatarEngine::Bubble{true, next, std::nullopt}));
    }

    deliver("review", "Planning the refactor", std::nullopt, std::nullopt, true);
    clock.advance(4.5);
    EXPECT_EQ(engine.bubble().text, "次どうしよ…");
}

TEST_F(BubbleTest, ADecomposedSeedStillContinuesWithTheNextPhrase) {
    // "ど" written as "と" plus the combining voiced mark, as some systems store it.
    const QString decomposed =
        QStringLiteral("次") + QString::fromUtf8("\u3068\u3099") + QStringLiteral("うしよ…");
    ASSERT_NE(decomposed, QStringLiteral("次どうしよ…"));
    deliver("review", decomposed, std::nullopt, std::nullopt, true);
    clock.advance(4.5);
    EXPECT_EQ(engine.bubble().text, "うーん…");
}

TEST_F(BubbleTest, RotationRestartsOnRedeliveryAndStopsOnAChangeOrAPlainDelivery) {
    deliver("review", "考え中…", std::nullopt, std::nullopt, true);
    clock.advance(3);
    deliver("review", "うーん…", std::nullopt, std::nullopt, true);
    clock.advance(4.4);
    EXPECT_EQ(engine.bubble().text, "うーん…");
    clock.advance(0.1);
    EXPECT_EQ(engine.bubble().text, "もうちょい…");

    deliver("review", "読み込み中");
    clock.advance(20);
    EXPECT_EQ(engine.bubble().text, "読み込み中");

    deliver("review", "考え中…", std::nullopt, std::nullopt, true);
    engine.walkStep(3); // any change of animation ends the rotation, and it does not resume
    engine.endWalk();
    clock.advance(20);
    EXPECT_EQ(engine.bubble().text, "考え中…");
    deliver("review", "  ", std::nullopt, std::nullopt, true);
    clock.advance(20);
    EXPECT_FALSE(engine.bubble().visible);
    EXPECT_EQ(clock.pendingTimerCount(), 0);
}

TEST_F(BubbleTest, RecapIsKeptAndReplayedOnlyWhileIdleThenHidden) {
    engine.replayRecap(); // nothing stored yet
    EXPECT_FALSE(engine.bubble().visible);

    deliver("waving", "おわり", std::nullopt, "🔧 1コマンド");
    EXPECT_EQ(engine.bubble().text, "おわり");
    deliver("waving", "おわり", std::nullopt, "");
    EXPECT_EQ(engine.lastRecap(), "🔧 1コマンド");

    clock.advance(1);
    deliver("running", "$ ls");
    engine.replayRecap();
    EXPECT_EQ(engine.bubble().text, "$ ls");

    clock.advance(1);
    deliver("idle");
    engine.replayRecap();
    EXPECT_EQ(engine.bubble(), (AvatarEngine::Bubble{true, "🔧 1コマンド", "おつかれ"}));
    clock.advance(29.99);
    EXPECT_TRUE(engine.bubble().visible);
    clock.advance(0.01);
    EXPECT_FALSE(engine.bubble().visible);
}

TEST_F(BubbleTest, RecapAutoHideIsCancelledByADeliveryAndSparesANonIdlePet) {
    engine.sheetLoaded();
    deliver("idle", std::nullopt, std::nullopt, "✏️ 2ファイル");
    engine.replayRecap();
    clock.advance(10);
    deliver("idle", "ただいま");
    clock.advance(30);
    EXPECT_TRUE(engine.bubble().visible);

    engine.replayRecap();
    clock.advance(29.9);
    engine.walkStep(4);
    clock.advance(0.1);
    EXPECT_TRUE(engine.bubble().visible);
}

TEST_F(BubbleTest, LabelAndMessageAreBoundedWhateverTheirCharactersHold) {
    const QString marks(20000, QChar(0x0301));
    deliver("running", "a" + marks + " b", "  実行\n中  " + QString(3'000'000, QLatin1Char('x')));
    EXPECT_EQ(engine.bubble().text, "a" + QString(15, QChar(0x0301)) + " b");
    ASSERT_TRUE(engine.bubble().label);
    EXPECT_EQ(*engine.bubble().label, "実行 中 " + QString(42, QLatin1Char('x')) + "…");
    deliver("running", "x", " \n ");
    EXPECT_EQ(engine.bubble().label, std::nullopt);
}
