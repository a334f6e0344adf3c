#include "AppDelegate.h"
#include "AppFixture.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "ContextMenu.h"
#include "IdleMonitor.h"
#include "Paths.h"
#include "PetLibrary.h"
#include "PetPickerWindow.h"
#include "PetTile.h"
#include "PetWindowController.h"
#include "PickerController.h"
#include "TrayController.h"

#include <QAbstractButton>
#include <QAction>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

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

    static QAction* row(const QMenu* menu, const QString& title) {
        for (QAction* action : menu->actions()) {
            if (action->text() == title) {
                return action;
            }
        }
        return nullptr;
    }

    // The tray's rescan row, and what it found.
    static void rescanFromTheMenu(AppDelegate& app) {
        row(app.tray().menu(), "キャラ一覧を再スキャン")->trigger();
        ASSERT_TRUE(waitUntil([&] { return !app.petList().isDiscovering(); }));
    }

    static QList<QAction*> petActions(const QMenu* menu) {
        QList<QAction*> result;
        for (QAction* action : menu->actions()) {
            if (action->isCheckable() && action->text() != "ログイン時に起動") {
                result.append(action);
            }
        }
        return result;
    }
};

TEST_F(AppDelegateTest, StatusMenuWithoutPets) {
    AppDelegate app(platform, clock);
    app.launch();
    EXPECT_EQ(rows(app.tray().menu()),
              (QStringList{"キャラクター (off)", "  (~/.codex/pets/ にペット未登録) (off)", "-",
                           "キャラ一覧を再スキャン", "ログイン時に起動", "-",
                           "アップデートを確認… (off)", "-", "前面に呼び戻す", "終了"}));
    const QList<QAction*> actions = app.tray().menu()->actions();
    EXPECT_EQ(actions[8]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(actions[9]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_FALSE(app.petList().current());
    EXPECT_TRUE(app.petWindow().window()->avatarView()->engine().placeholderVisible());
}

TEST_F(AppDelegateTest, StatusMenuWithTwelvePets) {
    for (int i = 1; i <= 12; ++i) {
        addPet(QStringLiteral("pet%1").arg(i), QStringLiteral("Pet %1").arg(i, 2, 10, QChar('0')));
    }
    AppDelegate app(platform, clock);
    app.launch();
    const QList<QAction*> pets = petActions(app.tray().menu());
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
    EXPECT_EQ(rows(app.tray().menu()).mid(13),
              (QStringList{"-", "キャラ一覧を再スキャン", "ログイン時に起動", "-",
                           "アップデートを確認… (off)", "-", "前面に呼び戻す", "終了"}));
}

TEST_F(AppDelegateTest, PetNamesAreShownLiterallyInEveryMenu) {
    addPet("rnd", "R&D");
    AppDelegate app(platform, clock);
    app.launch();
    const QList<QAction*> pets = petActions(app.tray().menu());
    ASSERT_EQ(pets.size(), 1);
    // A single "&" would mark a mnemonic and vanish; a doubled one shows as itself.
    EXPECT_EQ(pets[0]->text(), "R&&D");
    EXPECT_EQ(pets[0]->iconText(), "R&D");
    if (!app.tray().hasIcon()) {
        auto menu = app.contextMenu().make();
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
    EXPECT_EQ(platform.allWorkspaceWindows.last(), app.petWindow().window()->windowHandle());
}

TEST_F(AppDelegateTest, SelectionIsRememberedAcrossLaunches) {
    addPet("alpha", "Alpha");
    addPet("beta", "Beta");
    const QString gammaFolder = addPet("gamma", "Gamma");
    {
        AppDelegate app(platform, clock);
        app.launch();
        EXPECT_EQ(app.petList().current()->id, "alpha");
        EXPECT_EQ(QSettings().value("selectedPetId").toString(), "alpha");
        petActions(app.tray().menu())[2]->trigger();
        EXPECT_EQ(app.petList().current()->id, "gamma");
        EXPECT_EQ(QSettings().value("selectedPetId").toString(), "gamma");
        const QList<QAction*> pets = petActions(app.tray().menu());
        EXPECT_TRUE(pets[2]->isChecked());
        EXPECT_FALSE(pets[0]->isChecked());
        EXPECT_TRUE(
            waitUntil([&] { return app.petWindow().window()->avatarView()->sheet() != nullptr; }));
    }
    {
        AppDelegate app(platform, clock);
        app.launch();
        EXPECT_EQ(app.petList().current()->id, "gamma");
    }
    QDir(gammaFolder).removeRecursively();
    {
        AppDelegate app(platform, clock);
        app.launch();
        EXPECT_EQ(app.petList().current()->id, "alpha") << "a vanished pet falls back to the first";
        EXPECT_EQ(QSettings().value("selectedPetId").toString(), "alpha");
    }
}

TEST_F(AppDelegateTest, RescanKeepsTheCurrentPetValid) {
    addPet("alpha", "Alpha");
    const QString betaFolder = addPet("beta", "Beta");
    QSettings().setValue("selectedPetId", "beta");
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_EQ(app.petList().current()->id, "beta");
    addPet("aardvark", "Aardvark");
    rescanFromTheMenu(app);
    EXPECT_EQ(app.petList().current()->id, "beta");
    EXPECT_EQ(petActions(app.tray().menu()).size(), 3);

    QDir(betaFolder).removeRecursively();
    rescanFromTheMenu(app);
    EXPECT_EQ(app.petList().current()->id, "aardvark");
    EXPECT_TRUE(petActions(app.tray().menu())[0]->isChecked());
}

TEST_F(AppDelegateTest, ContextMenuRowsAndAlwaysOnTopToggle) {
    AppDelegate app(platform, clock);
    app.launch();
    auto menu = app.contextMenu().make();
    QStringList expected{"外観設定…",
                         "常に最前面に表示",
                         "前面に呼び戻す",
                         "-",
                         "ジャンプ✨",
                         "手を振る👋",
                         "-",
                         "Claude Code 連携",
                         "セッション (off)",
                         "-",
                         "アップデートを確認… (off)",
                         "-",
                         "閉じる"};
    QStringList shown = rows(menu.get());
    // Without a system tray the pet list rides along in the context menu.
    if (!app.tray().hasIcon()) {
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
    EXPECT_EQ(rows(link),
              (QStringList{"連携する（インストール）", "連携を解除（アンインストール）"}));
    EXPECT_FALSE(app.petWindow().window()->isAlwaysOnTop());
    EXPECT_EQ(QSettings().value("alwaysOnTop").toString(), "false");
    const auto rebuilt = app.contextMenu().make();
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
    const QRect home = app.petWindow().window()->geometry();
    app.petWindow().window()->move(10, 10);
    row(app.tray().menu(), "前面に呼び戻す")->trigger();
    EXPECT_EQ(app.petWindow().window()->geometry(), home);
    EXPECT_EQ(app.petWindow().window()->size(), QSize(288, 396));
}

TEST_F(AppDelegateTest, AStateFileWrittenToDiskReachesThePet) {
    AppDelegate app(platform, clock);
    app.launch();
    ASSERT_TRUE(QFile::exists(Paths::stateFile())) << "launch writes the idle default";
    QSaveFile file(Paths::stateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"state":"running","message":"$ npm …","label":"実行中","tty":"/dev/pts/3"})");
    ASSERT_TRUE(file.commit());
    const AvatarEngine& engine = app.petWindow().window()->avatarView()->engine();
    ASSERT_TRUE(waitUntil([&] { return engine.currentState() == HatchState::running; }));
    EXPECT_EQ(engine.bubble().text, "$ npm …");
    EXPECT_EQ(engine.bubble().label, QStringLiteral("実行中"));
    ASSERT_TRUE(engine.sourceOrigin());
    EXPECT_EQ(engine.sourceOrigin()->tty, QStringLiteral("/dev/pts/3"));
}

TEST_F(AppDelegateTest, AClickOnTheBubbleBringsTheTerminalForwardOrMakesThePetJump) {
    addPet("pet", "Pet");
    AppDelegate app(platform, clock);
    app.launch();
    QSaveFile file(Paths::stateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"state":"running","message":"$ npm test","tty":"/dev/pts/3",)"
               R"("termWindowId":"41943054"})");
    ASSERT_TRUE(file.commit());
    AvatarView* view = app.petWindow().window()->avatarView();
    const AvatarEngine& engine = view->engine();
    ASSERT_TRUE(waitUntil([&] { return !view->bubbleRect().isEmpty(); }));
    ASSERT_EQ(engine.currentState(), HatchState::running);
    const QPointF onBubble = QRectF(view->bubbleRect()).center();
    const auto send = [view](QEvent::Type type, QPointF pos) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, pos, view->mapToGlobal(pos), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    };
    const auto click = [&] {
        send(QEvent::MouseButtonPress, onBubble);
        send(QEvent::MouseButtonRelease, onBubble);
    };

    send(QEvent::MouseMove, onBubble);
    EXPECT_EQ(view->cursor().shape(), Qt::PointingHandCursor);
    click();
    ASSERT_EQ(platform.activations.size(), 1);
    EXPECT_EQ(platform.activations[0].tty, QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(platform.activations[0].windowId, QStringLiteral("41943054"));
    EXPECT_EQ(engine.currentState(), HatchState::running) << "the terminal came forward instead";

    // A desktop that cannot bring this terminal forward: the bubble is part of the pet.
    platform.terminalsActivatable = false;
    send(QEvent::MouseMove, onBubble);
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
    click();
    EXPECT_EQ(platform.activations.size(), 1);
    EXPECT_EQ(engine.currentState(), HatchState::jumping);
    ASSERT_TRUE(waitUntil([&] { return engine.currentState() == HatchState::running; }));

    platform.terminalsActivatable = true;
    platform.activationSucceeds = false;
    click();
    EXPECT_EQ(platform.activations.size(), 2);
    EXPECT_EQ(engine.currentState(), HatchState::jumping) << "a failed activation jumps instead";
}

// Sessions of Claude Code as the hook records them, for one test; the folder goes with it, as
// every test of the program shares one home.
class SessionRecords {
public:
    ~SessionRecords() { QDir(Paths::sessionsDir()).removeRecursively(); }

    // A live record (no process: live for half an hour after its write) of the session working
    // in /work/<name>, answering on tty /dev/pts/<tty>.
    static void put(const QString& name, const QString& body, int tty) {
        QDir().mkpath(Paths::sessionsDir());
        const QByteArray hash =
            QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex();
        QSaveFile file(Paths::sessionsDir() + "/" + hash + ".json");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({%1,"sessionId":"%2","cwd":"/work/%2","tty":"/dev/pts/%3",)"
                                  R"("updatedAt":%4})")
                       .arg(body, name)
                       .arg(tty)
                       .arg(QDateTime::currentMSecsSinceEpoch())
                       .toUtf8());
        ASSERT_TRUE(file.commit());
        // The hook writes the state file after a record; that is what has the folder read again.
        QSaveFile state(Paths::stateFile());
        ASSERT_TRUE(state.open(QIODevice::WriteOnly));
        state.write("{" + body.toUtf8() + "}");
        ASSERT_TRUE(state.commit());
    }
    static void remove(const QString& name) {
        QFile::remove(Paths::sessionsDir() + "/" +
                      QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex() +
                      ".json");
        put(QStringLiteral("touch"), QStringLiteral(R"("state":"idle","message":null)"), 0);
        QFile::remove(Paths::sessionsDir() + "/" +
                      QCryptographicHash::hash("touch", QCryptographicHash::Sha1).toHex() +
                      ".json");
    }
};

// Sessions come and go; the pet names the shown one while there are several, counts them beside
// itself, says it all in its window's title and lists them in its menu, whose rows and bubble
// bring each session's own terminal forward.
TEST_F(AppDelegateTest, SeveralSessionsAreNamedCountedAndListed) {
    addPet("pet", "Pet");
    SessionRecords records;
    AppDelegate app(platform, clock);
    app.launch();
    AvatarView* view = app.petWindow().window()->avatarView();
    const auto sessionRows = [&]() -> QStringList {
        auto menu = app.contextMenu().make();
        const QAction* sessions = row(menu.get(), "セッション");
        return sessions ? QStringList{sessions->isEnabled() ? "on" : "off"} + rows(sessions->menu())
                        : QStringList{"no submenu"};
    };
    const QString waiting = R"("state":"waiting","message":"承認おねがい！","label":"入力が必要")";
    const QString running = R"("state":"running","message":"$ npm test","label":"実行中")";
    const QString thinking = R"("state":"review","message":"考え中…","thinking":true)";
    struct Step {
        std::function<void()> change;
        QString title;
        int shownTty;
        QStringList menu;
    };
    const QList<Step> steps{
        {[&] { records.put("beta", running, 2); },
         "Mofli — 実行中: $ npm test",
         2,
         {"on", "beta — 実行中"}},
        {[&] { records.put("alpha", waiting, 1); },
         "Mofli — alpha · 入力が必要: 承認おねがい！",
         1,
         {"on", "alpha — 入力が必要", "beta — 実行中"}},
        {[&] { records.put("gamma-with-a-folder-name-far-too-long", thinking, 3); },
         "Mofli — alpha · 入力が必要: 承認おねがい！",
         1,
         {"on", "alpha — 入力が必要", "gamma-with-a-folder-nam… — 考え中…", "beta — 実行中"}},
        {[&] { records.remove("alpha"); },
         "Mofli — gamma-with-a-folder-nam…: 考え中…",
         3,
         {"on", "gamma-with-a-folder-nam… — 考え中…", "beta — 実行中"}},
        // The shown session stays, alone now: its label loses the project.
        {[&] { records.remove("beta"); },
         "Mofli — 考え中…",
         3,
         {"on", "gamma-with-a-folder-nam… — 考え中…"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.title.toStdString());
        step.change();
        const int count = int(step.menu.size()) - 1;
        ASSERT_TRUE(waitUntil([&] {
            return view->window()->windowTitle() == step.title && view->sessionCount() == count;
        })) << view->window()->windowTitle().toStdString();
        EXPECT_EQ(view->window()->accessibleName(), step.title);
        const QRect badge = view->sessionCountRect();
        EXPECT_EQ(!badge.isEmpty(), count >= 2);
        EXPECT_TRUE(badge.isEmpty() || view->paintedRegion().contains(badge));
        EXPECT_EQ(sessionRows(), step.menu);

        // The bubble and the first row both reach the shown session's terminal.
        platform.activations.clear();
        const QPoint onBubble = view->bubbleRect().center();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, onBubble);
        auto menu = app.contextMenu().make();
        row(menu.get(), "セッション")->menu()->actions().constFirst()->trigger();
        const QString tty = QStringLiteral("/dev/pts/%1").arg(step.shownTty);
        ASSERT_EQ(platform.activations.size(), 2);
        EXPECT_EQ(platform.activations[0].tty, tty);
        EXPECT_EQ(platform.activations[1].tty, tty);
    }
}

// The picker commands write to the user's and Codex's pet folders: both get a folder of the
// test's own.
class PickerCommandsTest : public AppDelegateTest {
protected:
    void SetUp() override {
        AppDelegateTest::SetUp();
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.filePath("data")));
        qputenv("CODEX_HOME", QFile::encodeName(data_.filePath("codex")));
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", savedDataHome_);
        qunsetenv("CODEX_HOME");
        AppDelegateTest::TearDown();
    }

    // A pet package in `dir` (the user's or Codex's pets folder).
    QString addPetIn(const QString& dir, const QString& id, const QString& name) {
        const QString source = addPet(id, name);
        const QString target = QDir(dir).filePath(id);
        QDir().mkpath(dir);
        QDir().rename(source, target);
        return target;
    }

    static QAbstractButton* pickerButton(const PetPickerWindow* picker, const QString& text,
                                         int nth = 0) {
        for (QAbstractButton* button : picker->stack()->findChildren<QAbstractButton*>()) {
            if (button->isVisibleTo(picker) && button->text() == text && nth-- == 0) {
                return button;
            }
        }
        return nullptr;
    }

    static QStringList tileIds(const PetPickerWindow* picker) {
        QStringList ids;
        for (const PetTile* tile : picker->tiles()) {
            ids.append(tile->pet().id + (tile->isSelected() ? "*" : ""));
        }
        return ids;
    }

    // Until what the picker or the menu asked the disk for has arrived and the picker shows it.
    static void settle(AppDelegate& app) {
        ASSERT_TRUE(waitUntil([&] {
            return !app.petList().isDiscovering() &&
                   (!app.picker().window() || app.picker().window()->hasAllRows());
        }));
    }

    static QStringList checkedPets(const QMenu* menu) {
        QStringList names;
        for (const QAction* action : petActions(menu)) {
            if (action->isChecked()) {
                names.append(action->text());
            }
        }
        return names;
    }

