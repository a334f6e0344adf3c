// Stands in for the app in the autostart tests, copied into folders with awkward names. With
// MOFLI_PROBE_REGISTER set it registers itself to start at login, as the app's menu does; started
// from the entry, it writes the path it runs from to $HOME/started.
#include "linux/XdgAutostart.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("MOFLI_PROBE_REGISTER")) {
        return XdgAutostart().setEnabled(true) ? 0 : 1;
    }
    // Whole or not at all: the test reads it as soon as it is there.
    QSaveFile started(qEnvironmentVariable("HOME") + QStringLiteral("/started"));
    if (!started.open(QIODevice::WriteOnly)) {
        return 1;
    }
    started.write(QFile::encodeName(QCoreApplication::applicationFilePath()));
    return started.commit() ? 0 : 1;
}
