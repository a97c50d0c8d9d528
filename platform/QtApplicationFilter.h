// An event filter of the whole application, for a rule that every window
// and control of the editor follows, so that none added later is missed.
#pragma once

#include <QApplication>
#include <QPointer>

namespace morvelant {

// Installs one `Filter` on the application; later calls do nothing. Needs
// the application.
template <class Filter>
void InstallApplicationFilterOnce() {
    // Owned by the application: a later application gets a filter of its own.
    static QPointer<QObject> filter;
    if (filter || qApp == nullptr) return;
    filter = new Filter(qApp);
    qApp->installEventFilter(filter);
}

}  // namespace morvelant
