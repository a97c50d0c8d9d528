#include "engine/PeerBoxes.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <utility>

namespace morvelant {

struct PeerBoxLine::Waiting {
    QPointer<QObject> owner;
    std::function<void()> show;
};

PeerBoxLine::PeerBoxLine() = default;
PeerBoxLine::~PeerBoxLine() = default;

void PeerBoxLine::Run(QObject* owner, std::function<void()> show) {
    if (open_) {
        waiting_.push_back({owner, std::move(show)});
        return;
    }
    open_ = true;
    show();
    open_ = false;
    // The next one opens after this box's caller has returned, never inside it.
    while (!waiting_.empty()) {
        auto [next, run] = std::move(waiting_.front());
        waiting_.erase(waiting_.begin());
        if (!next) continue;
        QMetaObject::invokeMethod(next, [this, next = next.data(), run = std::move(run)] { Run(next, run); },
                                  Qt::QueuedConnection);
        return;
    }
}

}  // namespace morvelant
