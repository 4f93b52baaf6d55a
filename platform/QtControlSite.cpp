#include "QtControlSite.h"
#include "UiPost.h"

#include "ControlDialogs.h"
#include "Services.h"

#include <QApplication>
#include <QTimerEvent>

namespace platform {

QtControlSite::QtControlSite(QObject* parent) : QObject(parent) {}

QtControlSite::~QtControlSite() {
    for (auto& [id, t] : timers_)
        killTimer(t.qtId);
}

void QtControlSite::Post(std::function<void()> fn) {
    // Queued to this object's thread; dropped if the site is gone by then.
    PostToUiThread(this, std::move(fn));
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

namespace {
bool HasWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}
} // namespace

bool QtControlSite::ShowPropertyPage(const std::string& caption,
                                     std::vector<automation::PropertySetting>& settings) {
    if (!HasWidgets() || settings.empty())
        return false;
    CPropertyPageDlg dlg(QString::fromStdString(caption), settings, QApplication::activeWindow());
    if (RunDialog(dlg) == QDialog::Accepted) {
        const std::vector<int> values = dlg.Values();
        for (std::size_t i = 0; i < settings.size(); ++i)
            settings[i].value = values[i];
    }
    return true;
}

void QtControlSite::ShowAboutBox(const std::string& caption, const std::string& text) {
    if (!HasWidgets())
        return;
    CControlAboutDlg dlg(QString::fromStdString(caption), QString::fromStdString(text),
                         QApplication::activeWindow());
    RunDialog(dlg);
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
