// The app's own link and unlink against the real Claude Code CLI, and the whole road: linked by
// the app, the plugin makes a real session move the pet.
#include "ClaudeCliFixture.h"
#include "MofliLinkManager.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
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
        fs::create_symlink(claudeCli, home().path() + "/.local/bin/claude");
        // The app runs `claude` with its own environment: make that the offline one.
        for (const std::string& entry : environment(noModelApi)) {
            const auto equals = entry.find('=');
            set(entry.substr(0, equals), entry.substr(equals + 1));
        }
        set("MOFLI_RESOURCE_DIR", fs::path(stagedPlugin).parent_path().string());
        // No login shell may find a `claude` of this machine.
        set("SHELL", "/bin/false");
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

    // Changes the test's environment until the end of the test; HOME and the XDG folders
    // already belong to its temporary home.
    void set(const std::string& name, const std::string& value) {
        if (name != "HOME" && !saved_.count(name)) {
            saved_[name] = qEnvironmentVariableIsSet(name.c_str())
                               ? std::optional(qgetenv(name.c_str()))
                               : std::nullopt;
        }
        qputenv(name.c_str(), QByteArray::fromStdString(value));
    }

    bool listed() const {
        const ChildResult list = claude({"plugin", "list"});
        EXPECT_EQ(list.exitStatus, 0) << describe(list);
        return list.output.find("mofli@mofli") != std::string::npos;
    }

private:
    std::map<std::string, std::optional<QByteArray>> saved_;
};

} // namespace

TEST_F(LinkManagerCli, LinkInstallsThePluginTwiceOverAndUnlinkRemovesIt) {
    ASSERT_EQ(MofliLinkManager::claudePath(),
              QString::fromStdString(home().path()) + "/.local/bin/claude");
    const auto first = MofliLinkManager::link();
    ASSERT_EQ(first, std::nullopt) << first->localizedDescription().toStdString();
    EXPECT_TRUE(listed());
    EXPECT_TRUE(MofliLinkManager::isLinked());
    EXPECT_TRUE(
        QFileInfo(MofliLinkManager::installedPluginDir() + "/bin/MofliHook").isExecutable());

    const auto again = MofliLinkManager::link();
    EXPECT_EQ(again, std::nullopt) << again->localizedDescription().toStdString();
    EXPECT_TRUE(listed());

    EXPECT_EQ(MofliLinkManager::unlink(), std::nullopt);
    EXPECT_FALSE(listed());
    EXPECT_FALSE(MofliLinkManager::isLinked());
    EXPECT_FALSE(QFileInfo::exists(MofliLinkManager::installedPluginDir()));
}

TEST_F(LinkManagerCli, APluginLinkedByTheAppMovesThePetInARealSession) {
    skipWithoutNode();
    if (IsSkipped()) {
        return;
    }
    const auto error = MofliLinkManager::link();
    ASSERT_EQ(error, std::nullopt) << error->localizedDescription().toStdString();
    const Turn turn = runTurn();
    ASSERT_EQ(turn.result.exitStatus, 0) << turn.context;
    EXPECT_TRUE(sawRunningEcho(turn.states)) << turn.context;
    EXPECT_EQ(Json::findInteger(home().session(), "bash"), 1) << turn.context;
    const boost::json::object state = home().state();
    const auto last = Json::findString(state, "state");
    EXPECT_TRUE(last == "idle" || last == "waving") << turn.context;
}
