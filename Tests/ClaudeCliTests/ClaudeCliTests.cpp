// The plugin against the real Claude Code CLI (the version scripts/setup pins), each test in a
// temporary home and fully offline: model requests go to a fake Messages API on loopback.
#include "ClaudeCliFixture.h"

using namespace ClaudeCliTesting;
namespace fs = std::filesystem;

TEST_F(ClaudeCli, ValidateAcceptsTheStagedPluginFolderAndItsManifest) {
    for (const std::string& target : {stagedPlugin, stagedPlugin + "/.claude-plugin/plugin.json"}) {
        SCOPED_TRACE(target);
        const ChildResult result = claude({"plugin", "validate", target});
        EXPECT_EQ(result.exitStatus, 0) << describe(result);
        EXPECT_NE(result.output.find("Validation passed"), std::string::npos) << describe(result);
    }
}

// What the app does, from a folder whose path has spaces (as the app's data folder has on
// macOS), then one real `claude -p` turn: the pet's files must show that the hook ran.
TEST_F(ClaudeCli, PluginAddedFromAFolderWithSpacesRunsTheHookInARealSession) {
    skipWithoutNode();
    if (IsSkipped()) {
        return;
    }
    const fs::path plugin =
        fs::path(home().path()) / "Library/Application Support/Mofli/mofli-plugin";
    fs::create_directories(plugin.parent_path());
    fs::copy(stagedPlugin, plugin, fs::copy_options::recursive);

    const ChildResult added = claude({"plugin", "marketplace", "add", plugin.string()});
    ASSERT_EQ(added.exitStatus, 0) << describe(added);
    const ChildResult installed = claude({"plugin", "install", "mofli@mofli"});
    ASSERT_EQ(installed.exitStatus, 0) << describe(installed);
    const ChildResult listed = claude({"plugin", "list"});
    ASSERT_EQ(listed.exitStatus, 0) << describe(listed);
    ASSERT_NE(listed.output.find("mofli@mofli"), std::string::npos) << describe(listed);

    const Turn turn = runTurn();
    ASSERT_EQ(turn.result.exitStatus, 0) << turn.context;
    // The fake's closing text: the turn went through the fake, tool call and all.
    EXPECT_NE(turn.result.output.find("Done: the command printed hi."), std::string::npos);
    EXPECT_TRUE(sawRunningEcho(turn.states)) << turn.context;
    const boost::json::object record = home().session();
    EXPECT_EQ(Json::findInteger(record, "bash"), 1);
    // `claude -p` ends with SessionEnd: idle, saying goodbye with the recap of the one command.
    const boost::json::object last = home().state();
    EXPECT_EQ(Json::findString(last, "state"), "idle");
    EXPECT_EQ(Json::findString(last, "message"), "おつかれ〜");
    EXPECT_EQ(Json::findString(last, "recap"), "🔧 1コマンド");
    EXPECT_EQ(Json::findString(last, "sessionId"), Json::findString(record, "session_id"));
    if (HasFailure()) {
        std::cerr << turn.context;
    }
}

// The service answers 529 Overloaded once the turn's first command has run, until Claude Code
// gives up. By default it retries ten times over about three minutes; CLAUDE_CODE_MAX_RETRIES,
// one of its documented settings, keeps that to one retry. The hook is registered in the home's
// settings for the events it handles, as a user without the app would do it.
TEST_F(ClaudeCli, AnOverloadedServiceEndsTheTurnWithTheFailurePoseAndKeepsTheRecap) {
    skipWithoutNode();
    if (IsSkipped()) {
        return;
    }
    boost::json::object hooks;
    for (const char* event :
         {"UserPromptSubmit", "PreToolUse", "PostToolUse", "PostToolUseFailure", "Notification",
          "PermissionRequest", "PermissionDenied", "Stop", "StopFailure", "SubagentStop",
          "SessionStart", "SessionEnd", "PreCompact", "PostCompact", "Interrupt"}) {
        const boost::json::object command{
            {"type", "command"},
            {"command", "\"" + std::string(MOFLI_HOOK_PATH) + "\" " + event},
            {"timeout", 5}};
        hooks[event] = boost::json::array{
            boost::json::object{{"matcher", "*"}, {"hooks", boost::json::array{command}}}};
    }
    home().write(home().path() + "/.claude/settings.json",
                 Json::serialize(boost::json::object{{"hooks", hooks}}));
    moreEnvironment = {"CLAUDE_CODE_MAX_RETRIES=1"};

    const Turn turn = runTurn({"--status-after-tool", "529"});
    EXPECT_NE(turn.result.exitStatus, 0) << turn.context;
    EXPECT_TRUE(sawRunningEcho(turn.states)) << turn.context;
    const std::string failure =
        R"({"state":"failed","message":"サーバーが混んでるみたい…","label":"ブロック済み",)"
        R"("recap":"🔧 1コマンド"})";
    EXPECT_TRUE(std::any_of(turn.states.begin(), turn.states.end(), [&](const std::string& text) {
        boost::json::object state = Json::parseObject(text);
        for (const char* context : {"sessionId", "cwd", "tty"}) {
            state.erase(context);
        }
        return state == Json::parseObject(failure);
    })) << turn.context;
    // `claude -p` ends the session right after: goodbye with the same recap.
    const boost::json::object last = home().state();
    EXPECT_EQ(Json::findString(last, "message"), "おつかれ〜") << turn.context;
    EXPECT_EQ(Json::findString(last, "recap"), "🔧 1コマンド") << turn.context;
}
