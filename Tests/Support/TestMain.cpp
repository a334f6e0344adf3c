// The one main of every test program. Qt suites are built with MOFLI_TEST_QT (an event loop, no
// display) or MOFLI_TEST_WIDGETS (windows, offscreen unless a display is asked for); the hook's
// suites run without Qt.
#include <gtest/gtest.h>

#if defined(MOFLI_TEST_WIDGETS)
#include <QApplication>
#elif defined(MOFLI_TEST_QT)
#include <QCoreApplication>
#endif
#if defined(MOFLI_TEST_WIDGETS) || defined(MOFLI_TEST_QT)
#include <QSettings>
#include <QTemporaryDir>
#endif

int main(int argc, char** argv) {
#if defined(MOFLI_TEST_WIDGETS) || defined(MOFLI_TEST_QT)
    // Settings, state file and pet folders of tests that make no home of their own stay out of
    // the user's.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    qunsetenv("MOFLI_PETS_DIR");
    qunsetenv("CODEX_HOME");
    // Native settings on macOS go to the user's preferences database, which no temporary home
    // redirects: the suites keep INI files under their own home on every system instead.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/.config");
#endif
#if defined(MOFLI_TEST_WIDGETS)
    // Listing the tests at build time happens without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // Closing a test's window must not end the event loops the tests run.
    QApplication::setQuitOnLastWindowClosed(false);
#elif defined(MOFLI_TEST_QT)
    QCoreApplication app(argc, argv);
#endif
#if defined(MOFLI_TEST_WIDGETS) || defined(MOFLI_TEST_QT)
    QCoreApplication::setOrganizationName(QStringLiteral("Mofli"));
    QCoreApplication::setApplicationName(QStringLiteral("Mofli"));
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
