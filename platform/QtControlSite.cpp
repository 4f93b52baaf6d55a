#include "QtControlSite.h"

#include <QTimerEvent>

namespace platform {

QtControlSite::QtControlSite(QObject* parent) : QObject(parent) {}

QtControlSite::~QtControlSite() {
    for (auto& [id, t] : timers_)
        killTimer(t.qtId);
}

void QtControlSite::Post(std::function<void()> fn) {
    // Queued to this object's thread; dropped if the site is gone by then.
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtControlSite::SetTimer(unsigned id, unsigned milliseconds, std::function<void()> tick) {
    KillTimer(id);
    const int qtId = startTimer(static_cast<int>(milliseconds), Qt::PreciseTimer);
    timers_[id] = Timer{qtId, std::move(tick)};
}

void QtControlSite::KillTimer(unsigned id) {
    if (auto it = timers_.find(id); it != timers_.end()) {
        killTimer(it->second.qtId);
        timers_.erase(it);
    }
}

void QtControlSite::timerEvent(QTimerEvent* event) {
    for (auto& [id, t] : timers_) {
        if (t.qtId == event->timerId()) {
            auto tick = t.tick; // the tick may kill or reset its own timer
            tick();
            return;
        }
    }
}

} // namespace platform
