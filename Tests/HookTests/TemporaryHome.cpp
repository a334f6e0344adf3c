#include "TemporaryHome.h"

#include "Json.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TemporaryHome::TemporaryHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mofli-hook-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    if (const char* home = std::getenv("HOME")) {
        previousHome_ = home;
    }
    ::setenv("HOME", path_.c_str(), 1);
}

TemporaryHome::~TemporaryHome() {
    if (previousHome_) {
        ::setenv("HOME", previousHome_->c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
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
