// Draws the built-in pets, the tray icon and the application icon into a resources folder:
//   petgen <resources dir>
// Everything is computed from code alone, so repeated runs write the same pixels.
#include "AppIcon.h"
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
    // Launchers look the icon up by the app's id in the hicolor theme; the folders mirror it.
    for (int scale : {1, 2, 4, 8}) {
        const int side = AppIcon::artSize * scale;
        const QString folder =
            resources.filePath(QStringLiteral("linux/icons/hicolor/%1x%1/apps").arg(side));
        written = QDir().mkpath(folder) &&
                  PetPackage::savePng(AppIcon::image(scale),
                                      QDir(folder).filePath("app.mofli.Mofli.png")) &&
                  written;
    }
    if (!written) {
        std::fprintf(stderr, "petgen: could not write into %s\n", qPrintable(resources.path()));
        return 1;
    }
    return 0;
}
