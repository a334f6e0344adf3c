#include "HomeFixture.h"
#include "linux/XdgAutostart.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

using LoginItemTest = HomeFixture;

TEST_F(LoginItemTest, TheAutostartEntryComesAndGoesAndIsWhatIsReported) {
    XdgAutostart autostart;
    const QString entry = path("config/autostart/mofli.desktop");
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(autostart.setEnabled(true));
    EXPECT_TRUE(autostart.isEnabled());
    const QString text = QString::fromUtf8(readFile(entry));
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=" + QCoreApplication::applicationFilePath() + "\n"))
        << text.toStdString();

    // Desktop settings switch an entry off in place; that is what counts.
    writeFile(entry, readFile(entry) + "Hidden=true\n");
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(autostart.setEnabled(true));
    EXPECT_TRUE(autostart.isEnabled());

    ASSERT_TRUE(autostart.setEnabled(false));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.setEnabled(false)) << "nothing to remove is fine";
}

TEST_F(LoginItemTest, TheEntryStartsTheAppFromAnyFolderAndNeverWritesThroughALink) {
    for (const char* tool : {"desktop-file-validate", "gio"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)";
        }
    }
    const QString entry = path("config/autostart/mofli.desktop");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home());
    environment.insert("XDG_CONFIG_HOME", path("config"));
    const auto run = [&](const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& env) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        process.waitForFinished(20000);
        return std::pair(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                         QString::fromUtf8(process.readAll()));
    };
    // Every character the desktop entry rules reserve, field codes, and a line feed.
    const struct {
        const char* folder;
        bool registers;
        // GLib looks for the program before it undoubles '%', so gio cannot start a program whose
        // path holds one; desktop-file-validate still checks those entries.
        bool launches;
    } cases[] = {
        {"100%f %u", true, false},   {"a;b&c|d", true, true},   {"#(x)*?", true, true},
        {"tab\there", true, true},   {"\"q\" 'q'", true, true}, {"back\\slash", true, true},
        {"$HOME`id`", true, true},   {"~<in>", true, true},     {"日本語", true, true},
        {"new\nline", false, false},
    };
    for (const auto& c : cases) {
        const QString folder = path("apps/") + QString::fromUtf8(c.folder);
        SCOPED_TRACE(folder.toStdString());
        const QString program = folder + "/mofli";
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::copy(MOFLI_AUTOSTART_PROBE, program));
        QProcessEnvironment registering = environment;
        registering.insert("MOFLI_PROBE_REGISTER", "1");
        EXPECT_EQ(run(program, {}, registering).first, c.registers ? 0 : 1);
        if (!c.registers) {
            EXPECT_FALSE(QFile::exists(entry)) << "a line feed would split the entry";
            continue;
        }
        const auto [valid, complaints] = run("desktop-file-validate", {entry}, environment);
        EXPECT_EQ(valid, 0) << complaints.toStdString() << readFile(entry).toStdString();
        if (c.launches) {
            QFile::remove(home() + "/started");
            const auto [launched, output] = run("gio", {"launch", entry}, environment);
            EXPECT_EQ(launched, 0) << output.toStdString();
            EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(home() + "/started"); }, 10000));
            EXPECT_EQ(readFile(home() + "/started"), QFile::encodeName(program))
                << readFile(entry).toStdString();
        }
        QFile::remove(entry);
    }

    // A link in the entry's place is replaced, not followed.
    XdgAutostart autostart;
    writeFile(path("elsewhere"), "mine");
    ASSERT_TRUE(QFile::link(path("elsewhere"), entry));
    ASSERT_TRUE(autostart.setEnabled(true));
    EXPECT_EQ(readFile(path("elsewhere")), "mine");
    EXPECT_FALSE(QFileInfo(entry).isSymLink());
    EXPECT_TRUE(autostart.isEnabled());
}

} // namespace
