#pragma once

#include <boost/json/object.hpp>
#include <optional>
#include <string>
#include <vector>

// A fresh folder that serves as $HOME for the lifetime of the object; removed afterwards.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::string& path() const { return path_; }
    std::string mofliDir() const { return path_ + "/.claude/mofli"; }
    std::string stateFile() const { return mofliDir() + "/state.json"; }
    std::string sessionFile() const { return mofliDir() + "/session.json"; }

    // The parsed state file; an empty object when it is missing.
    boost::json::object state() const;
    boost::json::object session() const;
    std::optional<std::string> read(const std::string& file) const;
    void write(const std::string& file, const std::string& contents) const;
    // Names of all entries in ~/.claude/mofli, sorted.
    std::vector<std::string> mofliEntries() const;

private:
    std::string path_;
    std::optional<std::string> previousHome_;
};
