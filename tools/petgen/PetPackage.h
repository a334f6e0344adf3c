#pragma once

#include "PetDesign.h"

#include <QImage>
#include <QString>

// Turns a pet design into a pet package: "pet.json" and "spritesheet.png" in its own folder.
namespace PetPackage {

// 8 columns × 9 rows of 192 × 208 cells; cells past a row's frame count stay transparent.
QImage spriteSheet(const PetDesign& pet);
// Saves a PNG that declares 72 dpi, so that every reader measures it in pixels.
bool savePng(QImage image, const QString& path);
// Writes the package into petsDir/<folder>; false when a file could not be written.
bool write(const PetDesign& pet, const QString& petsDir);

} // namespace PetPackage