private:
    QTemporaryDir data_;
    QByteArray savedDataHome_ = qgetenv("XDG_DATA_HOME");
};

TEST_F(PickerCommandsTest, TheContextMenuOpensOnePickerWindowForTheWholeRun) {
    addPet("alpha", "Alpha");
    AppDelegate app(platform, clock);
    app.launch();
    EXPECT_FALSE(app.picker().window());
    auto menu = app.contextMenu().make();
    menu->actions().first()->trigger();
    PetPickerWindow* picker = app.picker().window();
    ASSERT_TRUE(picker);
    EXPECT_TRUE(picker->isVisible());
    settle(app);
    EXPECT_EQ(tileIds(picker), QStringList{"alpha*"});

    picker->close();
    addPetIn(PetLibrary::userPetsDir(), "mine", "Mine");
    app.picker().open();
    EXPECT_EQ(app.picker().window(), picker);
    EXPECT_TRUE(picker->isVisible());
    ASSERT_EQ(picker->pets().size(), 1) << "what was known shows at once";
    settle(app);
    EXPECT_EQ(tileIds(picker), (QStringList{"alpha*", "mine"})) << "opening looks again";
    EXPECT_EQ(petActions(app.tray().menu()).size(), 2) << "and the menu follows";
}

TEST_F(PickerCommandsTest, OpeningThePickerLeavesAVanishedCurrentPetAlone) {
    const QString alpha = addPet("alpha", "Alpha");
    addPet("beta", "Beta");
    AppDelegate app(platform, clock);
    app.launch();
    QDir(alpha).removeRecursively();
    app.picker().open();
    settle(app);
    EXPECT_EQ(app.petList().current()->id, "alpha");
    EXPECT_EQ(app.picker().window()->selectedId(), QStringLiteral("alpha"));
    EXPECT_EQ(tileIds(app.picker().window()), QStringList{"beta"});

    app.picker().window()->reloadButton()->click();
    settle(app);
    EXPECT_EQ(app.petList().current()->id, "beta") << "a rescan keeps the current pet valid";
    EXPECT_EQ(tileIds(app.picker().window()), QStringList{"beta*"});
}

