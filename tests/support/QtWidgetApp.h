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
    // An offscreen platform given with options (a screen of a set size) stays.
    if (offscreen && !qgetenv("QT_QPA_PLATFORM").startsWith("offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* app = new QApplication(*argc, argv);
    // The offscreen platform keeps no stacking order and says so at each
    // raise the program makes, as on a screen; the tests need not hear it.
    static QtMessageHandler next = nullptr;
    next = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text == QLatin1String("This plugin does not support raise()")) return;
        if (next != nullptr) next(type, context, text);
    });
    return app;
}

}  // namespace morvelant::testsupport
