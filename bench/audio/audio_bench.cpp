// Converts the supported files of a folder to MP3 through the audio page,
// from Start to the closing message, and prints the wall time in seconds.
//
//   audio_bench BIN_DIR SOURCE_FOLDER OUTPUT_FOLDER [BITRATE]
//
// BIN_DIR is the runnable folder (libFennick.so and the encoders). The
// component registry and the settings go to a private folder.

#include "CAudioPage.h"
#include "CAudioSettingsDlg.h"
#include "CFolderChooser.h"
#include "CKSFileDialog.h"
#include "ComponentRegistry.h"
#include "Paths.h"
#include "Services.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Answers : platform::Messages, platform::Choosers, platform::Shell, platform::System {
    QString folder;
    QStringList shown;
    int Show(const QString& text, const QString&, platform::Icon, platform::Buttons) override {
        shown << text;
        return platform::IDOK;
    }
    int RunFolderChooser(CFolderChooser& chooser) override {
        chooser.Edit()->setText(folder);
        chooser.OnOK();
        return 1;
    }
    int RunFileDialog(CKSFileDialog&) override { return 2; }
    bool Open(const QString&) override { return true; }
    bool PowerOff() override { return false; }
};

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: audio_bench BIN_DIR SOURCE_FOLDER OUTPUT_FOLDER [BITRATE]\n");
        return 2;
    }
    const QString bin = QString::fromLocal8Bit(argv[1]);
    const QString bitrate = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("128");
    automation::HRESULT hr = automation::E_FAIL;
    if (automation::RegisterServer((bin + "/libFennick.so").toStdString(), &hr) !=
            automation::SelfRegistration::Called ||
        automation::Failed(hr)) {
        std::fprintf(stderr, "audio_bench: cannot register %s/libFennick.so\n", argv[1]);
        return 1;
    }
    platform::SetInstallDirForTesting(bin);

    Answers answers;
    answers.folder = QString::fromLocal8Bit(argv[2]);
    platform::Install(static_cast<platform::Messages*>(&answers));
    platform::Install(static_cast<platform::Choosers*>(&answers));
    platform::Install(static_cast<platform::Shell*>(&answers));
    platform::Install(static_cast<platform::System*>(&answers));
    platform::InstallDialogRunner([&](QDialog& dialog) {
        if (auto* s = qobject_cast<CAudioSettingsDlg*>(&dialog)) {
            s->Combo(CAudioSettingsDlg::IDC_FORMAT)->setCurrentIndex(kFormatMp3);
            s->OnFormatChanged();
            s->Combo(CAudioSettingsDlg::IDC_MP3_BITRATE)->setCurrentText(bitrate);
            s->OnMp3BitrateChanged();
            s->OnOK();
        }
        return dialog.result();
    });

    CAudioPage page;
    page.OnAddFolder();
    if (page.Tasks().SlotCount() == 0) {
        std::fprintf(stderr, "audio_bench: no supported files in %s\n", argv[2]);
        return 1;
    }
    page.OutputEdit()->setText(QString::fromLocal8Bit(argv[3]));
    QElapsedTimer timer;
    timer.start();
    page.OnStart();
    while (page.IsRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const bool ok = answers.shown.size() == 1 && answers.shown[0].startsWith("Conversion has been");
    if (!ok)
        std::fprintf(stderr, "audio_bench: %s\n", qPrintable(answers.shown.join("\n")));
    std::printf("%.3f\n", seconds);
    return ok ? 0 : 1;
}
