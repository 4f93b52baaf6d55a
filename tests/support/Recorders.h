#pragma once
// Stand-ins for the system services: they record what the code asked for and
// answer on cue, so no test opens a real window or waits for a person.

#include "Services.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <ostream>
#include <vector>

namespace testing_support {

struct ShownMessage {
    QString text;
    QString caption;
    platform::Icon icon;
    platform::Buttons buttons;
};

class MessageRecorder : public platform::Messages {
public:
    MessageRecorder();
    ~MessageRecorder() override;
    int Show(const QString& text, const QString& caption, platform::Icon icon,
             platform::Buttons buttons) override;
    // Answers for the next boxes, in order; then OK or Yes.
    void Answer(int answer) { answers_.push_back(answer); }

    std::vector<ShownMessage> shown;

private:
    std::deque<int> answers_;
    platform::Messages* previous_;
};

class ChooserRecorder : public platform::Choosers {
public:
    ChooserRecorder();
    ~ChooserRecorder() override;
    // Called in place of the folder browser; returns what DoModal would.
    std::function<int(CFolderChooser&)> onFolder;
    // Called in place of the file dialog; sets the path and returns 1 or 2.
    std::function<int(CKSFileDialog&)> onFile;
    int folderRuns = 0;
    int fileRuns = 0;

    int RunFolderChooser(CFolderChooser& chooser) override;
    int RunFileDialog(CKSFileDialog& dialog) override;

private:
    platform::Choosers* previous_;
};

class ShellRecorder : public platform::Shell {
public:
    ShellRecorder();
    ~ShellRecorder() override;
    bool Open(const QString& target) override {
        opened << target;
        return true;
    }
    QStringList opened;

private:
    platform::Shell* previous_;
};

class SystemRecorder : public platform::System {
public:
    SystemRecorder();
    ~SystemRecorder() override;
    bool PowerOff() override {
        ++powerOffs;
        return true;
    }
    int powerOffs = 0;

private:
    platform::System* previous_;
};

} // namespace testing_support

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join(QStringLiteral(", ")).toStdString() << '}';
}
