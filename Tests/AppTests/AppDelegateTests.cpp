#include "AppDelegate.h"
#include "AppFixture.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "Paths.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QSaveFile>
#include <QScreen>

namespace {

class AppDelegateTest : public AppFixture {
protected:
    // One row per action: its title, or "-" for a separator; "(off)" marks disabled rows.
    static QStringList rows(const QMenu* menu) {
        QStringList result;
        for (const QAction* action : menu->actions()) {
            if (action->isSeparator()) {
                result.append("-");
            } else {
                result.append(action->text() + (action->isEnabled() ? "" : " (off)"));
            }
        }
        return result;
    }

    static QList<QAction*> petActions(const QMenu* menu) {
        QList<QAction*> result;
        for (QAction* action : menu->actions()) {
            if (action->isCheckable()) {
                result.append(action);
            }
        }
        return result;
    }
};

TEST_F(AppDelegateTest, StatusMenuWithoutPets) {
    AppDelegate app(platform, clock);
    app.launch();
    EXPECT_EQ(rows(app.statusMenu()),
              (QStringList{"キャラクター (off)", "  (~/.codex/pets/ にペット未登録) (off)", "-",
                           "キャラ一覧を再スキャン", "-", "アップデートを確認… (off)", "-",
                           "前面に呼び戻す", "終了"}));
    const QList<QAction*> actions = app.statusMenu()->actions();
    EXPECT_EQ(actions[7]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(actions[8]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_FALSE(app.currentPet());
    EXPECT_TRUE(app.window()->avatarView()->engine().placeholderVisible());
}

TEST_F(AppDelegateTest, StatusMenuWithTwelvePets) {
    for (int i = 1; i <= 12; ++i) {
        addPet(QStringLiteral("pet%1").arg(i), QStringLiteral("Pet %1").arg(i, 2, 10, QChar('0')));
    }
    AppDelegate app(platform, clock);
    app.launch();
    const QList<QAction*> pets = petActions(app.statusMenu());
    ASSERT_EQ(pets.size(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(pets[i]->text(), QStringLiteral("Pet %1").arg(i + 1, 2, 10, QChar('0')));
        const QKeySequence expected =
            i < 9 ? QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)) : QKeySequence();
        EXPECT_EQ(pets[i]->shortcut(), expected) << i;
    }
    EXPECT_EQ(std::count_if(pets.cbegin(), pets.cend(), [](QAction* a) { return a->isChecked(); }),
              1);
    EXPECT_TRUE(pets[0]->isChecked());
    EXPECT_EQ(rows(app.statusMenu()).mid(13),
              (QStringList{"-", "キャラ一覧を再スキャン", "-", "アップデートを確認… (off)", "-",
                           "前面に呼び戻す", "終了"}));
}

TEST_F(AppDelegateTest, PetNamesAreShownLiterallyInEveryMenu) {
    addPet("rnd", "R&D");
    AppDelegate app(platform, clock);
    app.launch();
    const QList<QAction*> pets = petActions(app.statusMenu());
    ASSERT_EQ(pets.size(), 1);
    // A single "&" would mark a mnemonic and vanish; a doubled one shows as itself.
    EXPECT_EQ(pets[0]->text(), "R&&D");
    EXPECT_EQ(pets[0]->iconText(), "R&D");
    if (!app.hasStatusItem()) {
        auto menu = app.makeContextMenu();
        const QList<QAction*> actions = menu->actions();
        const auto found = std::find_if(actions.cbegin(), actions.cend(), [](QAction* action) {
            return action->text() == "キャラクター";
        });
        ASSERT_NE(found, actions.cend());
        EXPECT_EQ(petActions((*found)->menu())[0]->text(), "R&&D");
    }
}

TEST_F(AppDelegateTest, TheShownWindowIsAskedOntoEveryWorkspace) {
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_FALSE(platform.allWorkspaceWindows.isEmpty());
    EXPECT_EQ(platform.allWorkspaceWindows.last(), app.window());
}

TEST_F(AppDelegateTest, SelectionIsRememberedAcrossLaunches) {
    addPet("alpha", "Alpha");
    addPet("beta", "Beta");
    const QString gammaFolder = addPet("gamma", "Gamma");
    {
        AppDelegate app(platform, clock);
        app.launch();
        EXPECT_EQ(app.currentPet()->id, "alpha");
        EXPECT_EQ(QSettings().value("selectedPetId").toString(), "alpha");
        petActions(app.statusMenu())[2]->trigger();
        EXPECT_EQ(app.currentPet()->id, "gamma");
        EXPECT_EQ(QSettings().value("selectedPetId").toString(), "gamma");
        const QList<QAction*> pets = petActions(app.statusMenu());
        EXPECT_TRUE(pets[2]->isChecked());
        EXPECT_FALSE(pets[0]->isChecked());
        EXPECT_TRUE(app.window()->avatarView()->sheet());
    }
    {
        AppDelegate app(platform, clock);
        app.launch();
        EXPECT_EQ(app.currentPet()->id, "gamma");
    }
    QDir(gammaFolder).removeRecursively();
    {
        AppDelegate app(platform, clock);
        app.launch();
        EXPECT_EQ(app.currentPet()->id, "alpha") << "a vanished pet falls back to the first";
        EXPECT_EQ(QSettings().value("selectedPetId").toString(), "alpha");
    }
}

TEST_F(AppDelegateTest, RescanKeepsTheCurrentPetValid) {
    addPet("alpha", "Alpha");
    const QString betaFolder = addPet("beta", "Beta");
    QSettings().setValue("selectedPetId", "beta");
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_EQ(app.currentPet()->id, "beta");
    addPet("aardvark", "Aardvark");
    app.reloadPetsFromMenu();
    EXPECT_EQ(app.currentPet()->id, "beta");
    EXPECT_EQ(petActions(app.statusMenu()).size(), 3);

    QDir(betaFolder).removeRecursively();
    app.reloadPetsFromMenu();
    EXPECT_EQ(app.currentPet()->id, "aardvark");
    EXPECT_TRUE(petActions(app.statusMenu())[0]->isChecked());
}

TEST_F(AppDelegateTest, ContextMenuRowsAndAlwaysOnTopToggle) {
    AppDelegate app(platform, clock);
    app.launch();
    auto menu = app.makeContextMenu();
    QStringList expected{"外観設定… (off)",
                         "常に最前面に表示",
                         "前面に呼び戻す",
                         "-",
                         "ジャンプ✨",
                         "手を振る👋",
                         "-",
                         "Claude Code 連携",
                         "-",
                         "アップデートを確認… (off)",
                         "-",
                         "閉じる"};
    QStringList shown = rows(menu.get());
    // Without a system tray the pet list rides along in the context menu.
    if (!app.hasStatusItem()) {
        ASSERT_EQ(shown.size(), expected.size() + 1);
        EXPECT_EQ(shown.takeAt(1), "キャラクター");
    }
    EXPECT_EQ(shown, expected);
    for (const QAction* action : menu->actions()) {
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    }
    QMenu* link = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == "Claude Code 連携") {
            link = action->menu();
        } else if (action->text() == "常に最前面に表示") {
            EXPECT_TRUE(action->isChecked());
            action->trigger();
        }
    }
    ASSERT_TRUE(link);
    EXPECT_EQ(rows(link), (QStringList{"連携する（インストール）", "連携を解除（アンインストール）"}));
    EXPECT_FALSE(app.window()->isAlwaysOnTop());
    EXPECT_EQ(QSettings().value("alwaysOnTop").toString(), "false");
    const auto rebuilt = app.makeContextMenu();
    for (const QAction* action : rebuilt->actions()) {
        if (action->text() == "常に最前面に表示") {
            EXPECT_FALSE(action->isChecked());
        }
    }
    AvatarWindow next(platform, clock);
    EXPECT_FALSE(next.isAlwaysOnTop());
}