TEST_F(PickerCommandsTest, ChoosingInThePickerIsChoosingInTheMenu) {
    addPet("alpha", "Alpha");
    addPet("beta", "Beta");
    AppDelegate app(platform, clock);
    app.launch();
    app.picker().open();
    settle(app);
    PetPickerWindow* picker = app.picker().window();
    const AvatarView* view = app.petWindow().window()->avatarView();
    ASSERT_TRUE(waitUntil([&] { return view->sheet() != nullptr; }));
    const std::shared_ptr<SpriteSheet> before = view->sheet();
    picker->tiles()[1]->chooseButton()->click();
    EXPECT_EQ(app.petList().current()->id, "beta");
    EXPECT_EQ(QSettings().value("selectedPetId").toString(), "beta");
    EXPECT_TRUE(waitUntil([&] { return view->sheet() && view->sheet() != before; }))
        << "the window loaded the new pet";
    EXPECT_EQ(checkedPets(app.tray().menu()), QStringList{"Beta"});
    EXPECT_EQ(tileIds(picker), (QStringList{"alpha", "beta*"}));

    // And the other way round: the open picker follows a choice made in the menu.
    petActions(app.tray().menu())[0]->trigger();
    EXPECT_EQ(tileIds(picker), (QStringList{"alpha*", "beta"}));
}

