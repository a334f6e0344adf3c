#pragma once

#include "JsonPrinting.h"

#include <boost/json/object.hpp>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A fresh folder tree for the lifetime of the object, removed afterwards: <root>/home serves as
// $HOME, <root>/data as $XDG_DATA_HOME and <root>/config as $XDG_CONFIG_HOME, and the pet folder
// variables are unset. The previous environment comes back on destruction.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::string& root() const { return root_; }
    // The home folder.
    const std::string& path() const { return home_; }
    std::string mofliDir() const { return home_ + "/.claude/mofli"; }
    std::string stateFile() const { return mofliDir() + "/state.json"; }
    std::string sessionFile() const { return mofliDir() + "/session.json"; }

    // The parsed state file; an empty object when it is missing.
    boost::json::object state() const;
    boost::json::object session() const;
    std::optional<std::string> read(const std::string& file) const;
    // Creates the missing folders on the way.
    void write(const std::string& file, const std::string& contents) const;
    // Names of all entries in ~/.claude/mofli, sorted.
    std::vector<std::string> mofliEntries() const;

private:
    std::string root_;
    std::string home_;
    std::map<std::string, std::optional<std::string>> saved_;
};
