#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    // Listing the tests at build time happens without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Settings, state file and pet folders all live in a home of their own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    qunsetenv("MOFLI_PETS_DIR");
    qunsetenv("CODEX_HOME");

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Mofli"));
    QCoreApplication::setApplicationName(QStringLiteral("Mofli"));
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
