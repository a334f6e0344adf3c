// The app's own link, refresh and unlink against real Claude Code CLIs: the pinned one and the
// older releases users still run. Linked by the app, the plugin must load without errors and make
// a real session move the pet.
#include "ClaudeCliFixture.h"
#include "MofliLinkManager.h"
#include "PluginHooks.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <fstream>
#include <map>

using namespace ClaudeCliTesting;
namespace fs = std::filesystem;

namespace {

class LinkManagerCli : public ClaudeCli {
protected:
    void SetUp() override {
        ClaudeCli::SetUp();
        if (IsSkipped()) {
            return;
        }
        // Where Claude Code's native installer puts it, the first place the app looks.
        fs::create_directories(home().path() + "/.local/bin");
        fs::create_symlink(cli(), home().path() + "/.local/bin/claude");
        // The app runs `claude` with its own environment: make that the offline one.
        for (const std::string& entry : environment(noModelApi)) {
            const auto equals = entry.find('=');
            set(entry.substr(0, equals), entry.substr(equals + 1));
        }
        // A data folder with a space, as macOS has ("Application Support"): the hook's path
        // must survive the shell of the older releases.
        set("XDG_DATA_HOME", home().root() + "/App Data");
        set("MOFLI_RESOURCE_DIR", fs::path(stagedPlugin).parent_path().string());
        // No login shell may find a `claude` of this machine.
        set("MOFLI_CLAUDE_SHELL", "/usr/bin/false");
    }

    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                qputenv(name.c_str(), *value);
            } else {
                qunsetenv(name.c_str());
            }
        }
        ClaudeCli::TearDown();
    }

    // Changes the test's environment until the end of the test; HOME already belongs to its
    // temporary home.
    void set(const std::string& name, const std::string& value) {
        if (name != "HOME" && !saved_.count(name)) {
            saved_[name] = qEnvironmentVariableIsSet(name.c_str())
                               ? std::optional(qgetenv(name.c_str()))
                               : std::nullopt;
        }
        qputenv(name.c_str(), QByteArray::fromStdString(value));
    }

    // The plugin's entry in `claude plugin list --json`, asked directly; empty when not listed.
    boost::json::object listed() const {
        const ChildResult list = claude({"plugin", "list", "--json"});
        EXPECT_EQ(list.exitStatus, 0) << describe(list);
        const auto start = list.output.find('[');
        const boost::json::object wrapped = Json::parseObject(
            "{\"entries\":" + (start == std::string::npos ? "[]" : list.output.substr(start)) +
            "}");
        if (const boost::json::value* entries = Json::find(wrapped, "entries");
            entries && entries->is_array()) {
            for (const boost::json::value& entry : entries->get_array()) {
                if (entry.is_object() &&
                    Json::findString(entry.get_object(), "id") == "mofli@mofli") {
                    return entry.get_object();
                }
            }
        }
        return {};
    }

    static std::string text(const std::optional<LinkError>& error) {
        return error ? error->localizedDescription().toStdString() : std::string();
    }

private:
    std::map<std::string, std::optional<QByteArray>> saved_;
};

class LinkedRelease : public LinkManagerCli, public testing::WithParamInterface<CliRelease> {
protected:
    void SetUp() override {
        useCli(GetParam().path);
        LinkManagerCli::SetUp();
    }
};

std::string releaseName(const testing::TestParamInfo<CliRelease>& info) {
    std::string name = info.param.version;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

std::string fileText(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), {}};
}

} // namespace

