// Runs the real MofliHook binary against a temporary home and checks the files it leaves.
#include "FifoGuard.h"
#include "HookPaths.h"
#include "HookProcess.h"
#include "Json.h"
#include "Recap.h"
#include "SessionLock.h"
#include "TemporaryHome.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
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
              (std::vector<std::string>{"session.json", "session.lock", "sessions", "state.json"}));
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
                   "PWD=/elsewhere", "WINDOWID="}),
              json(R"({"state":"idle","message":null,"sessionId":"s","cwd":"/p",)"
                   R"("termSession":"t1","termBundleId":"com.apple.Terminal"})"));
    EXPECT_EQ(run("Foo", R"({"session_id":"s"})", {"WINDOWID=41943054"}),
              json(R"({"state":"idle","message":null,"termWindowId":"41943054","sessionId":"s"})"));
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
              (std::vector<std::string>{"session.json", "session.lock", "sessions", "state.json"}));

    HookInvocation stateFileIsAFolder;
    stateFileIsAFolder.arguments = {"Stop"};
    std::filesystem::remove(home.stateFile());
    std::filesystem::create_directory(home.stateFile());
    expectSilentSuccess(HookProcess::run(stateFileIsAFolder));
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "sessions", "state.json"}));
}

// Two sessions side by side: neither resets the other's counts, and no call of either is lost.
TEST(HookEndToEnd, ConcurrentRunsOfTwoSessionsCountEveryCallOfEach) {
    TemporaryHome home;
    constexpr int runs = 100;
    // Each waiting hook holds three descriptors here, together more than the 256 that macOS
    // allows a process by default.
    rlimit files{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
    const rlim_t needed = 3 * runs + 64;
    if (files.rlim_cur < needed && files.rlim_max >= needed) {
        files.rlim_cur = needed;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    }
    if (files.rlim_cur < needed) {
        GTEST_SKIP() << "the hard limit of " << files.rlim_max << " open files is below the "
                     << needed << " this test needs";
    }
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
    const std::string payloads[] = {
        R"({"session_id":"A","tool_name":"Bash","tool_input":{"command":"npm test"}})",
        R"({"session_id":"B","tool_name":"Grep","tool_input":{"pattern":"TODO"}})"};
    for (int run = 0; run < runs; ++run) {
        expectSilentSuccess(HookProcess::finish(started[run].pid, payloads[run % 2],
                                                started[run].input, started[run].output,
                                                started[run].error));
    }
    EXPECT_EQ(Recap::loadSession("A"), json(R"({"session_id":"A","edited":[],"bash":50,)"
                                            R"("tests":50,"searches":0,"agents":0})"));
    EXPECT_EQ(Recap::loadSession("B"), json(R"({"session_id":"B","edited":[],"bash":0,)"
                                            R"("tests":0,"searches":50,"agents":0})"));
    // The session file holds whichever of the two counted last, whole.
    EXPECT_EQ(home.session(), Recap::loadSession(*Json::findString(home.session(), "session_id")));
    for (const auto& [session, recap] :
         {std::pair{"A", "🔧 50コマンド・✅ テスト50回"}, std::pair{"B", "🔍 50回調べた"}}) {
        expectSilentSuccess(
            HookProcess::run("Stop", std::string(R"({"session_id":")") + session + R"("})"));
        EXPECT_EQ(Json::findString(home.state(), "recap"), recap) << session;
    }
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "sessions", "state.json"}));
}

// Claude Code starts the hook through `sh -c`, and a wrapper may add shells of its own: the record
// names the first process above them. A session that ends takes only its own record along.
TEST(HookEndToEnd, EachSessionHasARecordNamingItsClaudeCodeProcess) {
    TemporaryHome home;
    HookInvocation throughShells;
    throughShells.program = "/bin/sh";
    throughShells.arguments = {"-c", "/bin/bash -c '" + std::string(MOFLI_HOOK_PATH) +
                                         " SessionStart; :'; :"};
    throughShells.input = R"({"session_id":"A","cwd":"/a"})";
    expectSilentSuccess(HookProcess::run(throughShells));
    expectSilentSuccess(
        HookProcess::run("UserPromptSubmit", R"({"session_id":"B","prompt":"go"})"));
    const boost::json::object recordA =
        json(home.read(HookPaths::sessionRecordFile("A")).value_or(""));
    EXPECT_EQ(Json::findInteger(recordA, "pid"), ::getpid());
    EXPECT_EQ(Json::findString(recordA, "message"), "おかえり〜");
    EXPECT_EQ(Json::findString(recordA, "cwd"), "/a");

    expectSilentSuccess(HookProcess::run("SessionEnd", R"({"session_id":"A"})"));
    EXPECT_FALSE(home.read(HookPaths::sessionRecordFile("A")));
    EXPECT_EQ(Json::findString(json(home.read(HookPaths::sessionRecordFile("B")).value_or("")),
                               "message"),
              "go");
    EXPECT_EQ(Json::findString(home.state(), "sessionId"), "A");
}

