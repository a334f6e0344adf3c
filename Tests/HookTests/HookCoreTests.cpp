#include "HookCore.h"
#include "Json.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

using namespace HookCore;

namespace {

Payload parse(const std::string& json) {
    return Json::parseObject(json);
}

std::string state(const std::string& event, const std::string& json = "{}") {
    return deriveState(event, parse(json));
}

bool truthy(const std::string& valueJson) {
    const Payload payload = parse(R"({"v":)" + valueJson + "}");
    return isTruthy(Json::find(payload, "v"));
}

std::optional<std::string> body(const std::string& event, const std::string& json = "{}") {
    return buildBody(event, parse(json));
}

} // namespace

TEST(HookCoreState, EventsMapToStates) {
    EXPECT_EQ(state("UserPromptSubmit"), "running");
    EXPECT_EQ(state("PreToolUse", R"({"tool_name":"Bash"})"), "running");
    EXPECT_EQ(state("PreToolUse", R"({"tool_name":"WebSearch"})"), "waiting");
    EXPECT_EQ(state("PreToolUse", R"({"tool_name":"WebFetch"})"), "waiting");
    EXPECT_EQ(state("PostToolUse"), "review");
    EXPECT_EQ(state("PostToolUseFailure"), "failed");
    EXPECT_EQ(state("PermissionRequest"), "waiting");
    EXPECT_EQ(state("SubagentStop"), "review");
    EXPECT_EQ(state("Notification"), "waiting");
    for (const char* event : {"SessionStart", "Stop", "SessionEnd", "idle", "pretooluse", ""}) {
        EXPECT_EQ(state(event, R"({"tool_response":{"success":false},"level":"danger"})"), "idle")
            << event;
    }
}

TEST(HookCoreState, ToolFailureReadsTheResponseObjectOnly) {
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"success":false}})"), "failed");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"success":true,"is_error":true}})"),
              "failed");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"success":"no"}})"), "review");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"isError":1}})"), "failed");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"error":""}})"), "review");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"error":null}})"), "failed");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"is_error":0.0,"error":false}})"),
              "review");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":"error","is_error":true})"), "review");
    EXPECT_EQ(state("PostToolUse", R"({"tool_response":{"stdout":"hi","interrupted":false}})"),
              "review");
}

TEST(HookCoreState, NotificationSignal) {
    EXPECT_EQ(state("Notification", R"({"isLoading":true,"level":"danger"})"), "running");
    EXPECT_EQ(state("Notification", R"({"isLoading":0,"level":"danger"})"), "failed");
    EXPECT_EQ(state("Notification", R"({"level":"warning"})"), "waiting");
    EXPECT_EQ(state("Notification", R"({"level":"success"})"), "review");
    EXPECT_EQ(state("Notification", R"({"level":"info"})"), "idle");
    EXPECT_EQ(state("Notification", R"({"level":"INFO"})"), "waiting");
    EXPECT_EQ(state("Notification", R"({"level":3})"), "waiting");
}

TEST(HookCoreState, SelectionFollowsPriorityAndIgnoresUnknownNames) {
    EXPECT_EQ(selectState({"review", "failed", "running"}), "failed");
    EXPECT_EQ(selectState({"idle", "waiting", "failed"}), "waiting");
    EXPECT_EQ(selectState({"review", "idle"}), "review");
    EXPECT_EQ(selectState({"waving"}), "idle");
    EXPECT_EQ(selectState({"bogus", "review"}), "review");
    EXPECT_EQ(selectState({}), "idle");
    EXPECT_EQ(finalState("Stop", "idle", true), "waving");
    EXPECT_EQ(finalState("Stop", "idle", false), "idle");
    EXPECT_EQ(finalState("SessionEnd", "idle", true), "idle");
}

TEST(HookCoreTruth, KeepsJsonKinds) {
    EXPECT_FALSE(isTruthy(nullptr));
    EXPECT_TRUE(truthy("null"));
    EXPECT_TRUE(truthy("[]"));
    EXPECT_TRUE(truthy("{}"));
    EXPECT_TRUE(truthy("true"));
    EXPECT_FALSE(truthy("false"));
    EXPECT_TRUE(truthy(R"("false")"));
    EXPECT_FALSE(truthy(R"("")"));
    EXPECT_FALSE(truthy("0"));
    EXPECT_FALSE(truthy("-0"));
    EXPECT_FALSE(truthy("0.0"));
    EXPECT_FALSE(truthy("0e5"));
    EXPECT_TRUE(truthy("0.001"));
    EXPECT_TRUE(truthy("-1"));
    EXPECT_TRUE(truthy("18446744073709551615"));
}

