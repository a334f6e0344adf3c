#include "HomeFixture.h"
#include "Settings.h"
#include "TopmostPreferences.h"

#include <cmath>

namespace {

class SettingsTest : public HomeFixture {
protected:
    static void store(const char* key, const QVariant& value) {
        if (value.isValid()) {
            QSettings().setValue(key, value);
        } else {
            QSettings().remove(key);
        }
    }

    // What a text-based settings file gives back after a fresh start.
    static void storeText(const char* key, const QString& text) { QSettings().setValue(key, text); }
};

// On macOS the native format is the user's preferences database: a test writing there would
// change the real app's settings, whatever home it set.
TEST_F(SettingsTest, TestsKeepTheirSettingsInAFileUnderTheirOwnHome) {
    Settings::setSelectedPetId(QStringLiteral("mochi"));
    QSettings settings;
    settings.sync();
    EXPECT_EQ(settings.format(), QSettings::IniFormat);
    EXPECT_TRUE(settings.fileName().startsWith(path("config") + "/"))
        << settings.fileName().toStdString();
    EXPECT_TRUE(QFileInfo(settings.fileName()).isFile());
}

TEST_F(SettingsTest, BooleansReadStoredValuesAndTheWordsTextFilesWrite) {
    struct Case {
        QVariant stored;
        bool onTop;
        bool codex;
    };
    const Case cases[] = {
        {QVariant(), true, false},
        {true, true, true},
        {false, false, false},
        {QStringLiteral("true"), true, true},
        {QStringLiteral("false"), false, false},
        {QStringLiteral("sometimes"), true, false},
        {42, true, false},
    };
    for (const Case& c : cases) {
        store("alwaysOnTop", c.stored);
        store("codexPetsEnabled", c.stored);
        store("didAttemptInitialLink", c.stored);
        EXPECT_EQ(Settings::alwaysOnTop(), c.onTop) << c.stored.toString().toStdString();
        EXPECT_EQ(TopmostPreferences::enabled(), c.onTop);
        EXPECT_EQ(Settings::codexPetsEnabled(), c.codex) << c.stored.toString().toStdString();
        EXPECT_EQ(Settings::didAttemptInitialLink(), c.codex);
    }
}

TEST_F(SettingsTest, WrittenValuesSurviveATextFileRoundTrip) {
    TopmostPreferences::setEnabled(false);
    Settings::setCodexPetsEnabled(true);
    Settings::setDidAttemptInitialLink(true);
    Settings::setPetScale(1.25);
    Settings::setSelectedPetId(QStringLiteral("mochi"));
    QSettings().sync();
    // A fresh reader sees what a later launch sees: the file's text, not the values in memory.
    const QString file = QSettings().fileName();
    QSettings reread(file, QSettings::IniFormat);
    EXPECT_EQ(reread.value("alwaysOnTop").toString(), "false");
    for (const char* key : {"alwaysOnTop", "codexPetsEnabled", "didAttemptInitialLink"}) {
        storeText(key, reread.value(key).toString());
    }
    EXPECT_FALSE(Settings::alwaysOnTop());
    EXPECT_TRUE(Settings::codexPetsEnabled());
    EXPECT_TRUE(Settings::didAttemptInitialLink());
    EXPECT_DOUBLE_EQ(Settings::petScale(), 1.25);
    EXPECT_EQ(Settings::selectedPetId(), QStringLiteral("mochi"));
}

TEST_F(SettingsTest, ScaleAndPetIdTolerateWhatTheyCannotUse) {
    const struct {
        QVariant stored;
        double scale;
    } scales[] = {{QVariant(), 1.0},
                  {0.0, 1.0},
                  {3.0, 3.0},
                  {QStringLiteral("1.5"), 1.5},
                  {QStringLiteral("big"), 1.0},
                  {std::nan(""), 1.0},
                  {INFINITY, 1.0}};
    for (const auto& c : scales) {
        store("petScale", c.stored);
        EXPECT_DOUBLE_EQ(Settings::petScale(), c.scale) << c.stored.toString().toStdString();
    }
    store("selectedPetId", QVariant());
    EXPECT_EQ(Settings::selectedPetId(), std::nullopt);
    store("selectedPetId", QString());
    EXPECT_EQ(Settings::selectedPetId(), std::nullopt);
}

} // namespace
