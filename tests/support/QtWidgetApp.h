// The widget application of the window tests.
#pragma once

#include <QApplication>

#include "tests/support/QtTestApp.h"

namespace morvelant::testsupport {

// The widget application; offscreen forces the offscreen platform plugin
// (as the window tests do, so that they run without a display).
inline QApplication* WidgetApp(bool offscreen = false) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    int* argc = nullptr;
    char** argv = detail::AppArgs(argc);
    if (offscreen) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(*argc, argv);
}

}  // namespace morvelant::testsupport
