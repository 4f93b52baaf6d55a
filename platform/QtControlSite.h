#pragma once
// The site a page gives the control it hosts: posting to the user-interface
// thread and window timers, over Qt's event loop.

#include "Dispatch.h"

#include <QObject>
#include <QPointer>

#include <map>

namespace platform {

class QtControlSite final : public QObject, public automation::ControlSite {
    Q_OBJECT
public:
    explicit QtControlSite(QObject* parent = nullptr);
    ~QtControlSite() override;

    void Post(std::function<void()> fn) override;
    void SetTimer(unsigned id, unsigned milliseconds, std::function<void()> tick) override;
    void KillTimer(unsigned id) override;
    // Shown through RunDialog; a host without widgets (a command-line
    // program) shows nothing.
    bool ShowPropertyPage(const std::string& caption,
                          std::vector<automation::PropertySetting>& settings) override;
    void ShowAboutBox(const std::string& caption, const std::string& text) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Timer {
        int qtId;
        std::function<void()> tick;
    };
    std::map<unsigned, Timer> timers_;
};

} // namespace platform