TEST(HookCoreText, EventBodies) {
    EXPECT_EQ(body("UserPromptSubmit", R"({"prompt":"  \n\t "})"), "考え中…");
    EXPECT_EQ(body("UserPromptSubmit", R"({"prompt":7})"), "考え中…");
    EXPECT_EQ(body("UserPromptSubmit", R"({"prompt":"\n fix\nthe bug \n"})"), "fix\nthe bug");
    EXPECT_EQ(body("PostToolUse", R"({"tool_response":{"success":false},
        "tool_input":{"description":"Run tests"}})"),
              "うまくいかなかった…");
    EXPECT_EQ(body("PostToolUse", R"({"tool_input":{"description":" Run tests "}})"), "Run tests");
    EXPECT_EQ(body("PostToolUse", R"({"tool_input":{"description":" "}})"), "考え中…");
    EXPECT_EQ(body("PostToolUseFailure", R"({"is_interrupt":false})"), "うまくいかなかった…");
    EXPECT_EQ(body("PostToolUseFailure", R"({"is_interrupt":true})"), "中断したよ");
    EXPECT_EQ(
        body("PermissionRequest", R"({"tool_name":"Bash","tool_input":{"command":"rm -rf x"}})"),
        "$ rm …");
    EXPECT_EQ(body("Stop"), std::nullopt);
    EXPECT_EQ(body("Stop", R"({"last_assistant_message":""})"), "");
    EXPECT_EQ(body("SubagentStop", R"({"last_assistant_message":false})"), "完了");
    EXPECT_EQ(body("SubagentStop", R"({"last_assistant_message":"Found it"})"), "Found it");
    EXPECT_EQ(body("SessionStart"), "おかえり〜");
    EXPECT_EQ(body("SessionEnd"), "おつかれ〜");
    EXPECT_EQ(body("stop"), std::nullopt);
}

