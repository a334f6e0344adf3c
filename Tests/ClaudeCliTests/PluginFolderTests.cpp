// The Claude Code plugin as the build stages it for the app; these checks need no Claude Code.
#include "Json.h"

#include <boost/json/array.hpp>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

const std::string pluginDir = MOFLI_STAGED_PLUGIN_DIR;
const std::string pluginRootVariable = "${CLAUDE_PLUGIN_ROOT}";

std::string readFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream contents;
    contents << stream.rdbuf();
    return contents.str();
}

} // namespace

// A run for an event the hook does not handle (PostToolBatch, MessageDisplay, SubagentStart, …)
// would write "idle" without a message and wipe the pet's bubble, so the list is exact. Interrupt
// is there because no Stop follows an interrupted turn.
TEST(ClaudeCliPluginFolder, RunsTheStagedHookForExactlyTheEventsItHandles) {
    const boost::json::object hooks = Json::findObjectOrEmpty(
        Json::parseObject(readFile(pluginDir + "/hooks/hooks.json")), "hooks");
    const std::set<std::string> expected = {
        "UserPromptSubmit", "PreToolUse",        "PostToolUse", "PostToolUseFailure",
        "Notification",     "PermissionRequest", "Stop",        "SubagentStop",
        "SessionStart",     "SessionEnd",        "Interrupt"};
    std::set<std::string> registered;
    for (const auto& [event, entries] : hooks) {
        registered.emplace(event);
        SCOPED_TRACE(std::string(event));
        ASSERT_TRUE(entries.is_array());
        ASSERT_EQ(entries.get_array().size(), 1u);
        const boost::json::object& entry = entries.get_array().front().as_object();
        const boost::json::value* commands = Json::find(entry, "hooks");
        ASSERT_TRUE(commands != nullptr && commands->is_array() &&
                    commands->get_array().size() == 1);
        const boost::json::object& hook = commands->get_array().front().as_object();

        EXPECT_EQ(Json::findString(hook, "type"), "command");
        // The event name is the hook's only argument; the payload comes on standard input.
        const boost::json::value* arguments = Json::find(hook, "args");
        ASSERT_NE(arguments, nullptr);
        EXPECT_EQ(*arguments, boost::json::value(boost::json::array{event}));
        EXPECT_EQ(Json::findInteger(hook, "timeout"), 5);
        // The exec form, so that a plugin root with spaces or quotes needs no shell quoting.
        const std::string command(Json::findString(hook, "command").value_or(""));
        ASSERT_EQ(command.rfind(pluginRootVariable, 0), 0u) << command;
        const std::string program = pluginDir + command.substr(pluginRootVariable.size());
        EXPECT_EQ(::access(program.c_str(), X_OK), 0) << program;
    }
    EXPECT_EQ(registered, expected);
}

// Claude Code may run the plugin from a copy in its cache, which takes only the plugin's own
// folder: the hook must sit inside it, executable and as built.
TEST(ClaudeCliPluginFolder, CarriesTheBuiltHookInsideThePlugin) {
    const std::string staged = pluginDir + "/bin/MofliHook";
    ASSERT_EQ(::access(staged.c_str(), X_OK), 0) << staged;
    EXPECT_TRUE(readFile(staged) == readFile(MOFLI_HOOK_PATH))
        << staged << " differs from " << MOFLI_HOOK_PATH;
}
