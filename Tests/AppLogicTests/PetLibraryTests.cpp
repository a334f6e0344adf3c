#include "HomeFixture.h"
#include "OtherUser.h"
#include "Paths.h"
#include "PetLibrary.h"
#include "UnixSockets.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringEncoder>
#include <QStringList>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PetLibraryTest : public HomeFixture {
protected:
    // A package folder `folder` inside `dir` with a descriptor and, unless told otherwise, the
    // sprite sheet it names.
    void addPet(const QString& dir, const QString& folder, const QString& id,
                const QString& displayName, bool withSheet = true) {
        const QString package = dir + QLatin1Char('/') + folder;
        writeFile(
            package + "/pet.json",
            QStringLiteral(R"({"id":"%1","displayName":"%2","spritesheetPath":"art/sheet.png"})")
                .arg(id, displayName)
                .toUtf8());
        if (withSheet) {
            writeFile(package + "/art/sheet.png", "png");
        }
    }

    static QStringList ids(const QList<Pet>& pets) {
        QStringList result;
        for (const Pet& pet : pets) {
            result << pet.id;
        }
        return result;
    }

    QString cwdPets() const { return workDir() + "/pets"; }

    // Where each system keeps an app's data: macOS ignores the XDG variables.
    QString userPets() const {
#ifdef Q_OS_MACOS
        return home() + "/Library/Application Support/Mofli/pets";
#else
        return path("data") + "/Mofli/pets";
#endif
    }
};

} // namespace

TEST_F(PetLibraryTest, NothingAnywhereGivesNoPets) {
    EXPECT_TRUE(PetLibrary::discover().isEmpty());
}

