// Runs the real MofliHook binary against a temporary home and checks the files it leaves.
#include "HookProcess.h"
#include "Json.h"
#include "SessionLock.h"
#include "TemporaryHome.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string quiet;

boost::json::object json(const std::string& text) {
    return Json::parseObject(text);
}

// The test process itself may have a terminal that the hook finds among its ancestors; only the
// terminal tests below look at "tty".
boost::json::object stateWithoutTty(const TemporaryHome& home) {
    boost::json::object state = home.state();
    state.erase("tty");
    return state;
}

void expectSilentSuccess(const HookResult& result) {
    EXPECT_TRUE(result.exitedNormally);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, quiet);
    EXPECT_EQ(result.standardError, quiet);
}

} // namespace

TEST(HookEndToEnd, ReplayOfAClaudeCodeSession) {
    TemporaryHome home;
    const std::vector<std::string> terminal = {"TERM_PROGRAM=iTerm.app",
                                               "TERM_SESSION_ID=w0t0p0:ABC"};
    const std::string context =
        R"("session_id":"ce8b1","transcript_path":"/t.jsonl","cwd":"/home/u/proj",)";
    const std::string sessionAndTerminal =
        R"("sessionId":"ce8b1","cwd":"/home/u/proj","termProgram":"iTerm.app",)"
        R"("termSession":"w0t0p0:ABC")";
    const auto step = [&](const std::string& event, const std::string& fields,
                          const std::string& expectedState) {
        SCOPED_TRACE(event + " " + fields);
        expectSilentSuccess(HookProcess::run(
            event, "{" + context + R"("hook_event_name":")" + event + "\"," + fields + "}",
            terminal));
        EXPECT_EQ(stateWithoutTty(home),
                  json("{" + expectedState + "," + sessionAndTerminal + "}"));
    };
    const auto session = [](const std::string& counts) {
        return json(R"({"session_id":"ce8b1",)" + counts + "}");
    };

    step("SessionStart", R"("source":"startup")", R"("state":"idle","message":"おかえり〜")");
    step("UserPromptSubmit", R"("prompt":"Run the tests\nand  fix the failing one")",
         R"("state":"running","message":"Run the tests and fix the failing one","label":"実行中")");
    EXPECT_FALSE(home.read(home.sessionFile()));

    step("PreToolUse",
         R"("tool_name":"Read","tool_input":{"file_path":"/home/u/proj/src/app.py"},)"
         R"("tool_use_id":"toolu_1")",
         R"("state":"running","message":"Read app.py","label":"実行中")");
    EXPECT_EQ(home.session(), session(R"("edited":[],"bash":0,"tests":0,"searches":0,"agents":0)"));

    step("PostToolUse",
         R"("tool_name":"Read","tool_input":{"file_path":"/home/u/proj/src/app.py"},)"
         R"("tool_response":{"type":"text","file":{"content":"def f():\n    return 1\n"}})",
         R"("state":"review","message":"考え中…","label":"準備完了","thinking":true)");

    step("PreToolUse",
         R"("tool_name":"Bash","tool_input":{"command":"python -m pytest -q tests/",)"
         R"("description":"Run the test suite"})",
         R"("state":"running","message":"Run the test suite","label":"実行中")");
    EXPECT_EQ(home.session(), session(R"("edited":[],"bash":1,"tests":1,"searches":0,"agents":0)"));

    step("PostToolUse",
         R"("tool_name":"Bash","tool_input":{"command":"python -m pytest -q tests/",)"
         R"("description":"Run the test suite"},"tool_response":{"stdout":"1 failed",)"
         R"("stderr":"","interrupted":false,"isImage":false,"noOutputExpected":false})",
         R"("state":"review","message":"Run the test suite","label":"準備完了")");

    step("PreToolUse",
         R"("tool_name":"Edit","tool_input":{"file_path":"/home/u/proj/src/app.py",)"
         R"("old_string":"return 1","new_string":"return 2"})",
         R"("state":"running","message":"Edit app.py","label":"実行中")");
    EXPECT_EQ(home.session(), session(R"("edited":["68533508df39"],"bash":1,"tests":1,)"
                                      R"("searches":0,"agents":0)"));

    step("PostToolUseFailure",
         R"("tool_name":"Edit","tool_input":{"file_path":"/home/u/proj/src/app.py"},)"
         R"("error":"File has not been read yet.","is_interrupt":false)",
         R"("state":"failed","message":"うまくいかなかった…","label":"ブロック済み")");
    step("Notification",
         R"("message":"Claude needs your permission to use Bash",)"
         R"("notification_type":"permission_prompt")",
         R"("state":"waiting","message":"承認おねがい！","label":"入力が必要")");
    step("Stop", R"("stop_hook_active":false,"last_assistant_message":"I fixed the test.")",
         R"("state":"waving","message":"I fixed the test.",)"
         R"("recap":"📝 1ファイル・🔧 1コマンド・✅ テスト1回")");
    step(
        "SessionEnd", R"("reason":"prompt_input_exit")",
        R"("state":"idle","message":"おつかれ〜","recap":"📝 1ファイル・🔧 1コマンド・✅ テスト1回")");
    EXPECT_EQ(home.session(), session(R"("edited":["68533508df39"],"bash":1,"tests":1,)"
                                      R"("searches":0,"agents":0)"));
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "state.json"}));
}

