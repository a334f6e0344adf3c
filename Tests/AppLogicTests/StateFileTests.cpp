#include "AvatarState.h"
#include "HatchState.h"
#include "TextFormat.h"

#include <gtest/gtest.h>

namespace {

AvatarState stateNamed(const char* name) {
    AvatarState state;
    state.state = QString::fromUtf8(name);
    return state;
}

std::optional<AvatarState> decode(const char* json) {
    return AvatarState::decode(QByteArray(json));
}

} // namespace

TEST(AvatarStateTest, IdleDefaultHasOnlyStateAndNoOrigin) {
    const auto state = decode(R"({"state":"idle","message":null})");
    ASSERT_TRUE(state);
    EXPECT_EQ(*state, stateNamed("idle"));
    EXPECT_FALSE(state->terminalOrigin());
    EXPECT_FALSE(state->isThinking());
}

TEST(AvatarStateTest, DecodesEveryKeyAndIgnoresUnknownOnes) {
    const auto state = decode(
        R"({"state":"running","message":"$ npm \u2026","label":"実行中","recap":"r",)"
        R"("thinking":true,"sessionId":"s","cwd":"\/home\/u","termProgram":"iTerm.app",)"
        R"("termSession":"w0t0p0:ABC","tty":"/dev/pts/3","termBundleId":"b","future":[1,{}]})");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->message, QStringLiteral("$ npm …"));
    EXPECT_EQ(state->label, QStringLiteral("実行中"));
    EXPECT_EQ(state->cwd, QStringLiteral("/home/u"));
    EXPECT_TRUE(state->isThinking());
    EXPECT_EQ(state->terminalOrigin(),
              (TerminalOrigin{QStringLiteral("iTerm.app"), QStringLiteral("w0t0p0:ABC"),
                              QStringLiteral("/dev/pts/3"), QStringLiteral("b")}));
}

TEST(AvatarStateTest, AnyTerminalFieldAloneFormsAnOrigin) {
    const auto state = decode(R"({"state":"waving","termBundleId":"com.example.term"})");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->terminalOrigin(), (TerminalOrigin{std::nullopt, std::nullopt, std::nullopt,
                                                       QStringLiteral("com.example.term")}));
    EXPECT_FALSE(state->message);
}

TEST(AvatarStateTest, TheTerminalWindowIdJoinsTheOriginWhenThere) {
    const auto withWindow = decode(R"({"state":"running","tty":"/dev/pts/4","termWindowId":"41"})");
    ASSERT_TRUE(withWindow);
    TerminalOrigin expected{std::nullopt, std::nullopt, QStringLiteral("/dev/pts/4"), std::nullopt};
    expected.windowId = QStringLiteral("41");
    EXPECT_EQ(withWindow->terminalOrigin(), expected);
    EXPECT_EQ(withWindow->encode(),
              QByteArray(R"({"state":"running","tty":"/dev/pts/4","termWindowId":"41"})"));

    const auto alone = decode(R"({"state":"running","termWindowId":"41"})");
    ASSERT_TRUE(alone && alone->terminalOrigin());
    EXPECT_EQ(alone->terminalOrigin()->windowId, QStringLiteral("41"));
    EXPECT_FALSE(decode(R"({"state":"running","termWindowId":41})"));
}

TEST(AvatarStateTest, ThinkingFalseAndNullAreNotThinking) {
    const auto thinkingFalse = decode(R"({"state":"review","thinking":false})");
    ASSERT_TRUE(thinkingFalse);
    EXPECT_EQ(thinkingFalse->thinking, false);
    EXPECT_FALSE(thinkingFalse->isThinking());
    const auto thinkingNull = decode(R"({"state":"review","thinking":null,"tty":null})");
    ASSERT_TRUE(thinkingNull);
    EXPECT_FALSE(thinkingNull->thinking);
    EXPECT_FALSE(thinkingNull->terminalOrigin());
}

TEST(AvatarStateTest, RejectsWrongTypesAndNonObjects) {
    for (const char* json : {
             R"({"message":"no state"})",
             R"({"state":1})",
             R"({"state":null})",
             R"({"state":"idle","message":5})",
             R"({"state":"idle","thinking":1})",
             R"({"state":"idle","thinking":"true"})",
             R"({"state":"idle","tty":["/dev/pts/1"]})",
             R"({"state":"idle","termBundleId":{}})",
             R"(["state","idle"])",
             R"("idle")",
             R"({"state":"idle"} trailing)",
             R"({"state":"idle")",
             "",
         }) {
        EXPECT_FALSE(decode(json)) << json;
    }
}

