// The plugin against the real Claude Code CLI (the version scripts/setup pins), each test in a
// temporary home and fully offline: model requests go to a fake Messages API on loopback.
#include "ChildProcess.h"
#include "FakeMessagesApi.h"
#include "Json.h"
#include "TemporaryHome.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string claudeCli = MOFLI_CLAUDE_CLI;
const std::string node = MOFLI_NODE;
const std::string stagedPlugin = MOFLI_STAGED_PLUGIN_DIR;
const std::string fakeApiScript = MOFLI_FAKE_MESSAGES_API;

// For commands that need no model. With a dummy key and the default API address, every `plugin`
// command first spends some 18 s failing to reach the real API; any loopback address avoids
// that, and nothing listens on the discard port.
const std::string noModelApi = "http://127.0.0.1:9";

std::string describe(const ChildResult& result) {
    std::ostringstream text;
    text << "exit status " << result.exitStatus << (result.timedOut ? " (killed: too slow)" : "")
         << ", output:\n"
         << result.output;
    return text.str();
}

// Claude Code's own record of each hook run, for failure messages.
std::string hookRuns(const TemporaryHome& home, const std::string& debugLog) {
    std::istringstream lines(home.read(debugLog).value_or(""));
    std::string runs;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("MofliHook") != std::string::npos) {
            runs += line + "\n";
        }
    }
    return runs;
}

class ClaudeCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(claudeCli.c_str(), X_OK) != 0) {
            GTEST_SKIP() << "No Claude Code CLI at " << claudeCli
                         << ": scripts/setup installs it with npm, which was missing or could "
                            "not reach the registry.";
        }
        home_ = std::make_unique<TemporaryHome>();
        fs::create_directories(temporaryFolder());
    }

    const TemporaryHome& home() const { return *home_; }

    // Only what Claude Code needs, so that nothing of the caller's own Claude Code set-up (its
    // config folder, keys, proxies) leaks in; it never clones the official marketplace.
    std::vector<std::string> environment(const std::string& apiUrl) const {
        const char* path = std::getenv("PATH");
        std::vector<std::string> entries = {
            "HOME=" + home_->path(),
            std::string("PATH=") + (path != nullptr ? path : "/usr/bin:/bin"),
            "CLAUDE_CODE_DISABLE_OFFICIAL_MARKETPLACE_AUTOINSTALL=1",
            "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC=1",
            "DISABLE_TELEMETRY=1",
            "ANTHROPIC_API_KEY=sk-ant-test-not-a-key",
            "ANTHROPIC_BASE_URL=" + apiUrl,
        };
        // Claude Code keeps scratch folders there; they go with the temporary home.
        entries.push_back("TMPDIR=" + temporaryFolder());
        return entries;
    }

    std::string temporaryFolder() const { return home_->root() + "/tmp"; }

    ChildResult claude(const std::vector<std::string>& arguments,
                       const std::string& apiUrl = noModelApi,
                       const std::string& workingDirectory = {},
                       std::function<void()> whileRunning = {}) const {
        ChildCommand command;
        command.arguments = {claudeCli};
        command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
        command.environment = environment(apiUrl);
        command.workingDirectory = workingDirectory;
        command.whileRunning = std::move(whileRunning);
        return ChildProcess::run(command);
    }

private:
    std::unique_ptr<TemporaryHome> home_;
};

} // namespace

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
    if (node.empty()) {
        GTEST_SKIP() << "No node was found when the build was configured; the fake Messages API "
                        "runs on Node (scripts/setup installs it).";
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

    const FakeMessagesApi api(node, fakeApiScript);
    const fs::path project = fs::path(home().path()) / "project";
    fs::create_directories(project);
    // Every version of the state file seen while the turn runs; each lasts at least as long as
    // Claude Code takes between two hook runs.
    std::vector<std::string> states;
    const auto watchState = [&] {
        std::optional<std::string> text = home().read(home().stateFile());
        if (text && (states.empty() || states.back() != *text)) {
            states.push_back(std::move(*text));
        }
    };
    const std::string debugLog = home().path() + "/claude-debug.log";
    const ChildResult turn = claude({"-p", "say hi", "--debug-file", debugLog}, api.baseUrl(),
                                    project.string(), watchState);
    watchState();

    std::string seen;
    for (const std::string& state : states) {
        seen += state + "\n";
    }
    const std::string context = describe(turn) + "\nrequests:\n" + api.requestLog() +
                                "hook runs:\n" + hookRuns(home(), debugLog) +
                                "state file versions seen:\n" + seen;
    ASSERT_EQ(turn.exitStatus, 0) << context;
    // The fake's closing text: the turn went through the fake, tool call and all.
    EXPECT_NE(turn.output.find("Done: the command printed hi."), std::string::npos);

    EXPECT_TRUE(std::any_of(states.begin(), states.end(), [](const std::string& text) {
        const boost::json::object state = Json::parseObject(text);
        return Json::findString(state, "state") == "running" &&
               Json::findString(state, "message") == "$ echo …";
    }));
    const boost::json::object record = home().session();
    EXPECT_EQ(Json::findInteger(record, "bash"), 1);
    // `claude -p` ends with SessionEnd: idle, saying goodbye with the recap of the one command.
    const boost::json::object last = home().state();
    EXPECT_EQ(Json::findString(last, "state"), "idle");
    EXPECT_EQ(Json::findString(last, "message"), "おつかれ〜");
    EXPECT_EQ(Json::findString(last, "recap"), "🔧 1コマンド");
    EXPECT_EQ(Json::findString(last, "sessionId"), Json::findString(record, "session_id"));
    if (HasFailure()) {
        std::cerr << context;
    }
}
