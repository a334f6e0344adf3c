#include "EntryWatch.h"
#include "HomeFixture.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The notes kqueue gives, fed by hand around real changes of real files: the folder says only
// that some entry changed, the file watch stays on the file it was opened on.
class EntryWatchTest : public HomeFixture {
protected:
    void SetUp() override {
        HomeFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(folder()));
    }

    void TearDown() override {
        if (fd_ >= 0) {
            close(fd_);
        }
        HomeFixture::TearDown();
    }

    QString folder() const { return path("home/.claude/mofli"); }
    QString file() const { return folder() + "/state.json"; }

    // What the kqueue source does on attach: opens the path and hands the descriptor over.
    void attach(EntryWatch& watch) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = open(QFile::encodeName(file()).constData(), O_RDONLY);
        watch.attached(fd_);
    }

    // How the hook writes: a temporary file beside the target, renamed over it.
    void replace(const QByteArray& contents) {
        const QString temporary = folder() + "/.state.json.tmp";
        writeFile(temporary, contents);
        ASSERT_EQ(std::rename(QFile::encodeName(temporary).constData(),
                              QFile::encodeName(file()).constData()),
                  0);
    }

    static EntryWatch::Notes folderChanged() {
        EntryWatch::Notes notes;
        notes.folderChanged = true;
        return notes;
    }

    static void expectOutcome(const EntryWatch::Outcome& outcome, bool reattach, bool report) {
        EXPECT_EQ(outcome.reattach, reattach);
        EXPECT_EQ(outcome.report, report);
    }

private:
    int fd_ = -1;
};

} // namespace

TEST_F(EntryWatchTest, ANewVersionRenamedOverTheFileMovesTheWatchAndReports) {
    writeFile(file(), "first");
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    replace("second");
    expectOutcome(watch.consider(folderChanged()), true, true);
    attach(watch);
    // The folder's note of the next version's temporary file alone says nothing about the file.
    expectOutcome(watch.consider(folderChanged()), false, false);
    replace("third");
    expectOutcome(watch.consider(folderChanged()), true, true);
}

TEST_F(EntryWatchTest, OtherEntriesComingAndGoingAreNotReported) {
    writeFile(file(), "first");
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    writeFile(folder() + "/.state.json.tmp", "half");
    expectOutcome(watch.consider(folderChanged()), false, false);
    ASSERT_TRUE(QFile::remove(folder() + "/.state.json.tmp"));
    expectOutcome(watch.consider(folderChanged()), false, false);
}

TEST_F(EntryWatchTest, WritesInPlaceReportWithoutMovingTheWatch) {
    writeFile(file(), "first");
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    writeFile(file(), "second");
    EntryWatch::Notes notes;
    notes.fileWritten = true;
    expectOutcome(watch.consider(notes), false, true);
    notes.folderChanged = true;
    expectOutcome(watch.consider(notes), false, true);
}

// The replaced file gets NOTE_DELETE while the path already names the next version: the watch
// must move even though nothing seems missing.
TEST_F(EntryWatchTest, TheWatchedFileGoneMovesTheWatchWhateverThePathHolds) {
    writeFile(file(), "first");
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    replace("second");
    EntryWatch::Notes notes;
    notes.fileGone = true;
    expectOutcome(watch.consider(notes), true, true);
}

TEST_F(EntryWatchTest, AFileAppearingOrDisappearingMovesTheWatch) {
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    expectOutcome(watch.consider(folderChanged()), false, false);
    writeFile(file(), "first");
    expectOutcome(watch.consider(folderChanged()), true, true);
    attach(watch);
    ASSERT_TRUE(QFile::remove(file()));
    expectOutcome(watch.consider(folderChanged()), true, true);
}

TEST_F(EntryWatchTest, TheFolderGoneMovesTheWatch) {
    writeFile(file(), "first");
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    EntryWatch::Notes notes;
    notes.folderGone = true;
    expectOutcome(watch.consider(notes), true, true);
    expectOutcome(watch.consider({}), false, false);
}