TEST_F(PickerCommandsTest, TheCodexSwitchAddsAndRemovesCodexPets) {
    addPet("alpha", "Alpha");
    addPetIn(PetLibrary::codexPetsDir(), "zed", "Zed");
    AppDelegate app(platform, clock);
    app.launch();
    app.picker().open();
    settle(app);
    PetPickerWindow* picker = app.picker().window();
    EXPECT_EQ(tileIds(picker), QStringList{"alpha*"});

    pickerButton(picker, "Codex 連携")->click();
    settle(app);
    EXPECT_TRUE(QSettings().value("codexPetsEnabled").toBool());
    EXPECT_TRUE(picker->codexEnabled());
    EXPECT_EQ(tileIds(picker), (QStringList{"alpha*", "zed"}));
    EXPECT_EQ(petActions(app.tray().menu()).size(), 2);

    picker->tiles()[1]->chooseButton()->click();
    ASSERT_EQ(app.petList().current()->id, "zed");
    pickerButton(picker, "Codex 連携")->click();
    settle(app);
    EXPECT_FALSE(QSettings().value("codexPetsEnabled").toBool());
    EXPECT_EQ(app.petList().current()->id, "alpha") << "the first remaining pet takes over";
    EXPECT_EQ(tileIds(picker), QStringList{"alpha*"});
    EXPECT_EQ(checkedPets(app.tray().menu()), QStringList{"Alpha"});
}