TEST(AvatarStateTest, EncodesPresentKeysInFieldOrderAndDecodesBack) {
    AvatarState state = stateNamed("waiting");
    state.message = QStringLiteral("say \"hi\"\n\\");
    state.thinking = true;
    state.tty = QStringLiteral("/dev/ttys001");
    EXPECT_EQ(state.encode(),
              QByteArray(R"({"state":"waiting","message":"say \"hi\"\n\\","thinking":true,)"
                         R"("tty":"/dev/ttys001"})"));
    EXPECT_EQ(AvatarState::decode(state.encode()), state);
    EXPECT_EQ(stateNamed("idle").encode(), QByteArray(R"({"state":"idle"})"));
}

TEST(HatchStateTest, RawNamesRoundTripInRowOrder) {
    int row = 0;
    for (HatchState state : HatchState::allCases()) {
        EXPECT_EQ(state.row(), row++);
        EXPECT_EQ(HatchState::fromRawValue(state.rawValue()), state);
        EXPECT_EQ(HatchState::fromHookState(state.rawValue()), state);
        EXPECT_GT(state.frameCount(), 0);
        EXPECT_LE(state.frameCount(), 8);
    }
    EXPECT_EQ(HatchState(HatchState::runningLeft).rawValue(), QStringLiteral("running-left"));
}

TEST(HatchStateTest, FrameDurationsAddUpToTheLoopLengths) {
    const std::pair<HatchState::Value, double> loops[] = {
        {HatchState::idle, 1.10},        {HatchState::runningRight, 1.06},
        {HatchState::runningLeft, 1.06}, {HatchState::waving, 0.70},
        {HatchState::jumping, 0.84},     {HatchState::failed, 1.22},
        {HatchState::waiting, 1.01},     {HatchState::running, 0.82},
        {HatchState::review, 1.03},
    };
    for (const auto& [value, length] : loops) {
        double sum = 0;
        for (double duration : HatchState(value).frameDurations()) {
            sum += duration;
        }
        EXPECT_NEAR(sum, length, 1e-9) << HatchState(value).rawValue().toStdString();
    }
    EXPECT_EQ(HatchState(HatchState::idle).frameDurations(),
              (std::vector<double>{0.28, 0.11, 0.11, 0.14, 0.14, 0.32}));
}

TEST(HatchStateTest, AliasesAndFallbackToIdle) {
    const std::pair<const char*, HatchState::Value> cases[] = {
        {"thinking", HatchState::review}, {"working", HatchState::running},
        {"typing", HatchState::running},  {"done", HatchState::waving},
        {"success", HatchState::waving},  {"celebrate", HatchState::waving},
        {"error", HatchState::failed},    {"fail", HatchState::failed},
        {"sleeping", HatchState::idle},   {"jump", HatchState::jumping},
        {"wave", HatchState::idle},       {"failure", HatchState::idle},
        {"Idle", HatchState::idle},       {"RUNNING", HatchState::idle},
        {" running", HatchState::idle},   {"running ", HatchState::idle},
        {"", HatchState::idle},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(HatchState::fromHookState(QString::fromUtf8(name)), expected) << name;
    }
    EXPECT_FALSE(HatchState::fromRawValue(QStringLiteral("thinking")));
}

TEST(TextFormatTest, CollapsesWhitespaceIncludingLineSeparators) {
    EXPECT_EQ(TextFormat::compact(QString::fromUtf8(" a\tb\n\n c\u2028d\u3000e ")),
              QStringLiteral("a b c d e"));
    EXPECT_FALSE(TextFormat::compact(QString::fromUtf8(" \n\t\u2029 ")));
    EXPECT_FALSE(TextFormat::compact(QString()));
    EXPECT_FALSE(TextFormat::compact(std::nullopt));
}

TEST(TextFormatTest, CutsAt48UserPerceivedCharacters) {
    const QString exact(48, QLatin1Char('x'));
    EXPECT_EQ(TextFormat::compact(exact), exact);
    EXPECT_EQ(TextFormat::compact(exact + QLatin1Char('y')),
              QString(47, QLatin1Char('x')) + QString::fromUtf8("…"));
    const QString ellipsis = QString::fromUtf8("待ってね…");
    EXPECT_EQ(TextFormat::compact(ellipsis), ellipsis);
}

TEST(TextFormatTest, KeepsEmojiSequencesWhole) {
    const QString family = QString::fromUtf8("👨‍👩‍👧‍👦");
    const QString flag = QString::fromUtf8("🇯🇵");
    const QString accented = QStringLiteral("e") + QChar(0x0301);
    // 48 clusters, then 49: each counts as one character however many code points it has.
    QString text;
    for (int i = 0; i < 16; ++i) {
        text += family + flag + accented;
    }
    EXPECT_EQ(TextFormat::compact(text), text);
    EXPECT_EQ(TextFormat::compact(text + family),
              text.left(text.size() - accented.size()) + QString::fromUtf8("…"));
}