TEST(HookEndToEnd, StopWithoutCountedWorkStaysIdle) {
    TemporaryHome home;
    expectSilentSuccess(HookProcess::run("Stop", R"({"session_id":"s"})"));
    EXPECT_EQ(stateWithoutTty(home), json(R"({"state":"idle","message":null,"sessionId":"s"})"));
}

TEST(HookEndToEnd, TerminalAndWorkingFolderKeys) {
    TemporaryHome home;
    const auto run = [&](const std::string& event, const std::string& payload,
                         std::vector<std::string> environment) {
        expectSilentSuccess(HookProcess::run(event, payload, std::move(environment)));
        return stateWithoutTty(home);
    };
    EXPECT_EQ(run("Foo", R"({"session_id":"s","cwd":"/p"})",
                  {"TERM_PROGRAM=", "TERM_SESSION_ID=t1", "__CFBundleIdentifier=com.apple.Terminal",
                   "PWD=/elsewhere"}),
              json(R"({"state":"idle","message":null,"sessionId":"s","cwd":"/p",)"
                   R"("termSession":"t1","termBundleId":"com.apple.Terminal"})"));
    EXPECT_EQ(run("SessionStart", R"({"session_id":""})", {"PWD=/from/pwd"}),
              json(R"({"state":"idle","message":"おかえり〜","cwd":"/from/pwd"})"));
    EXPECT_EQ(run("SessionStart", R"({"cwd":""})", {"PWD=/from/pwd"}),
              json(R"({"state":"idle","message":"おかえり〜"})"));
    EXPECT_EQ(run("SessionStart", R"({"cwd":["/p"]})", {"PWD=/from/pwd"}),
              json(R"({"state":"idle","message":"おかえり〜","cwd":"/from/pwd"})"));
    EXPECT_EQ(run("SessionStart", R"({"session_id":7})", {}),
              json(R"({"state":"idle","message":"おかえり〜"})"));

    HookInvocation noArgument;
    noArgument.input = R"({"session_id":"s"})";
    expectSilentSuccess(HookProcess::run(noArgument));
    EXPECT_EQ(stateWithoutTty(home), json(R"({"state":"idle","message":null,"sessionId":"s"})"));
}

TEST(HookEndToEnd, UnusableInputLeavesAnEmptyPayload) {
    TemporaryHome home;
    const std::string emptyPayloadState =
        R"({"state":"running","message":"なんかしてる","label":"実行中"})";
    for (const std::string& input :
         {std::string(), std::string("{"), std::string("[1]"), std::string(R"("text")"),
          std::string("{\"session_id\":\"\xFF\"}"), std::string(R"({"a":1} x)")}) {
        SCOPED_TRACE(input);
        expectSilentSuccess(HookProcess::run("PreToolUse", input));
        EXPECT_EQ(stateWithoutTty(home), json(emptyPayloadState));
        EXPECT_EQ(home.session(), json(R"({"session_id":"","edited":[],"bash":0,"tests":0,)"
                                       R"("searches":0,"agents":0})"));
    }
}

TEST(HookEndToEnd, NestingUpTo512LevelsIsAccepted) {
    TemporaryHome home;
    const auto nested = [](int levels) {
        return R"({"session_id":"deep","x":)" + std::string(levels - 1, '[') +
               std::string(levels - 1, ']') + "}";
    };
    expectSilentSuccess(HookProcess::run("SessionStart", nested(512)));
    EXPECT_EQ(stateWithoutTty(home),
              json(R"({"state":"idle","message":"おかえり〜","sessionId":"deep"})"));
    expectSilentSuccess(HookProcess::run("SessionStart", nested(513)));
    EXPECT_EQ(stateWithoutTty(home), json(R"({"state":"idle","message":"おかえり〜"})"));
    expectSilentSuccess(HookProcess::run("SessionStart", nested(100000)));
    EXPECT_EQ(stateWithoutTty(home), json(R"({"state":"idle","message":"おかえり〜"})"));
}

