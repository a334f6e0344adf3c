#include "HomeFixture.h"
#include "LoginItem.h"

#include <QCoreApplication>

namespace {

using LoginItemTest = HomeFixture;

TEST_F(LoginItemTest, TheAutostartEntryComesAndGoesAndIsWhatIsReported) {
    const QString entry = path("config/autostart/mofli.desktop");
    EXPECT_FALSE(LoginItem::isEnabled());
    ASSERT_TRUE(LoginItem::setEnabled(true));
    EXPECT_TRUE(LoginItem::isEnabled());
    const QString text = QString::fromUtf8(readFile(entry));
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=" + QCoreApplication::applicationFilePath() + "\n"))
        << text.toStdString();

    // Desktop settings switch an entry off in place; that is what counts.
    writeFile(entry, readFile(entry) + "Hidden=true\n");
    EXPECT_FALSE(LoginItem::isEnabled());
    ASSERT_TRUE(LoginItem::setEnabled(true));
    EXPECT_TRUE(LoginItem::isEnabled());

    ASSERT_TRUE(LoginItem::setEnabled(false));
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(LoginItem::isEnabled());
    EXPECT_TRUE(LoginItem::setEnabled(false)) << "nothing to remove is fine";
}

} // namespace