TEST(HookEndToEnd, AStuckLockHolderCostsLittleAndLosesNoCall) {
    TemporaryHome home;
    std::filesystem::create_directories(home.mofliDir());
    std::optional<SessionLock> stuck;
    stuck.emplace(home.mofliDir() + "/session.lock", std::chrono::milliseconds(0));
    ASSERT_TRUE(stuck->held());

    constexpr int runs = 54;
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
    const std::string payload =
        R"({"session_id":"s","tool_name":"Bash","tool_input":{"command":"make test"}})";
    // Every payload fits the pipe, so all runs go on at once and wait for the lock side by side.
    for (const Started& run : started) {
        ASSERT_EQ(::write(run.input, payload.data(), payload.size()),
                  static_cast<ssize_t>(payload.size()));
        ::close(run.input);
    }
    for (const Started& run : started) {
        expectSilentSuccess(HookProcess::finish(run.pid, "", -1, run.output, run.error));
    }
    EXPECT_EQ(stateWithoutTty(home),
              json(R"({"state":"running","message":"$ make …","label":"実行中","sessionId":"s"})"));
    // The recap already counts the calls that wait for the lock.
    expectSilentSuccess(HookProcess::run("Stop", R"({"session_id":"s"})"));
    EXPECT_EQ(Json::findString(home.state(), "recap"), "🔧 54コマンド・✅ テスト54回");

    // What the stuck holder adds to a run, against the same run without it; the fastest of a few
    // runs each, so that a busy machine does not count. It tells a wait of a tenth of a second
    // from one of seconds.
    const auto fastestRun = [&] {
        auto fastest = std::chrono::steady_clock::duration::max();
        for (int run = 0; run < 3; ++run) {
            const auto begin = std::chrono::steady_clock::now();
            expectSilentSuccess(HookProcess::run("PreToolUse", R"({"session_id":"s"})"));
            fastest = std::min(fastest, std::chrono::steady_clock::now() - begin);
        }
        return fastest;
    };
    const auto withStuckHolder = fastestRun();
    stuck.reset();
    const auto withoutHolder = fastestRun();
    EXPECT_LT(withStuckHolder - withoutHolder, std::chrono::milliseconds(500));

    expectSilentSuccess(HookProcess::run("PreToolUse", R"({"session_id":"s","tool_name":"Grep"})"));
    EXPECT_EQ(home.session(), json(R"({"session_id":"s","edited":[],"bash":54,"tests":54,)"
                                   R"("searches":1,"agents":0})"));
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "sessions", "state.json"}));
}

TEST(HookEndToEnd, ACharacterOfAnyLengthIsCutInTheStateFile) {
    TemporaryHome home;
    const auto repeated = [](const std::string& unit, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += unit;
        }
        return text;
    };
    const std::string mark = "\u0301";
    const std::string joinedWoman = "\u200D\U0001F469";
    expectSilentSuccess(HookProcess::run(
        "UserPromptSubmit", R"({"session_id":"s","prompt":"a)" + repeated(mark, 20000) +
                                " \U0001F468" + repeated(joinedWoman, 5000) + R"( ok"})"));
    // Sixteen code points of each: "a" and 15 marks, the man and seven and a half joined women.
    EXPECT_EQ(stateWithoutTty(home),
              json(R"({"state":"running","message":"a)" + repeated(mark, 15) + " \U0001F468" +
                   repeated(joinedWoman, 7) + "\u200D" +
                   R"( ok","label":"実行中","sessionId":"s"})"));
    EXPECT_LT(home.read(home.stateFile())->size(), 512u);
}

TEST(HookEndToEnd, NumbersBeyondADoubleKeepTheSessionRecordJson) {
    TemporaryHome home;
    home.write(HookPaths::sessionCountsFile("s"),
               R"({"session_id":"s","edited":[],"bash":1,"tests":0,)"
               R"("searches":0,"agents":0,"huge":1e400,"below":-1e999})");
    for (int run = 0; run < 2; ++run) {
        expectSilentSuccess(
            HookProcess::run("PreToolUse", R"({"session_id":"s","tool_name":"Bash"})"));
    }
    const boost::json::object session = home.session();
    EXPECT_EQ(Json::findInteger(session, "bash"), 3) << *home.read(home.sessionFile());
    ASSERT_TRUE(session.contains("huge") && session.at("huge").is_double());
    EXPECT_EQ(session.at("huge").get_double(), std::numeric_limits<double>::max());
    EXPECT_EQ(session.at("below").get_double(), -std::numeric_limits<double>::max());
}

