#include "AppFixture.h"
#include "PetLibrary.h"
#include "PetPickerWindow.h"
#include "PetPreviews.h"
#include "PetTile.h"
#include "SpriteSheet.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <unistd.h>

namespace {

class PetPickerTest : public AppFixture {
protected:
    Pet pet(const QString& id, const QString& name, PetSource source,
            std::optional<QString> description = std::nullopt) {
        return Pet{id, name, std::move(description),
                   QDir(addPet(id, name)).filePath("spritesheet.png"), source};
    }

    // What each row shows, top to bottom: a tile as "[name|detail|button]" ("*" marks the
    // highlighted one), any other row as the texts of its labels, buttons and checkboxes.
    static QStringList rowTexts(const PetPickerWindow& picker) {
        QStringList result;
        QLayout* rows = picker.stack()->layout();
        for (int i = 0; i < rows->count(); ++i) {
            QWidget* row = rows->itemAt(i)->widget();
            if (!row) {
                continue;
            }
            if (auto* tile = qobject_cast<PetTile*>(row)) {
                result.append(QStringLiteral("[%1%2|%3|%4]")
                                  .arg(tile->isSelected() ? "*" : "", tile->name(), tile->detail(),
                                       tile->chooseButton()->text()));
                continue;
            }
            QList<QWidget*> parts{row};
            parts += row->findChildren<QWidget*>();
            for (QWidget* part : parts) {
                if (auto* label = qobject_cast<QLabel*>(part)) {
                    result.append(label->text());
                } else if (auto* button = qobject_cast<QAbstractButton*>(part)) {
                    result.append(button->text());
                }
            }
        }
        return result;
    }

    // Presents the picker and waits for its rows, which are made from the event loop.
    static void present(PetPickerWindow& picker, const QList<Pet>& pets,
                        const std::optional<QString>& selectedId, bool codexEnabled) {
        picker.present(pets, selectedId, codexEnabled);
        ASSERT_TRUE(waitUntil([&] { return picker.hasAllRows(); }));
    }