TEST_F(PetLibraryTest, SkipsInvalidPackagesAndKeepsTheValidOnes) {
    const QString dir = PetLibrary::userPetsDir();
    addPet(dir, "good", "good", "Good");
    addPet(dir, "nosheet", "nosheet", "No sheet", false);
    addPet(dir, ".hidden", "hidden", "Hidden");
    writeFile(dir + "/pet.json", R"({"id":"loose","displayName":"L","spritesheetPath":"s"})");
    writeFile(dir + "/s", "png");
    writeFile(dir + "/noname/pet.json", R"({"id":"noname","spritesheetPath":"../s"})");
    writeFile(dir + "/numid/pet.json", R"({"id":7,"displayName":"N","spritesheetPath":"../s"})");
    writeFile(dir + "/array/pet.json", R"([{"id":"array"}])");
    writeFile(dir + "/broken/pet.json", R"({"id":"broken",)");
    ASSERT_TRUE(QDir().mkpath(dir + "/nodescriptor"));
    writeFile(dir + "/described/pet.json",
              R"({"id":"described","displayName":"","spritesheetPath":"s","description":3})");
    writeFile(dir + "/described/s", "png");
    // A FIFO in place of a descriptor must not block discovery.
    ASSERT_TRUE(QDir().mkpath(dir + "/fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir + "/fifo/pet.json").constData(), 0600), 0);

    const QList<Pet> pets = PetLibrary::discover();
    ASSERT_EQ(ids(pets), (QStringList{"described", "good"}));
    EXPECT_EQ(pets[0].displayName, QString());
    EXPECT_FALSE(pets[0].description);
    EXPECT_EQ(pets[1],
              (Pet{"good", "Good", std::nullopt, dir + "/good/art/sheet.png", PetSource::user}));
}

TEST_F(PetLibraryTest, SkipsSheetsThatAreNoRegularFileAndHugeDescriptors) {
    const QString dir = PetLibrary::userPetsDir();
    const auto sheetOf = [&](const QString& id) {
        return dir + "/" + id + "/art/sheet.png";
    };
    for (const char* id : {"fifo", "folder", "device", "socket", "linked", "huge"}) {
        addPet(dir, id, id, id, false);
        ASSERT_TRUE(QDir().mkpath(dir + "/" + id + "/art"));
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(sheetOf("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(sheetOf("folder")));
    ASSERT_TRUE(QFile::link("/dev/zero", sheetOf("device")));
    // Bound by a name relative to its folder: the whole path is longer than a socket address
    // holds (104 bytes on macOS, whose temporary folders are deep).
    ASSERT_TRUE(QDir::setCurrent(QFileInfo(sheetOf("socket")).path()));
    const int listening = UnixSockets::listenOn("sheet.png");
    ASSERT_TRUE(QDir::setCurrent(workDir()));
    ASSERT_GE(listening, 0);
    writeFile(dir + "/linked/real.png", "png");
    ASSERT_TRUE(QFile::link(dir + "/linked/real.png", sheetOf("linked")));
    writeFile(sheetOf("huge"), "png");
    writeFile(dir + "/huge/pet.json",
              R"({"id":"huge","displayName":"huge","spritesheetPath":"art/sheet.png"})" +
                  QByteArray(1 << 20, ' '));

    EXPECT_EQ(ids(PetLibrary::discover()), QStringList{"linked"});
    close(listening);
}

TEST_F(PetLibraryTest, DescriptorsInUtf16AndUtf32AreRead) {
    const QString dir = PetLibrary::userPetsDir();
    const QString descriptor =
        QStringLiteral(R"({"id":"%1","displayName":"もち %1","spritesheetPath":"art/sheet.png"})");
    const struct {
        const char* id;
        QStringConverter::Encoding encoding;
    } cases[] = {{"u16le", QStringConverter::Utf16LE},
                 {"u16be", QStringConverter::Utf16BE},
                 {"u32le", QStringConverter::Utf32LE},
                 {"u8bom", QStringConverter::Utf8}};
    for (const auto& c : cases) {
        QStringEncoder encoder(c.encoding, QStringConverter::Flag::WriteBom);
        writeFile(dir + "/" + c.id + "/pet.json", encoder(descriptor.arg(c.id)));
        writeFile(dir + "/" + c.id + "/art/sheet.png", "png");
    }
    const QList<Pet> pets = PetLibrary::discover();
    EXPECT_EQ(ids(pets), (QStringList{"u16be", "u16le", "u32le", "u8bom"}));
    ASSERT_FALSE(pets.isEmpty());
    EXPECT_EQ(pets[0].displayName, QStringLiteral("もち u16be"));
}

TEST_F(PetLibraryTest, FollowsSymlinkedPackagesAndReadsDescriptions) {
    const QString elsewhere = path("elsewhere");
    writeFile(elsewhere + "/pet.json",
              R"({"id":"linked","displayName":"Linked","spritesheetPath":"sheet.webp",)"
              R"("description":"from afar","extra":true})");
    writeFile(elsewhere + "/sheet.webp", "webp");
    ASSERT_TRUE(QDir().mkpath(cwdPets()));
    ASSERT_TRUE(QFile::link(elsewhere, cwdPets() + "/linked"));

    const QList<Pet> pets = PetLibrary::discover();
    ASSERT_EQ(pets.size(), 1);
    EXPECT_EQ(pets[0].description, QStringLiteral("from afar"));
    EXPECT_EQ(pets[0].source, PetSource::bundled);
    EXPECT_TRUE(QFileInfo::exists(pets[0].spritesheetPath));
}

TEST_F(PetLibraryTest, RelativeFoldersGiveAbsoluteSheetPaths) {
    qputenv("MOFLI_PETS_DIR", "mine");
    addPet(workDir() + "/mine", "p", "p", "P");
    const QList<Pet> pets = PetLibrary::discover();
    ASSERT_EQ(pets.size(), 1);
    EXPECT_EQ(pets[0].spritesheetPath, workDir() + "/mine/p/art/sheet.png");
}

TEST_F(PetLibraryTest, SearchSourcesFollowTheEnvironmentAndTheWorkingFolder) {
    qputenv("MOFLI_PETS_DIR", "~/mine");
    QList<PetLibrary::SearchSource> expected = {
        {home() + "/mine", PetSource::bundled},
        {workDir() + "/pets", PetSource::bundled},
        {path("work") + "/pets", PetSource::bundled},
    };
    if (const auto resources = Paths::resourceDir()) {
        expected.append({*resources + "/pets", PetSource::bundled});
    }
    expected.append({userPets(), PetSource::user});
    EXPECT_EQ(PetLibrary::searchSources(), expected);

    qputenv("MOFLI_PETS_DIR", "");
    QSettings().setValue("codexPetsEnabled", true);
    qputenv("CODEX_HOME", "~/codex");
    expected.removeFirst();
    expected.append({"~/codex/pets", PetSource::codex});
    EXPECT_EQ(PetLibrary::searchSources(), expected);
}

TEST_F(PetLibraryTest, FolderDefaultsComeFromHomeAndXdg) {
    EXPECT_EQ(PetLibrary::codexPetsDir(), home() + "/.codex/pets");
    EXPECT_EQ(PetLibrary::userPetsDir(), userPets());
#ifndef Q_OS_MACOS
    // The XDG rules ignore a relative folder.
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(PetLibrary::userPetsDir(), home() + "/.local/share/Mofli/pets");
#endif
    EXPECT_EQ(Paths::stateFile(), home() + "/.claude/mofli/state.json");
    qputenv("HOME", "");
    EXPECT_FALSE(Paths::home().isEmpty());
}

TEST_F(PetLibraryTest, FirstSourceWinsForEachId) {
    qputenv("MOFLI_PETS_DIR", QFile::encodeName(path("custom")));
    addPet(path("custom"), "a", "shared", "From custom");
    addPet(PetLibrary::userPetsDir(), "b", "shared", "From user");
    addPet(PetLibrary::userPetsDir(), "c", "user-only", "User only");
    // The same id spelled with a decomposed accent is the same pet.
    addPet(path("custom"), "d", QString::fromUtf8("caf\u00e9"), "Precomposed");
    addPet(PetLibrary::userPetsDir(), "e", QStringLiteral("cafe") + QChar(0x0301), "Decomposed");

    const QList<Pet> pets = PetLibrary::discover();
    ASSERT_EQ(pets.size(), 3);
    EXPECT_EQ(pets[0].displayName, "From custom");
    EXPECT_EQ(pets[0].source, PetSource::bundled);
    EXPECT_EQ(pets[1].displayName, "Precomposed");
    EXPECT_EQ(pets[2].source, PetSource::user);
}

TEST_F(PetLibraryTest, CodexPetsOnlyWhenEnabled) {
    qputenv("CODEX_HOME", QFile::encodeName(path("codex")));
    addPet(path("codex/pets"), "c", "codex-pet", "Codex");
    EXPECT_TRUE(PetLibrary::discover().isEmpty());

    QSettings().setValue("codexPetsEnabled", true);
    const QList<Pet> pets = PetLibrary::discover();
    ASSERT_EQ(pets.size(), 1);
    EXPECT_EQ(pets[0].source, PetSource::codex);
}

TEST_F(PetLibraryTest, SortsByCodePointAfterCompositionAndStably) {
    // The working folder's pets are read before the parent folder's.
    addPet(cwdPets(), "1", "lower-b", "b");
    addPet(cwdPets(), "2", "upper-b", "B");
    addPet(cwdPets(), "3", "a", "a");
    addPet(cwdPets(), "4", "emoji", QString::fromUtf8("\U0001F600"));
    addPet(cwdPets(), "5", "fullwidth", QString::fromUtf8("\uFF21"));
    addPet(cwdPets(), "6", "f", "f");
    addPet(cwdPets(), "7", "precomposed", QString::fromUtf8("\u00e9"));
    addPet(path("work/pets"), "8", "decomposed", QStringLiteral("e") + QChar(0x0301));

    EXPECT_EQ(ids(PetLibrary::discover()),
              (QStringList{"upper-b", "a", "lower-b", "f", "precomposed", "decomposed", "fullwidth",
                           "emoji"}));
}

TEST_F(PetLibraryTest, PetsThatAnotherUserPlantedOrThatOthersMayChangeAreSkipped) {
    std::string why;
    const std::unique_ptr<OtherUser> other = OtherUser::create(why);
    // The real pet ships with the app; a shell in a shared folder such as /var/tmp/x makes
    // /var/tmp/pets a search folder too, read before the app's own.
    const QString resources = path("resources");
    addPet(resources + "/pets", "mochi", "mochi", "Mochi");
    qputenv("MOFLI_RESOURCE_DIR", QFile::encodeName(resources));
    const QString shared = path("var-tmp");
    ASSERT_TRUE(QDir().mkpath(shared + "/x"));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    ASSERT_TRUE(QDir::setCurrent(shared + "/x"));
    const QString mine = shared + "/x/pets";
    const QString above = shared + "/pets";
    const auto give = [&](const QString& target, mode_t mode) {
        ASSERT_TRUE(other && other->own(QFile::encodeName(target).toStdString(), mode));
    };
    const auto chmodTo = [](const QString& target, mode_t mode) {
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), mode), 0);
    };
    const auto chgrpTo = [](const QString& target, gid_t group) {
        ASSERT_EQ(::chown(QFile::encodeName(target).constData(), uid_t(-1), group), 0);
    };
    const QString package = mine + "/mochi";
    const QString sheet = package + "/art/sheet.png";

    const struct {
        const char* name;
        bool needsOtherUser;
        // Where a pet with the id "mochi" and the name "Planted" is put, read before the app's own.
        const QString& plantedIn;
        // What then makes it hostile.
        std::function<void()> harden;
        // The name of the pet that wins the id.
        const char* shown;
    } cases[] = {
        {"../pets of another user", true, above,
         [&] {
             for (const char* part :
                  {"", "/mochi", "/mochi/pet.json", "/mochi/art", "/mochi/art/sheet.png"}) {
                 give(above + part, 0755);
             }
         },
         "Mochi"},
        {"../pets that everyone may write to", false, above, [&] { chmodTo(above, 0777); },
         "Mochi"},
        {"a package of another user", true, mine, [&] { give(package, 0755); }, "Mochi"},
        {"a package that everyone may write to", false, mine, [&] { chmodTo(package, 0777); },
         "Mochi"},
        {"a package linked to another user's folder", true, shared,
         [&] {
             give(shared + "/mochi", 0755);
             ASSERT_TRUE(QDir().mkpath(mine));
             ASSERT_TRUE(QFile::link(shared + "/mochi", package));
         },
         "Mochi"},
        {"a descriptor of another user", true, mine, [&] { give(package + "/pet.json", 0644); },
         "Mochi"},
        {"a sheet of another user", true, mine, [&] { give(sheet, 0644); }, "Mochi"},
        {"a sheet that another user's group may write", true, mine,
         [&] {
             chgrpTo(sheet, other->gid());
             chmodTo(sheet, 0664);
         },
         "Mochi"},
        {"the user's own pets, writable by the user's own group", false, mine,
         [&] { chmodTo(package, 0775); }, "Planted"},
        {"the user's own pets", false, mine, [] {}, "Planted"},
    };
    // Desktop systems give each user a group of their own; a umask of 002 then makes the user's
    // files writable by that group alone.
    const passwd* me = ::getpwuid(::geteuid());
    const group* ownGroup = me ? ::getgrgid(me->pw_gid) : nullptr;
    const bool groupOfOne = ownGroup && QByteArray(ownGroup->gr_name) == me->pw_name &&
                            ownGroup->gr_mem[0] == nullptr && ::getegid() == me->pw_gid;
    for (const auto& c : cases) {
        if ((c.needsOtherUser && !other) ||
            (!groupOfOne && QByteArray(c.name).contains("own group"))) {
            continue;
        }
        SCOPED_TRACE(c.name);
        addPet(c.plantedIn, "mochi", "mochi", "Planted");
        c.harden();
        const QList<Pet> pets = PetLibrary::discover();
        ASSERT_EQ(ids(pets), QStringList{"mochi"});
        EXPECT_EQ(pets[0].displayName, c.shown);
        QFile::remove(package);
        for (const QString& folder : {mine, above, shared + "/mochi"}) {
            QDir(folder).removeRecursively();
        }
    }
    qunsetenv("MOFLI_RESOURCE_DIR");
    if (!other) {
        GTEST_SKIP() << "the cases with another user did not run: " << why;
    }
}

TEST_F(PetLibraryTest, SheetPathsThatLeaveTheirPackageAreRefused) {
    const QString dir = PetLibrary::userPetsDir();
    writeFile(path("outside/sheet.png"), "png");
    const struct {
        const char* id;
        QString sheetPath;
        bool found;
    } cases[] = {
        {"up-to-system", QString("../").repeated(40) + "etc/passwd", false},
        {"absolute", "/etc/passwd", false},
        {"into-neighbour", "art/../../inside-and-back/art/sheet.png", false},
        {"linked-file", "art/passwd.png", false},
        {"linked-folder", "elsewhere/sheet.png", false},
        {"inside-and-back", "art/../art/sheet.png", true},
    };
    for (const auto& c : cases) {
        addPet(dir, c.id, c.id, c.id);
        writeFile(
            dir + "/" + c.id + "/pet.json",
            QJsonDocument(
                QJsonObject{{"id", c.id}, {"displayName", c.id}, {"spritesheetPath", c.sheetPath}})
                .toJson());
        ASSERT_TRUE(QFile::link("/etc/passwd", dir + "/" + c.id + "/art/passwd.png"));
        ASSERT_TRUE(QFile::link(path("outside"), dir + "/" + c.id + "/elsewhere"));
    }
    QStringList expected;
    for (const auto& c : cases) {
        if (c.found) {
            expected.append(c.id);
        }
    }
    EXPECT_EQ(ids(PetLibrary::discover()), expected);
}
