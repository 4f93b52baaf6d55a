#include "Services.h"

#include "CFolderChooser.h"
#include "CKSFileDialog.h"

#include <QApplication>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

QString ApplicationTitle() {
    return QStringLiteral("Quintrel");
}

bool Headless() {
    return qEnvironmentVariableIsSet("QUINTREL_HEADLESS");
}

namespace {

QWidget* MainOwner() {
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

class RealMessages final : public Messages {
public:
    int Show(const QString& text, const QString& caption, Icon icon, Buttons buttons) override {
        const QString title = caption.isEmpty() ? ApplicationTitle() : caption;
        if (Headless()) {
            std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
            return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? IDOK : IDYES;
        }
        QMessageBox box(MainOwner());
        box.setWindowTitle(title);
        box.setText(text);
        switch (icon) {
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::None:
            break;
        }
        switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return IDCANCEL;
        }
    }
};

class RealChoosers final : public Choosers {
public:
    int RunFolderChooser(CFolderChooser& chooser) override { return chooser.exec(); }
    int RunFileDialog(CKSFileDialog& dialog) override { return dialog.RunSystemDialog(); }
};

class RealShell final : public Shell {
public:
    bool Open(const QString& target) override {
        if (Headless()) {
            std::fprintf(stderr, "[open] %s\n", qPrintable(target));
            return true;
        }
        const QUrl url = target.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(target)
                                                             : QUrl::fromUserInput(target);
        return QDesktopServices::openUrl(url);
    }
};

class RealSystem final : public System {
public:
    bool PowerOff() override {
        // logind decides on policy (a password prompt is not allowed here:
        // the run is unattended); false interactive flag, nothing forced.
        QDBusInterface logind(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
        if (!logind.isValid())
            return false;
        QDBusMessage reply = logind.call(QStringLiteral("PowerOff"), false);
        return reply.type() != QDBusMessage::ErrorMessage;
    }
};

// Outside programs are started with fork and exec and watched through a
// process file descriptor. (QProcess starts children through a clone that
// shares the parent's memory until exec, which hides the parent's later
// synchronisation from the thread checker.)
} // namespace

ProcessArgv::ProcessArgv(const QString& program, const QStringList& args) {
    bytes_.push_back(QFile::encodeName(program));
    for (const QString& a : args)
        bytes_.push_back(QFile::encodeName(a));
    for (QByteArray& b : bytes_)
        pointers_.push_back(b.data());
    pointers_.push_back(nullptr);
}

namespace {

class RealProcess final : public Process {
public:
    RealProcess(const QString& program, const QStringList& args, std::function<void()> onFinished)
        : onFinished_(std::move(onFinished)), program_(program) {
        ProcessArgv argv(program, args);
        const bool searchPath = !program.contains(QLatin1Char('/'));

        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) {
            startError_ = errno;
            Finish();
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            // The child: no input, output discarded, errors to ours.
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, 0);
                ::dup2(null, 1);
            }
            if (searchPath)
                ::execvp(argv.Get()[0], argv.Get());
            else
                ::execv(argv.Get()[0], argv.Get());
            const int e = errno;
            [[maybe_unused]] const ssize_t n = ::write(report[1], &e, sizeof e);
            ::_exit(127);
        }
        ::close(report[1]);
        if (pid_ < 0) {
            startError_ = errno;
            ::close(report[0]);
            Finish();
            return;
        }
        // The pipe closes on a successful exec; otherwise it carries errno.
        int e = 0;
        ssize_t n;
        do
            n = ::read(report[0], &e, sizeof e);
        while (n < 0 && errno == EINTR);
        ::close(report[0]);
        if (n == static_cast<ssize_t>(sizeof e)) {
            startError_ = e;
            Reap(true);
            return;
        }
        pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (pidfd_ >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(pidfd_, QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, &context_,
                             [this] { Reap(false); });
        } else {
            // Kernels without process descriptors: look now and then.
            poll_.setInterval(20);
            QObject::connect(&poll_, &QTimer::timeout, &context_, [this] { Reap(false); });
            poll_.start();
        }
    }
    ~RealProcess() override {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            Reap(true);
        }
        if (pidfd_ >= 0)
            ::close(pidfd_);
    }
    bool IsRunning() const override { return !finished_; }
    bool Succeeded() const override {
        return finished_ && startError_ == 0 && WIFEXITED(status_) && WEXITSTATUS(status_) == 0;
    }
    QString ErrorText() const override {
        if (startError_ != 0)
            return QStringLiteral("the program could not be started (%1: %2)")
                .arg(program_, QString::fromLocal8Bit(std::strerror(startError_)));
        if (WIFSIGNALED(status_))
            return QStringLiteral("the program crashed");
        return QStringLiteral("the program ended with exit code %1").arg(WEXITSTATUS(status_));
    }
    void Kill() override {
        if (pid_ > 0 && !exited_)
            ::kill(pid_, SIGKILL);
    }

private:
    void Reap(bool block) {
        if (pid_ <= 0 || exited_)
            return;
        int status = 0;
        pid_t r;
        do
            r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
        while (r < 0 && errno == EINTR);
        if (r == 0)
            return; // still running
        exited_ = true;
        status_ = r == pid_ ? status : 0;
        if (notifier_)
            notifier_->setEnabled(false);
        poll_.stop();
        Finish();
    }
    void Finish() {
        if (finished_)
            return;
        finished_ = true;
        if (onFinished_)
            QMetaObject::invokeMethod(&context_, onFinished_, Qt::QueuedConnection);
    }

    QObject context_;
    std::function<void()> onFinished_;
    QString program_;
    pid_t pid_ = -1;
    int pidfd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer poll_;
    int status_ = 0;
    int startError_ = 0;
    bool exited_ = false;
    bool finished_ = false;
};

class RealProcesses final : public Processes {
public:
    std::unique_ptr<Process> Start(const QString& program, const QStringList& args,
                                   std::function<void()> onFinished) override {
        return std::make_unique<RealProcess>(program, args, std::move(onFinished));
    }
};

template <class T> T*& Slot() {
    static T* installed = nullptr;
    return installed;
}

template <class T, class Real> T& Get() {
    if (T* s = Slot<T>())
        return *s;
    static Real real;
    return real;
}

template <class T> T* Swap(T* s) {
    T* previous = Slot<T>();
    Slot<T>() = s;
    return previous;
}

} // namespace

Messages& messages() {
    return Get<Messages, RealMessages>();
}
Choosers& choosers() {
    return Get<Choosers, RealChoosers>();
}
Shell& shell() {
    return Get<Shell, RealShell>();
}
System& system() {
    return Get<System, RealSystem>();
}
Processes& processes() {
    return Get<Processes, RealProcesses>();
}

Messages* Install(Messages* s) {
    return Swap(s);
}
Choosers* Install(Choosers* s) {
    return Swap(s);
}
Shell* Install(Shell* s) {
    return Swap(s);
}
System* Install(System* s) {
    return Swap(s);
}
Processes* Install(Processes* s) {
    return Swap(s);
}

namespace {
DialogRunner& InstalledRunner() {
    static DialogRunner runner;
    return runner;
}
} // namespace

int RunDialog(QDialog& dialog) {
    if (InstalledRunner())
        return InstalledRunner()(dialog);
    return dialog.exec();
}

DialogRunner InstallDialogRunner(DialogRunner runner) {
    return std::exchange(InstalledRunner(), std::move(runner));
}

} // namespace platform
