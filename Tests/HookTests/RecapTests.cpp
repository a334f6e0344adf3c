#include "Files.h"
#include "HookPaths.h"
#include "Json.h"
#include "Recap.h"
#include "SessionLock.h"
#include "Sha1.h"
#include "TemporaryHome.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using namespace Recap;

namespace {

void preToolUse(const std::string& json) {
    recordTool(Json::parseObject(json));
}

} // namespace

TEST(Sha1, MatchesStandardVectors) {
    EXPECT_EQ(Sha1::hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Sha1::hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1::hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Sha1::hex(std::string(1'000'000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // Lengths around the padding boundary (55, 56, 64 bytes).
    EXPECT_EQ(Sha1::hex(std::string(55, 'x')), "cef734ba81a024479e09eb5a75b6ddae62e6abf1");
    EXPECT_EQ(Sha1::hex(std::string(56, 'x')), "901305367c259952f4e7af8323f480d59f81335b");
    EXPECT_EQ(Sha1::hex(std::string(64, 'x')), "bb2fa3ee7afb9f54c6dfb5d021f14b1ffe40c163");
    EXPECT_EQ(sha1hex12("abc"), "a9993e364706");
}

TEST(Recap, TestCommandDetectionIsALooseSubstringMatch) {
    EXPECT_TRUE(isTestCommand("pytest -q"));
    EXPECT_TRUE(isTestCommand("npx JEST --watch"));
    EXPECT_TRUE(isTestCommand("pip install latest"));
    EXPECT_TRUE(isTestCommand("docker inspect x"));
    EXPECT_TRUE(isTestCommand("GO TEST ./..."));
    EXPECT_FALSE(isTestCommand("cargo build"));
    EXPECT_FALSE(isTestCommand(std::nullopt));
}

TEST(Recap, CountsToolCallsPerSession) {
    TemporaryHome home;
    preToolUse(R"({"session_id":"s1","tool_name":"Bash","tool_input":{"command":"pytest -q"}})");
    EXPECT_EQ(home.session(),
              Json::parseObject(R"({"session_id":"s1","edited":[],"bash":1,"tests":1,
                  "searches":0,"agents":0})"));

    preToolUse(R"({"session_id":"s1","tool_name":"Edit","tool_input":{"file_path":"/p/a.c"}})");
    preToolUse(R"({"session_id":"s1","tool_name":"Write","tool_input":{"file_path":"/p/a.c"}})");
    preToolUse(R"({"session_id":"s1","tool_name":"MultiEdit","tool_input":{"file_path":"b.c"}})");
    preToolUse(R"({"session_id":"s1","tool_name":"Edit","tool_input":{"file_path":""}})");
    preToolUse(R"({"session_id":"s1","tool_name":"Edit"})");
    for (const char* tool : {"Grep", "Glob", "WebSearch", "WebFetch"}) {
        preToolUse(std::string(R"({"session_id":"s1","tool_name":")") + tool + "\"}");
    }
    preToolUse(R"({"session_id":"s1","tool_name":"Agent"})");
    preToolUse(R"({"session_id":"s1","tool_name":"Read","tool_input":{"file_path":"/p/a.c"}})");
    preToolUse(R"({"session_id":"s1","tool_name":"Bash","tool_input":{"command":"make"}})");
    EXPECT_EQ(home.session(),
              Json::parseObject(R"({"session_id":"s1","edited":["4bc31747a727","336615668278"],
                  "bash":2,"tests":1,"searches":4,"agents":1})"));
    EXPECT_EQ(
        buildRecap("s1"),
        "📝 2ファイル・🔧 2コマンド・✅ テスト1回・🔍 4回調べた・🤖 "
        "サブ1体");
}

TEST(Recap, AnotherSessionStartsAfreshAndAMissingIdIsTheEmptyId) {
    TemporaryHome home;
    preToolUse(R"({"session_id":"s1","tool_name":"Bash"})");
    preToolUse(R"({"session_id":"s2","tool_name":"Grep"})");
    EXPECT_EQ(home.session(), Json::parseObject(R"({"session_id":"s2","edited":[],"bash":0,
                  "tests":0,"searches":1,"agents":0})"));
    preToolUse(R"({"tool_name":"Read"})");
    EXPECT_EQ(home.session(), freshSession(""));
    preToolUse(R"({"session_id":5,"tool_name":"Agent"})");
    EXPECT_EQ(home.session(), Json::parseObject(R"({"session_id":"","edited":[],"bash":0,
                  "tests":0,"searches":0,"agents":1})"));
}

TEST(Recap, ToleratesWrongTypesAndKeepsUnknownKeys) {
    TemporaryHome home;
    home.write(HookPaths::sessionCountsFile("s"),
               R"({"session_id":"s","edited":["abc",1],"bash":"7",
        "tests":2.0,"searches":3,"future":{"kept":[1,2]}})");
    EXPECT_EQ(buildRecap("s"), "🔍 3回調べた");
    preToolUse(R"({"session_id":"s","tool_name":"Bash","tool_input":{"command":"vitest"}})");
    EXPECT_EQ(home.session(), Json::parseObject(R"({"session_id":"s","edited":["abc",1],"bash":1,
        "tests":1,"searches":3,"future":{"kept":[1,2]}})"));
    preToolUse(R"({"session_id":"s","tool_name":"Edit","tool_input":{"file_path":"abc"}})");
    EXPECT_EQ(Json::find(home.session(), "edited")->as_array(),
              boost::json::array{sha1hex12("abc")});
}

TEST(Recap, NoRecapWithoutCountedWork) {
    TemporaryHome home;
    const std::string counts = HookPaths::sessionCountsFile("x");
    EXPECT_EQ(buildRecap("x"), std::nullopt);
    home.write(counts, "not json");
    EXPECT_EQ(loadSession("x"), boost::json::object{});
    EXPECT_EQ(buildRecap("x"), std::nullopt);
    home.write(counts, "[1]");
    EXPECT_EQ(buildRecap("x"), std::nullopt);
    home.write(counts, Json::serialize(freshSession("x")));
    EXPECT_EQ(buildRecap("x"), std::nullopt);
    home.write(counts, R"({"agents":2,"bash":-1})");
    EXPECT_EQ(buildRecap("x"), "🤖 サブ2体");
}

TEST(Files, FailedReplacementKeepsTheTargetAndLeavesNoTemporaryFile) {
    TemporaryHome home;
    const std::string folder = home.path() + "/target";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    EXPECT_FALSE(Files::replaceAtomically(folder, "data")); // Cannot rename over a folder.
    EXPECT_TRUE(Files::replaceAtomically(home.path() + "/a/b/file", "data"));
    EXPECT_EQ(home.read(home.path() + "/a/b/file"), "data");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
    home.write(home.path() + "/plain", "x");
    EXPECT_FALSE(Files::replaceAtomically(home.path() + "/plain/file", "data"));
}

TEST(SessionLock, WaitIsBoundedWhileAnotherHolderKeepsTheLock) {
    TemporaryHome home;
    const std::string path = home.path() + "/lock";
    const SessionLock first(path, std::chrono::milliseconds(0));
    ASSERT_TRUE(first.held());
    const SessionLock second(path, std::chrono::milliseconds(20));
    EXPECT_FALSE(second.held());
    EXPECT_FALSE(SessionLock(home.path() + "/missing/lock", std::chrono::milliseconds(0)).held());
}

TEST(Recap, CallsThatFindTheLockHeldAreCountedByTheNextHolderInTheirOrder) {
    TemporaryHome home;
    std::filesystem::create_directories(home.mofliDir());
    std::optional<SessionLock> stuck;
    stuck.emplace(home.mofliDir() + "/session.lock", std::chrono::milliseconds(0));
    ASSERT_TRUE(stuck->held());
    preToolUse(R"({"session_id":"s1","tool_name":"Bash","tool_input":{"command":"ls"}})");
    preToolUse(R"({"session_id":"s2","tool_name":"Edit","tool_input":{"file_path":"/p/a.c"}})");
    preToolUse(R"({"session_id":"s2","tool_name":"Bash","tool_input":{"command":"pytest"}})");
    EXPECT_FALSE(home.read(home.sessionFile())) << "nothing is written without the lock";
    EXPECT_EQ(buildRecap("s2"), "📝 1ファイル・🔧 1コマンド・✅ テスト1回");
    EXPECT_EQ(buildRecap("s1"), "🔧 1コマンド");
    for (const auto& entry : std::filesystem::directory_iterator(home.mofliDir())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("session.pending.")) {
            EXPECT_EQ(home.read(entry.path().string())->find("/p/a.c"), std::string::npos)
                << "a pending call keeps no path";
        }
    }

    stuck.reset();
    preToolUse(R"({"session_id":"s2","tool_name":"Grep"})");
    EXPECT_EQ(home.session(), Json::parseObject(R"({"session_id":"s2","edited":["4bc31747a727"],
        "bash":1,"tests":1,"searches":1,"agents":0})"));
    EXPECT_EQ(loadSession("s1"), Json::parseObject(R"({"session_id":"s1","edited":[],"bash":1,
        "tests":0,"searches":0,"agents":0})"));
    EXPECT_EQ(home.mofliEntries(),
              (std::vector<std::string>{"session.json", "session.lock", "sessions"}));
}
