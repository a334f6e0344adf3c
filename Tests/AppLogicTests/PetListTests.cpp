#include "HomeFixture.h"
#include "PetList.h"
#include "Settings.h"

#include <QSignalSpy>

namespace {

class PetListTest : public HomeFixture {
protected:
    void SetUp() override {
        HomeFixture::SetUp();
        qputenv("MOFLI_PETS_DIR", QFile::encodeName(path("pets")));
    }

    void addPet(const QString& id, const QString& name) {
        const QString folder = path("pets/" + id);
        writeFile(folder + "/spritesheet.png", "not read here");
        writeFile(
            folder + "/pet.json",
            QStringLiteral(R"({"id":"%1","displayName":"%2","spritesheetPath":"spritesheet.png"})")
                .arg(id, name)
                .toUtf8());
    }

    // Rescans and waits for the pets to arrive.
    static void rescan(PetList& list) {
        QSignalSpy arrived(&list, &PetList::petsChanged);
        list.rescan();
        ASSERT_TRUE(arrived.wait());
        EXPECT_FALSE(list.isDiscovering());
    }
};

TEST_F(PetListTest, LoadSelectsTheRememberedPetElseTheFirst) {
    addPet("b", "Beta");
    addPet("a", "Alpha");
    PetList list;
    QSignalSpy current(&list, &PetList::currentChanged);
    list.load();
    ASSERT_EQ(list.pets().size(), 2);
    EXPECT_EQ(list.current()->id, "a");
    EXPECT_EQ(current.size(), 1);
    EXPECT_EQ(Settings::selectedPetId(), QStringLiteral("a"));

    Settings::setSelectedPetId("b");
    PetList again;
    again.load();
    EXPECT_EQ(again.current()->id, "b");

    Settings::setSelectedPetId("gone");
    PetList fallback;
    fallback.load();
    EXPECT_EQ(fallback.current()->id, "a");
}

TEST_F(PetListTest, WithoutPetsNothingIsSelected) {
    PetList list;
    QSignalSpy pets(&list, &PetList::petsChanged);
    QSignalSpy current(&list, &PetList::currentChanged);
    list.load();
    EXPECT_TRUE(list.pets().isEmpty());
    EXPECT_FALSE(list.current());
    EXPECT_EQ(pets.size(), 1);
    EXPECT_EQ(current.size(), 0);
    EXPECT_EQ(Settings::selectedPetId(), std::nullopt);
}

TEST_F(PetListTest, RescanKeepsTheCurrentPetWhileItExists) {
    addPet("m", "Mid");
    PetList list;
    list.load();
    QSignalSpy current(&list, &PetList::currentChanged);
    addPet("a", "Aardvark");
    rescan(list);
    EXPECT_EQ(list.current()->id, "m");
    EXPECT_EQ(current.size(), 0) << "an unchanged pet is not loaded again";

    QDir(path("pets/m")).removeRecursively();
    rescan(list);
    EXPECT_EQ(list.current()->id, "a");
    EXPECT_EQ(current.size(), 1);

    QDir(path("pets")).removeRecursively();
    rescan(list);
    EXPECT_TRUE(list.pets().isEmpty());
    EXPECT_EQ(list.current()->id, "a") << "the pet on screen stays when every pet is gone";
}

TEST_F(PetListTest, OnlyTheLastOfSeveralDiscoveriesArrivesAndARescanAmongThemStillCounts) {
    addPet("m", "Mid");
    addPet("z", "Zulu");
    PetList list;
    list.load();
    QSignalSpy pets(&list, &PetList::petsChanged);
    QSignalSpy current(&list, &PetList::currentChanged);
    // Opening the picker while a rescan from the menu is still out: the current pet is gone.
    QDir(path("pets/m")).removeRecursively();
    list.rescan();
    list.rediscover();
    ASSERT_TRUE(list.isDiscovering());
    EXPECT_EQ(list.pets().size(), 2) << "what was known stays until the new pets arrive";
    ASSERT_TRUE(pets.wait());
    QCoreApplication::processEvents();
    EXPECT_EQ(pets.size(), 1) << "an older discovery that comes late is dropped";
    EXPECT_FALSE(list.isDiscovering());
    ASSERT_EQ(list.pets().size(), 1);
    EXPECT_EQ(list.current()->id, "z");
    EXPECT_EQ(current.size(), 1);
}

} // namespace
