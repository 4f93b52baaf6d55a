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
#include <QProcess>
#include <QTextStream>
#include <QUrl>

#include <cstdio>
#include <utility>

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

class RealProcess final : public Process {
public:
    RealProcess(const QString& program, const QStringList& args, std::function<void()> onFinished)
        : onFinished_(std::move(onFinished)) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setStandardOutputFile(QProcess::nullDevice());
        QObject::connect(&process_, &QProcess::finished, &process_,
                         [this](int, QProcess::ExitStatus) { Finish(); });
        QObject::connect(&process_, &QProcess::errorOccurred, &process_,
                         [this](QProcess::ProcessError e) {
                             if (e == QProcess::FailedToStart)
                                 Finish();
                         });
        process_.start(program, args);
    }
    ~RealProcess() override {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
    bool IsRunning() const override { return !finished_; }
    bool Succeeded() const override {
        return finished_ && process_.error() != QProcess::FailedToStart &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    QString ErrorText() const override {
        if (process_.error() == QProcess::FailedToStart)
            return QStringLiteral("the program could not be started (%1)").arg(process_.program());
        if (process_.exitStatus() == QProcess::CrashExit)
            return QStringLiteral("the program crashed");
        return QStringLiteral("the program ended with exit code %1").arg(process_.exitCode());
    }
    void Kill() override { process_.kill(); }

private:
    void Finish() {
        if (finished_)
            return;
        finished_ = true;
        if (onFinished_)
            QMetaObject::invokeMethod(&process_, onFinished_, Qt::QueuedConnection);
    }
    QProcess process_;
    std::function<void()> onFinished_;
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