TEST(HookCoreText, ToolMessages) {
    const auto tool = [](const std::string& json) {
        return buildToolMessage(parse(json));
    };
    EXPECT_EQ(
        tool(R"({"tool_name":"Read","tool_input":{"file_path":"/Users/a/project/src/main.c"}})"),
        "Read main.c");
    EXPECT_EQ(tool(R"({"tool_name":"Write","tool_input":{"file_path":"/a/dir/"}})"), "Write dir");
    EXPECT_EQ(tool(R"({"tool_name":"Edit","tool_input":{"file_path":"notes.md"}})"),
              "Edit notes.md");
    EXPECT_EQ(tool(R"({"tool_name":"Edit","tool_input":{}})"), "Edit ");
    EXPECT_EQ(
        tool(R"({"tool_name":"Edit","tool_input":{"file_path":"/a/b.c","description":"Fix"}})"),
        "Fix");
    EXPECT_EQ(tool(R"({"tool_name":"Grep","tool_input":{"pattern":"TODO\\s+"}})"), "Grep TODO\\s+");
    EXPECT_EQ(tool(R"({"tool_name":"Glob","tool_input":"**/*.c"})"), "Glob ");
    EXPECT_EQ(tool(R"({"tool_name":"WebSearch","tool_input":{"query":"x"}})"), "WebSearch…");
    EXPECT_EQ(tool(R"({"tool_name":"Agent","tool_input":{"description":"  "}})"), "Agent:   ");
    EXPECT_EQ(tool(R"({"tool_name":"Agent"})"), "Agent: ");
    EXPECT_EQ(tool(R"({"tool_name":"MultiEdit"})"), "MultiEdit");
    EXPECT_EQ(tool(R"({"tool_name":""})"), "なんかしてる");
    EXPECT_EQ(tool(R"({"tool_name":["Bash"]})"), "なんかしてる");
    EXPECT_EQ(tool(R"({"tool_name":"Bash","tool_input":{"command":3}})"), std::nullopt);
}

TEST(HookCoreText, MaskCommandShowsOnlyTheProgramName) {
    EXPECT_EQ(maskCommand("ls"), "$ ls");
    EXPECT_EQ(maskCommand("npm run build"), "$ npm …");
    EXPECT_EQ(maskCommand("  git\tstatus --short\n"), "$ git …");
    EXPECT_EQ(maskCommand("/usr/bin/make"), "$ make");
    EXPECT_EQ(maskCommand("./scripts/test\u3000--all"), "$ test …");
    EXPECT_EQ(maskCommand("curl -H 'Authorization: Bearer secret'"), "$ curl …");
    EXPECT_EQ(maskCommand(" \n "), std::nullopt);
    EXPECT_EQ(maskCommand(std::nullopt), std::nullopt);
}

TEST(HookCoreText, NotificationMessages) {
    const auto message = [](const std::string& json) {
        return notificationMessage(parse(json));
    };
    EXPECT_EQ(message(R"({"notification_type":"permission_prompt","message":"m"})"),
              "承認おねがい！");
    EXPECT_EQ(message(R"({"notification_type":"idle_prompt","message":"m"})"), "入力待ってるよ〜");
    EXPECT_EQ(message(R"({"notification_type":"auth_success"})"), "ログインできた！");
    for (const char* type :
         {"elicitation_dialog", "elicitation_response", "elicitation_complete"}) {
        EXPECT_EQ(message(std::string(R"({"notification_type":")") + type + R"("})"),
                  "入力おねがい！");
    }
    EXPECT_EQ(message(R"({"notification_type":"other","message":"Claude needs you"})"),
              "Claude needs you");
    EXPECT_EQ(message(R"({"notification_type":1,"message":""})"), "");
    EXPECT_EQ(message(R"({"message":null})"), "呼ばれてる");
}

TEST(HookCoreText, LabelsAndThinking) {
    EXPECT_EQ(statusLabel("running"), "実行中");
    EXPECT_EQ(statusLabel("waiting"), "入力が必要");
    EXPECT_EQ(statusLabel("review"), "準備完了");
    EXPECT_EQ(statusLabel("failed"), "ブロック済み");
    EXPECT_EQ(statusLabel("waving"), std::nullopt);
    EXPECT_EQ(statusLabel("idle"), std::nullopt);

    EXPECT_TRUE(isThinking("PostToolUse", parse("{}")));
    EXPECT_FALSE(isThinking("PostToolUse", parse(R"({"tool_input":{"description":"x"}})")));
    EXPECT_FALSE(isThinking("PostToolUse", parse(R"({"tool_response":{"error":"x"}})")));
    EXPECT_FALSE(isThinking("PreToolUse", parse("{}")));
}

TEST(HookCoreText, SubagentNotificationsAreNotShownAsPrompts) {
    EXPECT_EQ(body("UserPromptSubmit",
                   R"({"prompt":"<task-notification><task-id>a1</task-id></task-notification>"})"),
              "考え中…");
    EXPECT_EQ(body("UserPromptSubmit", R"({"prompt":"\n  <task-notification>x"})"), "考え中…");
    EXPECT_EQ(body("UserPromptSubmit", R"({"prompt":"explain <task-notification>"})"),
              "explain <task-notification>");
    EXPECT_EQ(state("UserPromptSubmit", R"({"prompt":"<task-notification>x"})"), "running");
}

namespace {

boost::json::object assembled(const std::string& event, const std::string& json) {
    const Payload payload = parse(json);
    const std::string base = deriveState(event, payload);
    boost::json::object out{{"state", base}, {"message", nullptr}};
    assembleOutput(out, event, payload, base);
    return out;
}

} // namespace

TEST(HookCoreOutput, ToolCallsAreCountedAndAFinishedTurnWavesWithItsRecap) {
    TemporaryHome home;
    const auto pre = assembled("PreToolUse", R"({"session_id":"s","tool_name":"Bash",
        "tool_input":{"command":"go test ./..."}})");
    EXPECT_EQ(Json::serialize(pre), R"({"state":"running","message":"$ go …","label":"実行中"})");
    EXPECT_EQ(Json::findInteger(home.session(), "tests"), 1);
    EXPECT_EQ(Json::findInteger(home.session(), "bash"), 1);

    // Only a PreToolUse counts: a permission request for the same call does not count it twice.
    assembled("PermissionRequest", R"({"session_id":"s","tool_name":"Bash"})");
    EXPECT_EQ(Json::findInteger(home.session(), "bash"), 1);

    const auto stop = assembled("Stop", R"({"session_id":"s","last_assistant_message":"Done"})");
    EXPECT_EQ(Json::findString(stop, "state"), "waving");
    EXPECT_EQ(Json::findString(stop, "message"), "Done");
    EXPECT_TRUE(Json::findString(stop, "recap"));
    EXPECT_FALSE(Json::find(stop, "label"));
}

TEST(HookCoreOutput, LongMessagesAreCutAndThinkingIsFlagged) {
    TemporaryHome home;
    const auto post = assembled("PostToolUse", R"({"tool_input":{},"tool_response":{}})");
    EXPECT_EQ(Json::serialize(post),
              R"({"state":"review","message":"考え中…","label":"準備完了","thinking":true})");
    const auto prompt =
        assembled("UserPromptSubmit", R"({"prompt":")" + std::string(60, 'a') + R"("})");
    EXPECT_EQ(Json::findString(prompt, "message"), std::string(47, 'a') + "…");
    const auto idle = assembled("Interrupt", "{}");
    EXPECT_EQ(Json::serialize(idle), R"({"state":"idle","message":null})");
}

TEST(HookCoreOutput, WorkingFolderPrefersThePayload) {
    const auto folder = [](const std::string& json, std::optional<std::string_view> pwd) {
        boost::json::object out;
        putWorkingFolder(out, parse(json), pwd);
        return Json::serialize(out);
    };
    EXPECT_EQ(folder(R"({"cwd":"/p"})", "/env"), R"({"cwd":"/p"})");
    EXPECT_EQ(folder(R"({"cwd":""})", "/env"), "{}");
    EXPECT_EQ(folder(R"({"cwd":7})", "/env"), R"({"cwd":"/env"})");
    EXPECT_EQ(folder("{}", std::nullopt), "{}");
    EXPECT_EQ(folder("{}", ""), "{}");
}
