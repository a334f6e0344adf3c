#pragma once

// What the tests that run the real Claude Code CLI share: the CLI that scripts/setup pins (or
// another release it installs), a temporary home for each test, and an environment that keeps the
// CLI fully offline (model requests go to a fake Messages API on loopback).
#include "ChildProcess.h"
#include "FakeMessagesApi.h"
#include "Json.h"
#include "TemporaryHome.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace ClaudeCliTesting {

inline const std::string claudeCli = MOFLI_CLAUDE_CLI;

// A release of the CLI that scripts/setup installed for the tests.
struct CliRelease {
    std::string version; // "pinned" for the one every other test uses
    std::string path;
};

inline void PrintTo(const CliRelease& release, std::ostream* out) {
    *out << release.version << " at " << release.path;
}

// The pinned CLI first, then the older releases users still run.
inline std::vector<CliRelease> cliReleases() {
    std::vector<CliRelease> releases = {{"pinned", claudeCli}};
    std::istringstream older(MOFLI_OLDER_CLAUDE_CLIS);
    for (std::string entry; std::getline(older, entry, '|');) {
        const auto equals = entry.find('=');
        if (equals != std::string::npos) {
            releases.push_back({entry.substr(0, equals), entry.substr(equals + 1)});
        }
    }
    return releases;
}
inline const std::string node = MOFLI_NODE;
inline const std::string stagedPlugin = MOFLI_STAGED_PLUGIN_DIR;
inline const std::string fakeApiScript = MOFLI_FAKE_MESSAGES_API;

// For commands that need no model. With a dummy key and the default API address, every `plugin`
// command first spends some 18 s failing to reach the real API; any loopback address avoids
// that, and nothing listens on the discard port.
inline const std::string noModelApi = "http://127.0.0.1:9";

inline std::string describe(const ChildResult& result) {
    std::ostringstream text;
    text << "exit status " << result.exitStatus << (result.timedOut ? " (killed: too slow)" : "")
         << ", output:\n"
         << result.output;
    return text.str();
}

// Claude Code's own record of each hook run, for failure messages.
inline std::string hookRuns(const TemporaryHome& home, const std::string& debugLog) {
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
        if (::access(cli_.c_str(), X_OK) != 0) {
            GTEST_SKIP() << "No Claude Code CLI at " << cli_
                         << ": scripts/setup installs it with npm, which was missing or could "
                            "not reach the registry.";
        }
        home_ = std::make_unique<TemporaryHome>();
        std::filesystem::create_directories(temporaryFolder());
    }

    const TemporaryHome& home() const { return *home_; }
    // The CLI the test runs; set before SetUp.
    const std::string& cli() const { return cli_; }
    void useCli(const std::string& path) { cli_ = path; }

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
        entries.insert(entries.end(), moreEnvironment.begin(), moreEnvironment.end());
        return entries;
    }

    // "NAME=value" entries a test adds for Claude Code.
    std::vector<std::string> moreEnvironment;

    std::string temporaryFolder() const { return home_->root() + "/tmp"; }

    ChildResult claude(const std::vector<std::string>& arguments,
                       const std::string& apiUrl = noModelApi,
                       const std::string& workingDirectory = {},
                       std::function<void()> whileRunning = {}) const {
        ChildCommand command;
        command.arguments = {cli_};
        command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
        command.environment = environment(apiUrl);
        command.workingDirectory = workingDirectory;
        command.whileRunning = std::move(whileRunning);
        return ChildProcess::run(command);
    }

    void skipWithoutNode() const {
        if (node.empty()) {
            GTEST_SKIP() << "No node was found when the build was configured; the fake Messages "
                            "API runs on Node (scripts/setup installs it).";
        }
    }

    struct Turn {
        ChildResult result;
        // Every version of the state file seen while the turn ran; each lasts at least as long
        // as Claude Code takes between two hook runs.
        std::vector<std::string> states;
        // What to print when something went wrong.
        std::string context;
    };

    // One real `claude -p` turn in a project folder, answered by the fake: one `Bash` call of
    // `echo hi`, then a final text, unless `apiOptions` for the fake say otherwise.
    Turn runTurn(std::vector<std::string> apiOptions = {}) const {
        const FakeMessagesApi api(node, fakeApiScript, std::move(apiOptions));
        const std::filesystem::path project = std::filesystem::path(home().path()) / "project";
        std::filesystem::create_directories(project);
        Turn turn;
        const auto watchState = [&] {
            std::optional<std::string> text = home().read(home().stateFile());
            if (text && (turn.states.empty() || turn.states.back() != *text)) {
                turn.states.push_back(std::move(*text));
            }
        };
        const std::string debugLog = home().path() + "/claude-debug.log";
        turn.result = claude({"-p", "say hi", "--debug-file", debugLog}, api.baseUrl(),
                             project.string(), watchState);
        watchState();
        std::string seen;
        for (const std::string& state : turn.states) {
            seen += state + "\n";
        }
        turn.context = describe(turn.result) + "\nrequests:\n" + api.requestLog() + "hook runs:\n" +
                       hookRuns(home(), debugLog) + "state file versions seen:\n" + seen;
        return turn;
    }

    // Whether the state file went the pet's way through the scripted turn: every version seen
    // is a step of that way, in its order (a step may pass too quickly to be seen), the shell
    // command showed, and the turn ended idle with the recap of the one command. Releases differ
    // in what the waving step says, so only its state counts.
    static bool followedTheTurn(const std::vector<std::string>& states) {
        const std::vector<std::pair<std::string, std::optional<std::string>>> way = {
            {"idle", "おかえり〜"}, {"running", "say hi"}, {"running", "$ echo …"},
            {"review", "考え中…"},  {"waving", {}},        {"idle", "おつかれ〜"}};
        std::size_t step = 0;
        bool sawCommand = false;
        for (const std::string& text : states) {
            const boost::json::object state = Json::parseObject(text);
            const auto name = Json::findString(state, "state");
            const auto message = Json::findString(state, "message");
            while (step < way.size() && !(name == way[step].first &&
                                          (!way[step].second || message == way[step].second))) {
                ++step;
            }
            if (step == way.size()) {
                return false;
            }
            sawCommand = sawCommand || message == "$ echo …";
        }
        const boost::json::object last =
            states.empty() ? boost::json::object() : Json::parseObject(states.back());
        return sawCommand && step == way.size() - 1 &&
               Json::findString(last, "recap") == "🔧 1コマンド";
    }

private:
    std::string cli_ = claudeCli;
    std::unique_ptr<TemporaryHome> home_;
};

} // namespace ClaudeCliTesting
