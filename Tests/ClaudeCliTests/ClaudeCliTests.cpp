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