TEST_F(PickerCommandsTest, AFolderIsCreatedBeforeItIsOpened) {
    AppDelegate app(platform, clock);
    app.launch();
    app.picker().open();
    settle(app);
    ASSERT_FALSE(QFileInfo::exists(PetLibrary::userPetsDir()));
    pickerButton(app.picker().window(), "フォルダーを開く ↗", 0)->click();
    pickerButton(app.picker().window(), "フォルダーを開く ↗", 1)->click();
    using Opened = QList<std::pair<QString, bool>>;
    EXPECT_EQ(platform.openedFolders,
              (Opened{{PetLibrary::userPetsDir(), true}, {PetLibrary::codexPetsDir(), true}}));

    // A folder that cannot be made is still handed to the file browser.
    ASSERT_TRUE(QDir(PetLibrary::userPetsDir()).removeRecursively());
    QFile file(PetLibrary::userPetsDir());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    pickerButton(app.picker().window(), "フォルダーを開く ↗", 0)->click();
    EXPECT_EQ(platform.openedFolders.last(), std::make_pair(PetLibrary::userPetsDir(), false));
}

TEST_F(AppDelegateTest, AfterThreeMinutesAwayThePetGreetsWithTheLastRecap) {
    addPet("alpha", "Alpha");
    platform.idleSeconds = IdleMonitor::awaySeconds + 20;
    AppDelegate app(platform, clock);
    app.launch();
    QSaveFile file(Paths::stateFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"state":"idle","message":"待機中","recap":"テストを直した"})");
    ASSERT_TRUE(file.commit());
    const AvatarEngine& engine = app.petWindow().window()->avatarView()->engine();
    ASSERT_TRUE(waitUntil([&] { return engine.lastRecap() == QStringLiteral("テストを直した"); }));
    ASSERT_TRUE(waitUntil([&] { return app.petWindow().idleMonitor()->wasAway(); }, 5000));
    EXPECT_NE(engine.bubble().label, QStringLiteral("おつかれ"));
    platform.idleSeconds = 0.4;
    ASSERT_TRUE(waitUntil([&] { return !app.petWindow().idleMonitor()->wasAway(); }, 5000));
    EXPECT_TRUE(engine.bubble().visible);
    EXPECT_EQ(engine.bubble().text, QStringLiteral("テストを直した"));
    EXPECT_EQ(engine.bubble().label, QStringLiteral("おつかれ"));
}

} // namespace
