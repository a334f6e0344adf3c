#pragma once

#include "TemporaryHome.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <gtest/gtest.h>
#include <optional>

// Gives each test its own TemporaryHome, settings and working folder (<root>/work/project).
class HomeFixture : public testing::Test {
protected:
    void SetUp() override {
        home_.emplace();
        // QSettings caches its folders on first use; point it at this test's folder each time.
        // The test main makes INI the default format, which macOS, too, keeps in files.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path("config"));
        savedCwd_ = QDir::currentPath();
        ASSERT_TRUE(QDir().mkpath(workDir()));
        ASSERT_TRUE(QDir::setCurrent(workDir()));
    }

    void TearDown() override {
        QDir::setCurrent(savedCwd_);
        home_.reset();
    }

    // A path below the test's root folder.
    QString path(const QString& relative) const {
        return QFile::decodeName(home_->root().c_str()) + QLatin1Char('/') + relative;
    }
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
    std::optional<TemporaryHome> home_;
    QString savedCwd_;
};
