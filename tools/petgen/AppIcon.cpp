#include "AppIcon.h"

#include "Choreography.h"
#include "Mask.h"
#include "MochiPet.h"
#include "PetDesign.h"

namespace AppIcon {

QImage image(int scale) {
    const QSize size(artSize, artSize);
    PixelCanvas tile(size);
    // A calm blue tile, lighter towards the top, so that the white pet stands out on it.
    tile.drawPart(Mask::roundedRect(size, 2, 2, 62, 62, 12), qRgb(0x2b, 0x3f, 0x5c),
                  Material{qRgb(0x8f, 0xb8, 0xde), qRgb(0x76, 0xa2, 0xcd), qRgb(0x5f, 0x8b, 0xb8)});
    const PixelCanvas pet = MochiPet::design().drawFrame(Choreography::pose(0, 0));
    // The pet's feet rest near the bottom of the tile, centred.
    const int left = (artSize - pet.size().width()) / 2;
    const int top = artSize - 4 - pet.size().height();
    for (int y = 0; y < pet.size().height(); ++y) {
        for (int x = 0; x < pet.size().width(); ++x) {
            const QRgb colour = pet.at(x, y);
            if (qAlpha(colour) != 0 && top + y >= 0) {
                tile.set(left + x, top + y, colour);
            }
        }
    }
    return tile.toImage(scale);
}

} // namespace AppIcon
