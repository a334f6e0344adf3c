#include "AppFixture.h"

#include "SpriteSheet.h"

#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int seventyTwoDpi = 2835; // dots per metre
}

void AppFixture::SetUp() {
    QSettings().clear();
    // Launching the app must not go looking for a `claude` of this machine; the link tests
    // clear this.
    QSettings().setValue("didAttemptInitialLink", true);
    qputenv("MOFLI_PETS_DIR", pets_.path().toUtf8());
}

void AppFixture::TearDown() {
    qunsetenv("MOFLI_PETS_DIR");
    QSettings().clear();
}

void AppFixture::store(const QString& key, const QVariant& value) {
    if (value.isValid()) {
        QSettings().setValue(key, value);
    } else {
        QSettings().remove(key);
    }
}

QColor AppFixture::cellColor(HatchState state, int index) {
    return QColor(20 + index * 28, 20 + state.row() * 24, 200 - index * 10 - state.row() * 5);
}

QImage AppFixture::makeSheet() {
    QImage sheet(8 * SpriteSheet::frameWidth, 9 * SpriteSheet::frameHeight, QImage::Format_ARGB32);
    sheet.setDotsPerMeterX(seventyTwoDpi);
    sheet.setDotsPerMeterY(seventyTwoDpi);
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    for (HatchState state : HatchState::allCases()) {
        for (int index = 0; index < 8; ++index) {
            const QRect cell(index * SpriteSheet::frameWidth,
                             state.row() * SpriteSheet::frameHeight, SpriteSheet::frameWidth,
                             SpriteSheet::frameHeight);
            painter.fillRect(cell, cellColor(state, index));
        }
    }
    painter.end();
    for (int row = 0; row < 9; ++row) {
        for (int column = 0; column < 8; ++column) {
            sheet.setPixel(column * SpriteSheet::frameWidth, row * SpriteSheet::frameHeight, 0);
        }
    }
    return sheet;
}

QString AppFixture::addPet(const QString& id, const QString& displayName) {
    const QString folder = QDir(pets_.path()).filePath(id);
    QDir().mkpath(folder);
    static const QByteArray png = [] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        makeSheet().save(&buffer, "PNG");
        return bytes;
    }();
    QFile sheetFile(QDir(folder).filePath(QStringLiteral("spritesheet.png")));
    sheetFile.open(QIODevice::WriteOnly);
    sheetFile.write(png);
    QFile descriptor(QDir(folder).filePath(QStringLiteral("pet.json")));
    descriptor.open(QIODevice::WriteOnly);
    descriptor.write(QJsonDocument(QJsonObject{{"id", id},
                                               {"displayName", displayName},
                                               {"spritesheetPath", "spritesheet.png"}})
                         .toJson());
    return folder;
}

bool AppFixture::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(10);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