TEST_F(AppDelegateTest, RecenterReturnsToTheHomeCornerKeepingTheSize) {
    QSettings().setValue("petScale", 1.5);
    AppDelegate app(platform, clock);
    app.launch();
    const QRect home = app.window()->geometry();
    app.window()->move(10, 10);
    app.recenter();
    EXPECT_EQ(app.window()->geometry(), home);
    EXPECT_EQ(app.window()->size(), QSize(288, 396));
}

TEST_F(AppDelegateTest, AStateFileWrittenToDiskReachesThePet) {
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(QFile::exists(Paths::stateFile())) << "launch writes the idle default";
    QSaveFile file(Paths::stateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"state":"running","message":"$ npm …","label":"実行中","tty":"/dev/pts/3"})");
    ASSERT_TRUE(file.commit());
    const AvatarEngine& engine = app.window()->avatarView()->engine();
    ASSERT_TRUE(waitUntil([&] { return engine.currentState() == HatchState::running; }));
    EXPECT_EQ(engine.bubble().text, "$ npm …");
    EXPECT_EQ(engine.bubble().label, QStringLiteral("実行中"));
    ASSERT_TRUE(engine.sourceOrigin());
    EXPECT_EQ(engine.sourceOrigin()->tty, QStringLiteral("/dev/pts/3"));
}

} // namespace