    static QAbstractButton* button(const PetPickerWindow& picker, const QString& text,
                                   int nth = 0) {
        for (QAbstractButton* candidate : picker.stack()->findChildren<QAbstractButton*>()) {
            if (candidate->isVisibleTo(&picker) && candidate->text() == text && nth-- == 0) {
                return candidate;
            }
        }
        return nullptr;
    }
};

TEST_F(PetPickerTest, TheWindowItself) {
    PetPickerWindow picker;
    EXPECT_EQ(picker.windowTitle(), QStringLiteral("外観設定 — キャラクターを選ぶ"));
    EXPECT_EQ(picker.size(), QSize(380, 480));
    EXPECT_EQ(picker.minimumSize(), picker.maximumSize()) << "no resizing";
    EXPECT_TRUE(picker.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(picker.reloadButton()->text(), QStringLiteral("更新"));
    EXPECT_FALSE(picker.isVisible());

    present(picker, {}, std::nullopt, false);
    ASSERT_TRUE(picker.isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((picker.geometry().center() - area.center()).manhattanLength(), 2);
    picker.close();
    EXPECT_FALSE(picker.isVisible()) << "closing hides";

    // The user put it elsewhere; showing it again keeps it there.
    picker.move(area.topLeft() + QPoint(15, 25));
    present(picker, {}, std::nullopt, true);
    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(picker.pos(), area.topLeft() + QPoint(15, 25));
}

TEST_F(PetPickerTest, WithoutPetsTheFoldersAndTheirHintsRemain) {
    PetPickerWindow picker;
    present(picker, {}, std::nullopt, false);
    const QStringList withoutCodex{
        "カスタムペット",
        "フォルダーを開く ↗",
        PetLibrary::userPetsDir(),
        "「フォルダーを開く」を押して、pet.json + spritesheet.webp のフォルダを入れてね",
        "Codex 連携",
        "フォルダーを開く ↗",
        PetLibrary::codexPetsDir(),
    };
    EXPECT_EQ(rowTexts(picker), withoutCodex) << "no 同梱 section and nothing after Codex";
    EXPECT_FALSE(button(picker, "Codex 連携")->isChecked());

    present(picker, {}, std::nullopt, true);
    EXPECT_EQ(rowTexts(picker),
              withoutCodex + QStringList{"~/.codex/pets にペットが見つかりません"});
    EXPECT_TRUE(button(picker, "Codex 連携")->isChecked());
}

TEST_F(PetPickerTest, PetsAreGroupedBySourceAndSortedByName) {
    const QList<Pet> pets{
        pet("zed", "Zed", PetSource::codex),
        pet("b", "b", PetSource::bundled, "Bee"),
        pet("mine", "Mine", PetSource::user, "My own"),
        pet("a", "a", PetSource::bundled),
        pet("B", "B", PetSource::bundled, "Big bee"),
    };
    PetPickerWindow picker;
    present(picker, pets, QStringLiteral("a"), false);
    const QStringList head{
        "同梱",           "[B|Big bee|選択]",   "[*a|a|選択中]",           "[b|Bee|選択]",
        "カスタムペット", "フォルダーを開く ↗", PetLibrary::userPetsDir(), "[Mine|My own|選択]",
        "Codex 連携",     "フォルダーを開く ↗", PetLibrary::codexPetsDir()};
    EXPECT_EQ(rowTexts(picker), head) << "a pet without a description shows its id";
    present(picker, pets, QStringLiteral("a"), true);
    EXPECT_EQ(rowTexts(picker), head + QStringList{"[Zed|zed|選択]"});
}

TEST_F(PetPickerTest, OneTileIsHighlightedAndItsButtonCannotBePressed) {
    const QList<Pet> pets{pet("a", "Alpha", PetSource::bundled), pet("b", "Beta", PetSource::user),
                          pet("c", "Gamma", PetSource::user)};
    PetPickerWindow picker;
    present(picker, pets, QStringLiteral("b"), false);
    QList<PetTile*> tiles = picker.tiles();
    ASSERT_EQ(tiles.size(), 3);
    EXPECT_EQ(
        std::count_if(tiles.cbegin(), tiles.cend(), [](PetTile* t) { return t->isSelected(); }), 1);
    EXPECT_TRUE(tiles[1]->isSelected());
    EXPECT_FALSE(tiles[1]->chooseButton()->isEnabled());
    EXPECT_TRUE(tiles[0]->chooseButton()->isEnabled());
    EXPECT_EQ(tiles[0]->width(), 344);
    EXPECT_GE(tiles[0]->height(), 64);

    for (const std::optional<QString>& none :
         {std::optional<QString>(), std::optional<QString>("gone")}) {
        present(picker, pets, none, false);
        for (PetTile* tile : picker.tiles()) {
            EXPECT_FALSE(tile->isSelected());
            EXPECT_EQ(tile->chooseButton()->text(), QStringLiteral("選択"));
            EXPECT_TRUE(tile->chooseButton()->isEnabled());
        }
    }
}

TEST_F(PetPickerTest, ChoosingReportsOnceAndMovesTheHighlightAtOnce) {
    const QList<Pet> pets{pet("a", "Alpha", PetSource::bundled), pet("b", "Beta", PetSource::user)};
    PetPickerWindow picker;
    QList<Pet> chosen;
    QObject::connect(&picker, &PetPickerWindow::chosen, [&](const Pet& p) {
        // The highlight has moved when the choice is told.
        EXPECT_EQ(picker.selectedId(), p.id);
        chosen.append(p);
    });
    present(picker, pets, QStringLiteral("a"), false);
    picker.tiles()[1]->chooseButton()->click();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0], pets[1]);
    EXPECT_EQ(picker.selectedId(), QStringLiteral("b"));
    const QList<PetTile*> tiles = picker.tiles();
    ASSERT_EQ(tiles.size(), 2);
    EXPECT_FALSE(tiles[0]->isSelected());
    EXPECT_TRUE(tiles[1]->isSelected());
    EXPECT_EQ(tiles[1]->chooseButton()->text(), QStringLiteral("選択中"));
    EXPECT_TRUE(picker.isVisible()) << "the window stays open";
}

TEST_F(PetPickerTest, ChoosingOrRescanningFarDownKeepsTheScrollPosition) {
    QList<Pet> pets;
    for (int i = 0; i < 12; ++i) {
        pets.append(pet(QStringLiteral("p%1").arg(i),
                        QStringLiteral("Pet %1").arg(i, 2, 10, QChar('0')), PetSource::user));
    }
    PetPickerWindow picker;
    picker.present(pets, std::nullopt, false);
    QScrollBar* bar = picker.findChild<QScrollArea*>()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return picker.hasAllRows() && bar->maximum() > 0; }));
    QCoreApplication::processEvents();
    bar->setValue(bar->maximum());
    const int scrolled = bar->value();
    // As a pointer does it: the button takes the focus, then loses it as it is disabled.
    QTest::mouseClick(picker.tiles().last()->chooseButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(picker.tiles().last()->isSelected());
    EXPECT_EQ(bar->value(), scrolled);

    // A rescan that found one more pet makes the rows anew.
    pets.append(pet("p99", "Pet 99", PetSource::user));
    picker.refresh(pets, QStringLiteral("p11"), false);
    ASSERT_TRUE(waitUntil([&] { return picker.hasAllRows(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(picker.tiles().size(), 13);
    EXPECT_EQ(bar->value(), scrolled);
}

TEST_F(PetPickerTest, ControlsOnlyReport) {
    PetPickerWindow picker;
    QStringList calls;
    QObject::connect(&picker, &PetPickerWindow::openUserFolderRequested,
                     [&] { calls.append("user"); });
    QObject::connect(&picker, &PetPickerWindow::openCodexFolderRequested,
                     [&] { calls.append("codex"); });
    QObject::connect(&picker, &PetPickerWindow::reloadRequested, [&] { calls.append("reload"); });
    QObject::connect(&picker, &PetPickerWindow::codexToggled,
                     [&](bool on) { calls.append(on ? "codex on" : "codex off"); });
    const QList<Pet> pets{pet("zed", "Zed", PetSource::codex)};
    present(picker, pets, std::nullopt, false);
    button(picker, "フォルダーを開く ↗", 0)->click();
    button(picker, "フォルダーを開く ↗", 1)->click();
    picker.reloadButton()->click();
    button(picker, "Codex 連携")->click();
    EXPECT_EQ(calls, (QStringList{"user", "codex", "reload", "codex on"}));
    EXPECT_FALSE(picker.codexEnabled()) << "the owner decides and presents again";
    EXPECT_TRUE(picker.tiles().isEmpty());
}

TEST_F(PetPickerTest, LongDescriptionsTakeTwoLinesAtMost) {
    const QString longText = QString("とても長い説明文がここに入ります。").repeated(8);
    PetPickerWindow picker;
    present(picker, {pet("long", "Long", PetSource::user, longText)}, std::nullopt, false);
    const QString detail = picker.tiles()[0]->detail();
    EXPECT_EQ(detail.count('\n'), 1);
    EXPECT_TRUE(detail.endsWith(QChar(0x2026))) << detail.toStdString();
}

TEST_F(PetPickerTest, MegabyteDescriptionsAreCutBeforeTheyAreLaidOut) {
    // A descriptor may hold a megabyte of text, of which a tile shows two lines. Laying all of it
    // out took over a second per tile.
    const QString huge = QStringLiteral("とても長い説明 ").repeated(1 << 17);
    const QString longName = QStringLiteral("Name ").repeated(1000);
    QList<Pet> pets;
    for (int i = 0; i < 40; ++i) {
        const QString id = QStringLiteral("p%1").arg(i, 2, 10, QChar('0'));
        pets.append(
            Pet{id, id + longName, huge, QDir(petsDir()).filePath("missing.png"), PetSource::user});
    }
    PetPickerWindow picker;
    QElapsedTimer elapsed;
    elapsed.start();
    picker.present(pets, std::nullopt, false);
    ASSERT_TRUE(waitUntil([&] { return picker.hasAllRows(); }, 20000));
    // Far above what cut texts take even on a loaded machine, far below what the whole texts did.
    EXPECT_LT(elapsed.elapsed(), 10000);
    const QList<PetTile*> tiles = picker.tiles();
    ASSERT_EQ(tiles.size(), 40);
    for (PetTile* tile : {tiles.first(), tiles.last()}) {
        EXPECT_EQ(tile->detail().count('\n'), 1);
        EXPECT_TRUE(tile->detail().startsWith(QStringLiteral("とても長い説明 とても")));
        EXPECT_TRUE(tile->detail().endsWith(QChar(0x2026)));
        EXPECT_TRUE(tile->name().endsWith(QChar(0x2026)));
    }
}

TEST_F(PetPickerTest, LargeSheetsAreDecodedOneAtATime) {
    // The largest sheet there may be, three pixels per unit, in a WebP file of a few kilobytes:
    // it decodes to a hundred megabytes, whatever its file size.
    QImage large(3 * 8 * SpriteSheet::frameWidth, 3 * 9 * SpriteSheet::frameHeight,
                 QImage::Format_ARGB32);
    large.fill(Qt::transparent);
    QByteArray webp;
    QBuffer buffer(&webp);
    buffer.open(QIODevice::WriteOnly);
    if (!large.save(&buffer, "WEBP")) {
        GTEST_SKIP() << "Qt's WebP plugin is missing (scripts/setup installs it)";
    }
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        GTEST_SKIP() << "no /proc/self/statm to read this process's memory from";
    }
    const auto resident = [&] {
        statm.seek(0);
        return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
    };
    const qint64 decodedBytes = qint64(large.sizeInBytes());
    large = QImage();
    QStringList sheets;
    for (int i = 0; i < 12; ++i) {
        sheets.append(QDir(petsDir()).filePath(QStringLiteral("large%1.webp").arg(i)));
        QFile file(sheets.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(webp);
    }

    PetPreviews previews;
    int ready = 0;
    QObject::connect(&previews, &PetPreviews::ready, [&] { ++ready; });
    const qint64 before = resident();
    qint64 peak = before;
    for (const QString& sheet : sheets) {
        EXPECT_FALSE(previews.preview(sheet, 48));
    }
    ASSERT_TRUE(waitUntil(
        [&] {
            peak = std::max(peak, resident());
            return ready == sheets.size();
        },
        60000));
    // A large sheet is decoded alone, on any machine: WebP takes about twice the decoded size
    // while it decodes (the decoder has a buffer of its own), and nothing may add to that.
    EXPECT_LT(peak - before, 3 * decodedBytes)
        << "grew by " << (peak - before) / decodedBytes << " decoded sheets";
    for (const QString& sheet : sheets) {
        const std::optional<QImage> preview = previews.preview(sheet, 48);
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->height(), 48);
    }
}

TEST_F(PetPickerTest, PreviewsShowTheFirstIdleFrameAndFollowTheFile) {
    const Pet good = pet("good", "Good", PetSource::user);
    Pet broken = pet("broken", "Broken", PetSource::user);
    QFile::resize(broken.spritesheetPath, 10);
    PetPickerWindow picker;
    present(picker, {good, broken}, std::nullopt, false);
    const auto previewOf = [&](int index) {
        return picker.tiles()[index]->findChildren<QLabel*>().first()->pixmap().toImage();
    };
    ASSERT_TRUE(waitUntil([&] { return picker.tiles()[1]->hasPreview(); }));
    QImage preview = previewOf(1);
    EXPECT_LE(preview.width(), 48);
    EXPECT_EQ(preview.height(), 48);
    EXPECT_EQ(preview.pixelColor(preview.width() / 2, 24), cellColor(HatchState::idle, 0));
    EXPECT_FALSE(picker.tiles()[0]->hasPreview()) << "a sheet that cannot be loaded shows none";

    // Presenting again takes the kept preview at once.
    present(picker, {good, broken}, std::nullopt, false);
    EXPECT_TRUE(picker.tiles()[1]->hasPreview());

    // The sheet is drawn anew: the next presentation shows the new drawing.
    QImage redrawn = makeSheet();
    redrawn.fill(Qt::red);
    ASSERT_TRUE(redrawn.save(good.spritesheetPath, "PNG"));
    QFile sheet(good.spritesheetPath);
    ASSERT_TRUE(sheet.open(QIODevice::ReadWrite));
    sheet.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    sheet.close();
    present(picker, {good, broken}, std::nullopt, false);
    ASSERT_TRUE(waitUntil([&] {
        return picker.tiles()[1]->hasPreview() &&
               previewOf(1).pixelColor(previewOf(1).width() / 2, 24) == QColor(Qt::red);
    }));

    // On a screen of twice the scale the picker asks for twice the pixels: the kept preview is
    // too small for it, and a preview of the new size is made.
    PetPreviews previews;
    int ready = 0;
    QObject::connect(&previews, &PetPreviews::ready, [&] { ++ready; });
    for (const int side : {48, 96}) {
        SCOPED_TRACE(side);
        EXPECT_FALSE(previews.preview(good.spritesheetPath, side));
        const int asked = ready;
        ASSERT_TRUE(waitUntil([&] { return ready > asked; }));
        const std::optional<QImage> fitted = previews.preview(good.spritesheetPath, side);
        ASSERT_TRUE(fitted);
        EXPECT_EQ(fitted->height(), side);
    }
}

} // namespace
