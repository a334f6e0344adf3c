// Draws the built-in pets and the tray icon into a resources folder:
//   petgen <resources dir>
// Everything is computed from code alone, so repeated runs write the same pixels.
#include "MochiPet.h"
#include "PetPackage.h"
#include "PicoPet.h"
#include "TrayIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Mofli");
    QCoreApplication::setApplicationName("Mofli");
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: petgen <resources dir>\n");
        return 2;
    }
    const QDir resources(arguments.at(1));
    bool written = true;
    for (const PetDesign& pet : {MochiPet::design(), PicoPet::design()}) {
        written = PetPackage::write(pet, resources.filePath("pets")) && written;
    }
    written =
        PetPackage::savePng(TrayIcon::image(), resources.filePath("menubar-icon.png")) && written;
    if (!written) {
        std::fprintf(stderr, "petgen: could not write into %s\n", qPrintable(resources.path()));
        return 1;
    }
    return 0;
}
