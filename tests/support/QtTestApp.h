// The one application object of a test process (named after the test
// executable), and running its event loop while a test waits. The widget
// application is in QtWidgetApp.h.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>
#include <string>

#include "tests/support/ExePath.h"

namespace morvelant::testsupport {

namespace detail {
// argc and argv that outlive the application: the executable's name.
inline char** AppArgs(int*& argc) {
    static int count = 1;
    static std::string name = ExePath().substr(ExePath().rfind('/') + 1);
    static char* argv[] = {name.data(), nullptr};
    argc = &count;
    return argv;
}
}  // namespace detail

// A QCoreApplication, unless an application exists already.
inline QCoreApplication* CoreApp() {
    if (QCoreApplication* app = QCoreApplication::instance()) return app;
    int* argc = nullptr;
    char** argv = detail::AppArgs(argc);
    return new QCoreApplication(*argc, argv);
}

// Runs the event loop until pred holds or the limit passes; pred's last
// value. The limit only keeps a broken test from hanging.
inline bool PumpUntil(const std::function<bool()>& pred, int limitMs = 5000) {
    QDeadlineTimer deadline(limitMs);
    while (!pred()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

// Lets queued calls run for a short while (to show that nothing arrives).
inline void PumpFor(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
}

}  // namespace morvelant::testsupport
