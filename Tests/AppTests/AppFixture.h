#pragma once

#include "FakePlatform.h"
#include "HatchState.h"
#include "QtScheduler.h"

#include <QColor>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// Every app test starts from empty settings and an empty pets folder of its own.
class AppFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A sheet whose cell (state, index) is filled with cellColor(state, index), except for its
    // top-left pixel, which stays transparent. Stored at 72 dpi, one pixel per unit.
    static QImage makeSheet();
    static QColor cellColor(HatchState state, int index);

    // Stores a setting; an invalid value removes it.
    static void store(const QString& key, const QVariant& value);

    // A pet package under petsDir(); returns its folder.
    QString addPet(const QString& id, const QString& displayName);
    QString petsDir() const { return pets_.path(); }

    // Runs the event loop until `done` holds or `timeoutMs` passed; whether it held.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

    FakePlatform platform;
    QtScheduler clock;

private:
    QTemporaryDir pets_;
};
