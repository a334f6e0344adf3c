#include "EntryWatch.h"
#include "HomeFixture.h"

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

// The notes kqueue gives, fed by hand around real changes of real files and folders: a folder
// says only that some entry changed, and every watch stays on the object it was opened on.
class EntryWatchTest : public HomeFixture {
protected:
    void TearDown() override {
        closeAll();
        HomeFixture::TearDown();
    }

    QString claude() const { return home() + "/.claude"; }
    QString folder() const { return claude() + "/mofli"; }
    QString file() const { return folder() + "/state.json"; }

    // What the kqueue source does on attach: opens every level's path and hands the descriptors
    // over.
    void attach(EntryWatch& watch) {
        closeAll();
        for (size_t level = 0; level < watch.levels().size(); ++level) {
            fds_.push_back(open(watch.levels()[level].path.constData(), O_RDONLY));
            watch.attached(level, fds_.back());
        }
    }

    // How the hook writes: a temporary file beside the target, renamed over it.
    void replace(const QByteArray& contents) {
        const QString temporary = folder() + "/.state.json.tmp";
        writeFile(temporary, contents);
        ASSERT_EQ(std::rename(QFile::encodeName(temporary).constData(),
                              QFile::encodeName(file()).constData()),
                  0);
    }

    static void move(const QString& from, const QString& to) {
        ASSERT_TRUE(QDir().rename(from, to)) << from.toStdString();
    }

private:
    void closeAll() {
        for (const int fd : fds_) {
            if (fd >= 0) {
                close(fd);
            }
        }
        fds_.clear();
    }

    std::vector<int> fds_;
};

EntryWatch::Notes entries(size_t level) {
    EntryWatch::Notes notes;
    notes.entriesChanged = {level};
    return notes;
}

EntryWatch::Notes written() {
    EntryWatch::Notes notes;
    notes.fileWritten = true;
    return notes;
}

EntryWatch::Notes gone() {
    EntryWatch::Notes notes;
    notes.gone = true;
    return notes;
}

} // namespace

TEST_F(EntryWatchTest, LevelsRunFromTheFileUpToTheRoot) {
    const EntryWatch watch(QFile::encodeName(file()));
    const auto& levels = watch.levels();
    ASSERT_GE(levels.size(), 4u);
    EXPECT_EQ(levels[0].path, QFile::encodeName(file()));
    EXPECT_EQ(levels[0].role, EntryWatch::Role::file);
    EXPECT_EQ(levels[1].path, QFile::encodeName(folder()));
    EXPECT_EQ(levels[1].role, EntryWatch::Role::folder);
    EXPECT_EQ(levels[2].path, QFile::encodeName(claude()));
    EXPECT_EQ(levels[2].role, EntryWatch::Role::parent);
    for (size_t level = 3; level < levels.size(); ++level) {
        EXPECT_EQ(levels[level].role, EntryWatch::Role::ancestor);
        EXPECT_EQ(
            levels[level].path,
            QFile::encodeName(QFileInfo(QFile::decodeName(levels[level - 1].path)).absolutePath()));
    }
    EXPECT_EQ(levels.back().path, "/");
}

// Each case starts from a file in its folder, every level watched, then changes the disk and
// hands over the notes kqueue would give for that change.
TEST_F(EntryWatchTest, NotesMoveTheWatchOnlyWhenThePathNowLeadsElsewhere) {
    struct Case {
        const char* name;
        std::function<void()> change;
        EntryWatch::Notes notes;
        bool reattach;
        bool report;
    };
    const Case cases[] = {
        {"a new version renamed over the file", [&] { replace("second"); }, entries(1), true, true},
        {"a temporary file beside it", [&] { writeFile(folder() + "/.state.json.tmp", "half"); },
         entries(1), false, false},
        {"a written file", [&] { writeFile(file(), "second"); }, written(), false, true},
        {"a written file while the folder changes",
         [&] {
             writeFile(file(), "second");
             writeFile(folder() + "/other", "x");
         },
         [] {
             EntryWatch::Notes notes = written();
             notes.entriesChanged = {1};
             return notes;
         }(),
         false, true},
        // The replaced file gets NOTE_DELETE while the path already names the next version.
        {"the watched file deleted by a replacement", [&] { replace("second"); }, gone(), true,
         true},
        {"the file removed", [&] { ASSERT_TRUE(QFile::remove(file())); }, entries(1), true, true},
        {"the folder renamed away", [&] { move(folder(), folder() + "-old"); }, gone(), true, true},
        {"another folder renamed into the folder's place",
         [&] {
             writeFile(claude() + "/next/state.json", "next");
             move(folder(), folder() + "-old");
             move(claude() + "/next", folder());
         },
         entries(2), true, true},
        {"another entry beside the folder", [&] { ASSERT_TRUE(QDir().mkpath(claude() + "/x")); },
         entries(2), false, false},
        {"the folder's parent renamed away", [&] { move(claude(), claude() + "-old"); }, gone(),
         true, true},
        {"a folder far above renamed away", [&] { move(home(), path("home-old")); }, gone(), true,
         true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        for (const QString& stale : {claude(), claude() + "-old", path("home-old")}) {
            QDir(stale).removeRecursively();
        }
        writeFile(file(), "first");
        EntryWatch watch(QFile::encodeName(file()));
        attach(watch);
        test.change();
        const EntryWatch::Outcome outcome = watch.consider(test.notes);
        EXPECT_EQ(outcome.reattach, test.reattach);
        EXPECT_EQ(outcome.report, test.report);
        // Watching again by path settles it: the same notes of entries say nothing new.
        attach(watch);
        EXPECT_FALSE(watch.consider({}).report);
        EXPECT_FALSE(watch.consider(entries(1)).reattach);
        EXPECT_FALSE(watch.consider(entries(2)).reattach);
    }
}

TEST_F(EntryWatchTest, AFileOrFolderAppearingWhereNoneWasMovesTheWatch) {
    ASSERT_TRUE(QDir().mkpath(claude()));
    EntryWatch watch(QFile::encodeName(file()));
    attach(watch);
    EXPECT_FALSE(watch.consider(entries(2)).reattach);
    ASSERT_TRUE(QDir().mkpath(folder()));
    EXPECT_TRUE(watch.consider(entries(2)).reattach);
    attach(watch);
    EXPECT_FALSE(watch.consider(entries(1)).reattach);
    writeFile(file(), "first");
    const EntryWatch::Outcome outcome = watch.consider(entries(1));
    EXPECT_TRUE(outcome.reattach);
    EXPECT_TRUE(outcome.report);
}