TEST(HookEndToEnd, MultiMegabyteOutputIsReadWhole) {
    TemporaryHome home;
    std::string output;
    while (output.size() < 6'000'000) {
        output += R"(テスト\u001b[31m failed\n\t\"quoted\" \ud83d\ude00 )";
    }
    expectSilentSuccess(HookProcess::run(
        "PostToolUse", R"({"session_id":"big","tool_name":"Bash","tool_response":{"stdout":")" +
                           output + R"(","stderr":"","is_error":true}})"));
    EXPECT_EQ(stateWithoutTty(home), json(R"({"state":"failed","message":"うまくいかなかった…",)"
                                          R"("label":"ブロック済み","sessionId":"big"})"));
}

TEST(HookEndToEnd, FailuresStaySilentAndExitZero) {
    TemporaryHome home;
    home.write(home.path() + "/plainfile", "x");
    HookInvocation homeIsAFile;
    homeIsAFile.arguments = {"PreToolUse"};
    homeIsAFile.input = R"({"tool_name":"Bash"})";
    homeIsAFile.environment = {"HOME=" + home.path() + "/plainfile"};
    expectSilentSuccess(HookProcess::run(homeIsAFile));
    EXPECT_EQ(home.read(home.path() + "/plainfile"), "x");

    // A full disk: the old files stay whole and no temporary file is left.
    expectSilentSuccess(HookProcess::run("PreToolUse", R"({"session_id":"s","tool_name":"Bash"})"));
    const auto oldState = home.read(home.stateFile());
    const auto oldSession = home.read(home.sessionFile());
    HookInvocation diskFull;
    diskFull.arguments = {"PreToolUse"};
    diskFull.input = R"({"session_id":"s","tool_name":"Bash","tool_input":{"command":"make"}})";
    diskFull.fileSizeLimit = 10;
    expectSilentSuccess(HookProcess::run(diskFull));
    EXPECT_EQ(home.read(home.stateFile()), oldState);
    EXPECT_EQ(home.read(home.sessionFile()), oldSession);
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "state.json"}));

    HookInvocation stateFileIsAFolder;
    stateFileIsAFolder.arguments = {"Stop"};
    std::filesystem::remove(home.stateFile());
    std::filesystem::create_directory(home.stateFile());
    expectSilentSuccess(HookProcess::run(stateFileIsAFolder));
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "state.json"}));
}

TEST(HookEndToEnd, ConcurrentRunsCountEveryCall) {
    TemporaryHome home;
    constexpr int runs = 100;
    struct Started {
        pid_t pid;
        int input, output, error;
    };
    std::vector<Started> started(runs);
    HookInvocation invocation;
    invocation.arguments = {"PreToolUse"};
    for (Started& run : started) {
        run.pid = HookProcess::start(invocation, run.input, run.output, run.error);
    }
    // All processes exist before any payload arrives, so their session updates overlap.
    const std::string payload =
        R"({"session_id":"par","tool_name":"Bash","tool_input":{"command":"npm test"}})";
    for (const Started& run : started) {
        expectSilentSuccess(
            HookProcess::finish(run.pid, payload, run.input, run.output, run.error));
    }
    EXPECT_EQ(home.session(), json(R"({"session_id":"par","edited":[],"bash":100,"tests":100,)"
                                   R"("searches":0,"agents":0})"));
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "state.json"}));
}

TEST(HookEndToEnd, AStuckLockHolderDelaysButNeverBlocksTheHook) {
    TemporaryHome home;
    std::filesystem::create_directories(home.mofliDir());
    const SessionLock stuck(home.mofliDir() + "/session.lock", std::chrono::milliseconds(0));
    ASSERT_TRUE(stuck.held());
    const auto begin = std::chrono::steady_clock::now();
    expectSilentSuccess(HookProcess::run("PreToolUse", R"({"session_id":"s","tool_name":"Bash"})"));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    EXPECT_EQ(Json::findInteger(home.session(), "bash"), 1);
    EXPECT_EQ(stateWithoutTty(home),
              json(R"({"state":"running","message":null,"label":"実行中","sessionId":"s"})"));
}
