// The Claude Code plugin as the build stages it for the app; these checks need no Claude Code.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace {

const std::string pluginDir = MOFLI_STAGED_PLUGIN_DIR;

std::string readFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream contents;
    contents << stream.rdbuf();
    return contents.str();
}

} // namespace

// Claude Code may run the plugin from a copy in its cache, which takes only the plugin's own
// folder: the hook must sit inside it, executable and as built, and outside bin/, which Claude
// Code adds to the PATH of every shell command.
TEST(ClaudeCliPluginFolder, CarriesTheBuiltHookInsideThePlugin) {
    const std::string staged = pluginDir + "/hook/MofliHook";
    EXPECT_NE(::access((pluginDir + "/bin").c_str(), F_OK), 0);
    ASSERT_EQ(::access(staged.c_str(), X_OK), 0) << staged;
    EXPECT_TRUE(readFile(staged) == readFile(MOFLI_HOOK_PATH))
        << staged << " differs from " << MOFLI_HOOK_PATH;
}