TEST(HookEndToEnd, EnvironmentBytesThatAreNotUtf8AreRepaired) {
    TemporaryHome home;
    expectSilentSuccess(
        HookProcess::run("SessionStart", R"({"session_id":"s"})",
                         {"TERM_PROGRAM=caf\xE9", "TERM_SESSION_ID=w0\xFF:t0",
                          "__CFBundleIdentifier=com.\xC3", "PWD=/home/u/caf\xE9 日"}));
    // The strict parser refuses invalid UTF-8: a state that parses is one the app can read.
    EXPECT_EQ(stateWithoutTty(home),
              json(R"({"state":"idle","message":"おかえり〜","sessionId":"s",)"
                   R"("cwd":"/home/u/caf\ufffd 日","termProgram":"caf\ufffd",)"
                   R"("termSession":"w0\ufffd:t0","termBundleId":"com.\ufffd"})"));
}

TEST(HookEndToEnd, ValuesTooLongForTheStateFileAreLeftOut) {
    TemporaryHome home;
    const std::string longFolder = "/" + std::string(20000, 'p');
    const std::string longId(20000, 'i');
    expectSilentSuccess(HookProcess::run("SessionStart", R"({"session_id":")" + longId + "\"}",
                                         {"PWD=" + longFolder, "TERM_PROGRAM=" + longId}));
    EXPECT_EQ(stateWithoutTty(home), json(R"({"state":"idle","message":"おかえり〜"})"));
}

TEST(HookEndToEnd, FilesAreOwnerOnlyAndNeverWrittenThroughPlantedLinks) {
    TemporaryHome home;
    const mode_t previousMask = ::umask(022);
    const std::string victim = home.path() + "/victim";
    home.write(victim, "precious");
    std::filesystem::create_directories(home.mofliDir());

    int input = -1, output = -1, error = -1;
    HookInvocation invocation;
    invocation.arguments = {"PreToolUse"};
    const pid_t pid = HookProcess::start(invocation, input, output, error);
    // Hard links to another file of the user, under the temporary names that this process id
    // once got, planted before the hook writes.
    for (const char* name : {"state.json", "session.json"}) {
        const std::string planted = home.mofliDir() + "/" + name + ".tmp." + std::to_string(pid);
        ASSERT_EQ(::link(victim.c_str(), planted.c_str()), 0);
    }
    expectSilentSuccess(HookProcess::finish(
        pid, R"({"session_id":"s","tool_name":"Bash","tool_input":{"command":"ls"}})", input,
        output, error));
    EXPECT_EQ(home.read(victim), "precious");
    EXPECT_EQ(Json::findString(home.state(), "message"), "$ ls");
    EXPECT_EQ(Json::findInteger(home.session(), "bash"), 1);

    const auto permissions = [](const std::string& path) {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode & 07777;
    };
    for (const char* name : {"state.json", "session.json", "session.lock"}) {
        EXPECT_EQ(permissions(home.mofliDir() + "/" + name), 0600u) << name;
    }
    std::filesystem::remove_all(home.path() + "/.claude");
    expectSilentSuccess(HookProcess::run("Stop", "{}"));
    ::umask(previousMask);
    EXPECT_EQ(permissions(home.path() + "/.claude"), 0700u);
    EXPECT_EQ(permissions(home.mofliDir()), 0700u);
    EXPECT_EQ(permissions(home.stateFile()), 0600u);
}

TEST(HookEndToEnd, AMofliFolderThatIsALinkIsFollowed) {
    TemporaryHome home;
    const std::string dotfiles = home.path() + "/dotfiles/mofli";
    std::filesystem::create_directories(dotfiles);
    std::filesystem::create_directories(home.path() + "/.claude");
    std::filesystem::create_directory_symlink(dotfiles, home.mofliDir());
    expectSilentSuccess(HookProcess::run("PreToolUse", R"({"session_id":"s","tool_name":"Bash"})"));
    EXPECT_TRUE(std::filesystem::is_symlink(home.mofliDir()));
    EXPECT_EQ(Json::findString(home.state(), "state"), "running");
    EXPECT_TRUE(std::filesystem::is_regular_file(dotfiles + "/session.json"));
}

TEST(HookEndToEnd, AFifoUnderTheSessionFileNeverHoldsTheHook) {
    TemporaryHome home;
    std::filesystem::create_directories(home.mofliDir());
    FifoGuard::create(home.sessionFile());
    for (const char* event : {"Stop", "PreToolUse"}) {
        SCOPED_TRACE(event);
        EXPECT_TRUE(FifoGuard::finishesWithoutWaiting(home.sessionFile(), [&] {
            expectSilentSuccess(
                HookProcess::run(event, R"({"session_id":"s","tool_name":"Bash"})"));
        }));
    }
    EXPECT_EQ(Json::findInteger(home.session(), "bash"), 1);
}
