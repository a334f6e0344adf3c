#include "PetPackage.h"

#include "Choreography.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

namespace {

constexpr int columns = 8;

bool writeDescriptor(const PetDesign& pet, const QString& path) {
    const QJsonObject descriptor{{"id", pet.id},
                                 {"displayName", pet.displayName},
                                 {"description", pet.description},
                                 {"spritesheetPath", "spritesheet.png"}};
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(QJsonDocument(descriptor).toJson(QJsonDocument::Indented)) >= 0 &&
           file.flush();
}

} // namespace

namespace PetPackage {

QImage spriteSheet(const PetDesign& pet) {
    const QSize cell = artGrid * artScale;
    QImage sheet(cell.width() * columns, cell.height() * Choreography::rowCount,
                 QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int row = 0; row < Choreography::rowCount; ++row) {
        for (int frame = 0; frame < Choreography::frameCount(row); ++frame) {
            const QImage image = pet.drawFrame(Choreography::pose(row, frame)).toImage(artScale);
            painter.drawImage(frame * cell.width(), row * cell.height(), image);
        }
    }
    return sheet;
}

bool savePng(QImage image, const QString& path) {
    constexpr int seventyTwoDpi = 2835; // dots per metre
    image.setDotsPerMeterX(seventyTwoDpi);
    image.setDotsPerMeterY(seventyTwoDpi);
    return image.save(path, "PNG");
}

bool write(const PetDesign& pet, const QString& petsDir) {
    const QDir folder(QDir(petsDir).filePath(pet.folder));
    return QDir().mkpath(folder.path()) &&
           savePng(spriteSheet(pet), folder.filePath("spritesheet.png")) &&
           writeDescriptor(pet, folder.filePath("pet.json"));
}

} // namespace PetPackage
