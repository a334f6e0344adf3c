#include "TemporaryHome.h"

#include "Json.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

constexpr const char* managedVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                                            "MOFLI_PETS_DIR", "CODEX_HOME"};

} // namespace

TemporaryHome::TemporaryHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mofli-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
    home_ = root_ + "/home";
    std::filesystem::create_directories(home_);
    for (const char* name : managedVariables) {
        const char* value = std::getenv(name);
        saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        ::unsetenv(name);
    }
    ::setenv("HOME", home_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
}

TemporaryHome::~TemporaryHome() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

boost::json::object TemporaryHome::state() const {
    return Json::parseObject(read(stateFile()).value_or(""));
}

boost::json::object TemporaryHome::session() const {
    return Json::parseObject(read(sessionFile()).value_or(""));
}

std::optional<std::string> TemporaryHome::read(const std::string& file) const {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << stream.rdbuf();
    return contents.str();
}

void TemporaryHome::write(const std::string& file, const std::string& contents) const {
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << contents;
}

std::vector<std::string> TemporaryHome::mofliEntries() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(mofliDir(), ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
