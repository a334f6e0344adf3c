#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <initializer_list>
#include <optional>
#include <utility>

// Keeps the values of some environment variables and puts them back, set or unset as they were,
// when it goes: a test may change them freely.
class SavedEnvironment {
public:
    SavedEnvironment(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            saved_.append({name, qEnvironmentVariableIsSet(name)
                                     ? std::optional<QByteArray>(qgetenv(name))
                                     : std::nullopt});
        }
    }
    ~SavedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                qputenv(name, *value);
            } else {
                qunsetenv(name);
            }
        }
    }
    SavedEnvironment(const SavedEnvironment&) = delete;
    SavedEnvironment& operator=(const SavedEnvironment&) = delete;

private:
    QList<std::pair<const char*, std::optional<QByteArray>>> saved_;
};
