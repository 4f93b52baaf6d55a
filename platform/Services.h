#pragma once
// The system services that pages and dialogs use: message boxes, folder and
// file choosers, the shell's "open", system shut-down and outside processes.
// The program installs the real ones; tests install recorders.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QWidget;
class CFolderChooser;
class CKSFileDialog;

namespace platform {

enum class Icon { None, Information, Warning, Error, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
// Answers carry the values that callers compare against.
enum Answer { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class Messages {
public:
    virtual ~Messages() = default;
    // Shows a modal box owned by the main window; returns the button pressed.
    // An empty caption means the application title.
    virtual int Show(const QString& text, const QString& caption, Icon icon,
                     Buttons buttons = Buttons::Ok) = 0;
};

class Choosers {
public:
    virtual ~Choosers() = default;
    // Runs the folder chooser's browser; returns 1 when a folder was accepted.
    virtual int RunFolderChooser(CFolderChooser& chooser) = 0;
    // Runs the system file dialog for a CKSFileDialog; 1 OK, 2 cancel.
    virtual int RunFileDialog(CKSFileDialog& dialog) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // The shell's "open" verb on a folder, file or web address.
    virtual bool Open(const QString& target) = 0;
};

class System {
public:
    virtual ~System() = default;
    // Powers the machine off (applications are not forced to close).
    virtual bool PowerOff() = 0;
};

// One outside program run without a window.
class Process {
public:
    virtual ~Process() = default;
    virtual bool IsRunning() const = 0;
    // Valid once the process has ended; crashed or failed-to-start count as failed.
    virtual bool Succeeded() const = 0;
    virtual QString ErrorText() const = 0;
    virtual void Kill() = 0;
};

// The argument vector exec() takes for program and args, in the file-name
// encoding; valid while this object lives.
class ProcessArgv {
public:
    ProcessArgv(const QString& program, const QStringList& args);
    char* const* Get() { return pointers_.data(); }

private:
    std::vector<QByteArray> bytes_;
    std::vector<char*> pointers_;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts program with args; onFinished runs on the UI thread when it ends
    // (also when it fails to start). Never blocks.
    virtual std::unique_ptr<Process> Start(const QString& program, const QStringList& args,
                                           std::function<void()> onFinished) = 0;
};

// The services in use. Each accessor returns the installed service or the
// real one. Install swaps one in (tests) and returns the previous one.
Messages& messages();
Choosers& choosers();
Shell& shell();
System& system();
Processes& processes();

Messages* Install(Messages* s);
Choosers* Install(Choosers* s);
Shell* Install(Shell* s);
System* Install(System* s);
Processes* Install(Processes* s);

// Runs one of the program's own modal dialogs and returns its result
// (QDialog::Accepted is 1). Tests install a runner that drives the dialog
// through its handlers instead of showing it.
using DialogRunner = std::function<int(QDialog&)>;
int RunDialog(QDialog& dialog);
// Installs a runner (empty: exec() again); returns the previous one.
DialogRunner InstallDialogRunner(DialogRunner runner);

// The title boxes without their own caption carry.
QString ApplicationTitle();

// When QUINTREL_HEADLESS is set, message boxes are written to standard error
// and answered with their default button, so the program can run unattended.
bool Headless();

} // namespace platform