// From a fresh home the app links the plugin, Claude Code loads it without errors and runs its
// hooks through a real turn. Then a newer app brings its changed plugin into Claude Code, which
// loads the new copy (older releases from their own cache), and the app unlinks it again.
TEST_P(LinkedRelease, LinksRunsARealTurnTakesANewerPluginAndUnlinks) {
    skipWithoutNode();
    if (IsSkipped()) {
        return;
    }
    const std::string release = claude({"--version"}).output;
    const auto version = CliVersion::parse(QString::fromStdString(release));
    ASSERT_TRUE(version) << release;
    if (GetParam().version != "pinned") {
        EXPECT_EQ(version->toString().toStdString(), GetParam().version);
    }
    ASSERT_EQ(MofliLinkManager::claudePath(),
              QString::fromStdString(home().path()) + "/.local/bin/claude");

    const auto linked = MofliLinkManager::link();
    ASSERT_EQ(linked, std::nullopt) << text(linked);
    boost::json::object entry = listed();
    ASSERT_FALSE(entry.empty());
    EXPECT_EQ(Json::find(entry, "enabled")->as_bool(), true);
    EXPECT_TRUE(!Json::find(entry, "errors") || Json::find(entry, "errors")->as_array().empty())
        << Json::serialize(entry);
    EXPECT_TRUE(MofliLinkManager::isLinked());

    const Turn turn = runTurn();
    ASSERT_EQ(turn.result.exitStatus, 0) << turn.context;
    EXPECT_TRUE(followedTheTurn(turn.states)) << turn.context;
    EXPECT_EQ(Json::findInteger(home().session(), "bash"), 1) << turn.context;

    // The next app ships a changed plugin.
    const fs::path next = fs::path(home().root()) / "next-app";
    fs::create_directories(next);
    fs::copy(stagedPlugin, next / "mofli-plugin", fs::copy_options::recursive);
    const fs::path manifest = next / "mofli-plugin/.claude-plugin/plugin.json";
    std::string contents = fileText(manifest);
    contents.replace(contents.find("\"0.1.0\""), 7, "\"0.1.0-next\"");
    std::ofstream(manifest, std::ios::binary | std::ios::trunc) << contents;
    set("MOFLI_RESOURCE_DIR", next.string());
    const auto refreshed = MofliLinkManager::refresh();
    ASSERT_EQ(refreshed, std::nullopt) << text(refreshed);
    entry = listed();
    ASSERT_FALSE(entry.empty());
    EXPECT_TRUE(!Json::find(entry, "errors") || Json::find(entry, "errors")->as_array().empty())
        << Json::serialize(entry);
    const fs::path deployed = MofliLinkManager::installedPluginDir().toStdString();
    const fs::path inUse = std::string(Json::findString(entry, "installPath").value_or(""));
    for (const fs::path& copy : {deployed, inUse}) {
        EXPECT_EQ(fileText(copy / ".claude-plugin/plugin.json"), contents) << copy;
        EXPECT_EQ(fileText(copy / PluginHooks::hooksFile),
                  PluginHooks::hooksJson(*version).toStdString())
            << copy;
    }

    const auto unlinked = MofliLinkManager::unlink();
    EXPECT_EQ(unlinked, std::nullopt) << text(unlinked);
    EXPECT_TRUE(listed().empty());
    EXPECT_FALSE(fs::exists(deployed));
}

INSTANTIATE_TEST_SUITE_P(Releases, LinkedRelease, testing::ValuesIn(cliReleases()), releaseName);

// The oldest release in the test matrix is the oldest one the app links, and nothing older.
TEST(ClaudeCliReleases, TheOldestTestedIsTheOldestSupported) {
    std::optional<CliVersion> oldest;
    for (const CliRelease& release : cliReleases()) {
        if (release.version != "pinned") {
            const auto version = CliVersion::parse(QString::fromStdString(release.version));
            ASSERT_TRUE(version) << release.version;
            oldest = oldest ? std::min(*oldest, *version) : *version;
        }
    }
    if (!oldest) {
        GTEST_SKIP() << "scripts/setup passed no older Claude Code releases to this build (the "
                        "sanitized build runs the pinned one alone)";
    }
    EXPECT_EQ(*oldest, PluginHooks::oldestSupported) << oldest->toString().toStdString();
}

// `claude plugin validate` on the folder the app deploys for the pinned release.
TEST_F(LinkManagerCli, ValidateAcceptsTheDeployedPluginAndItsManifest) {
    const auto version = CliVersion::parse(QString::fromStdString(claude({"--version"}).output));
    ASSERT_TRUE(version);
    ASSERT_EQ(MofliLinkManager::deployBundledPlugin(*version), std::nullopt);
    const std::string deployed = MofliLinkManager::installedPluginDir().toStdString();
    for (const std::string& target : {deployed, deployed + "/.claude-plugin/plugin.json"}) {
        SCOPED_TRACE(target);
        const ChildResult result = claude({"plugin", "validate", target});
        EXPECT_EQ(result.exitStatus, 0) << describe(result);
        EXPECT_NE(result.output.find("Validation passed"), std::string::npos) << describe(result);
    }
}

// The service answers 529 Overloaded once the turn's first command has run, until Claude Code
// gives up. By default it retries ten times over about three minutes; CLAUDE_CODE_MAX_RETRIES
// keeps that to one retry. The plugin the app links must hand the StopFailure that follows to the
// hook, which shows the failure pose and keeps the recap.
TEST_F(LinkManagerCli, AnOverloadedServiceEndsTheTurnWithTheFailurePoseAndKeepsTheRecap) {
    skipWithoutNode();
    if (IsSkipped()) {
        return;
    }
    const auto linked = MofliLinkManager::link();
    ASSERT_EQ(linked, std::nullopt) << text(linked);
    moreEnvironment = {"CLAUDE_CODE_MAX_RETRIES=1"};

    const Turn turn = runTurn({"--status-after-tool", "529"});
    EXPECT_NE(turn.result.exitStatus, 0) << turn.context;
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
