#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <optional>

// Gives each test its own home, XDG folders, settings and working folder (<root>/work/project),
// and puts the process environment back afterwards.
class TemporaryHome : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        for (const char* name :
             {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "MOFLI_PETS_DIR", "CODEX_HOME"}) {
            saved_[name] =
                qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
            qunsetenv(name);
        }
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        // QSettings caches its folders on first use; point it at this test's folder each time.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("config"));
        savedCwd_ = QDir::currentPath();
        ASSERT_TRUE(QDir().mkpath(workDir()));
        ASSERT_TRUE(QDir::setCurrent(workDir()));
    }

    void TearDown() override {
        QDir::setCurrent(savedCwd_);
        for (const auto& [name, value] : saved_) {
            if (value) {
                qputenv(name.c_str(), *value);
            } else {
                qunsetenv(name.c_str());
            }
        }
    }

    QString path(const QString& relative) const { return root_.filePath(relative); }
    QString home() const { return path("home"); }
    QString workDir() const { return path("work/project"); }

    static void writeFile(const QString& filePath, const QByteArray& contents) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(filePath).path()));
        QFile file(filePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    static QByteArray readFile(const QString& filePath) {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir root_;
    QString savedCwd_;
    std::map<std::string, std::optional<QByteArray>> saved_;
};
