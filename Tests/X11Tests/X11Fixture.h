#pragma once

#include "HomeFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <X11/Xlib.h>
#include <functional>

// A test on the private X server with a window manager that Tests/X11Tests/run-on-x11 starts;
// skips, saying why, where there is none.
class X11Fixture : public HomeFixture {
protected:
    void SetUp() override {
        if (const QByteArray why = qgetenv("MOFLI_X11_UNAVAILABLE"); !why.isEmpty()) {
            GTEST_SKIP() << "no X server with a window manager: " << why.toStdString();
        }
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            GTEST_SKIP() << "not running on X11 but on "
                         << QGuiApplication::platformName().toStdString()
                         << " (run through Tests/X11Tests/run-on-x11)";
        }
        HomeFixture::SetUp();
    }

    static Display* display() {
        return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
    }

    // Runs the event loop until `done` holds or `timeoutMs` passed; whether it held.
    static bool settle(const std::function<bool()>& done, int timeoutMs = 5000) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            XSync(display(), False);
            if (done()) {
                return true;
            }
            QThread::msleep(10);
        }
        return done();
    }
};
