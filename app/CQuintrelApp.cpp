#include "CQuintrelApp.h"

#include "CQuintrelDlg.h"
#include "Paths.h"
#include "Services.h"
#include "Site.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

using platform::Icon;

const CQuintrelApp::RegistrationEntry CQuintrelApp::kRegistrationTable[17] = {
    {"RealMediaSplitter.ax", true}, {"ac3filter.ax", true},       {"CoreVorbis.ax", true},
    {"coreaac.ax", true},           {"aac_parser.ax", true},      {"RLAPEDec.ax", true},
    {"QuickTime.ax", true},         {"dsmp4filereader.ax", true}, {"dsmpeg4auddec.ax", true},
    {"dsmpeg4rtpreader.ax", true},  {"dsmpeg4viddec.ax", true},   {"dsamrauddec.ax", true},
    {"libFennick.so", true},        {"zorbinwave.dll", true},     {"Pavline.ax", true},
    {"Stampery.dll", true},         {"libTrakkon.so", false},
};

CQuintrelApp::Environment CQuintrelApp::SystemEnvironment() {
    Environment env;
    env.installDir = platform::InstallDir();
    env.markerDir = platform::ConfigDir();
    env.controlDir = env.installDir;
    env.cdLayerFolders = {QStringLiteral(QUINTREL_LIBDIR_MULTIARCH), QStringLiteral("/usr/lib"),
                          QStringLiteral("/lib")};
    env.cdLayerFile = QStringLiteral(QUINTREL_CDIO_SONAME);
    // There is no DirectX on this platform: the check counts as passed.
    env.directX = [] { return DirectXVersion{true, 8, 1}; };
    env.registerServer = [](const QString& path) {
        return automation::RegisterServer(QFile::encodeName(path).toStdString());
    };
    env.runMainWindow = [] {
        CQuintrelDlg dlg;
        dlg.exec();
    };
    return env;
}

CQuintrelApp::CQuintrelApp(Environment env) : env_(std::move(env)) {}

bool CQuintrelApp::InitInstance() {
    // Control hosting and 3-D control drawing need no set-up with Qt.

    if (!guard_.Claim()) {
        platform::messages().Show(QStringLiteral("Another Quintrel Programme is running now!"),
                                  QString(), Icon::Information);
        outcome_ = Outcome::SecondInstance;
        return false;
    }

    if (!CheckCdLayer()) {
        outcome_ = Outcome::NoCdLayer;
        return false;
    }
    CheckDirectX();
    if (!RegisterComponents()) {
        outcome_ = Outcome::NoMediaRuntime;
        return false;
    }

    outcome_ = Outcome::MainWindowRan;
    if (env_.runMainWindow)
        env_.runMainWindow();
    return false;
}

namespace {
bool CreateEmptyFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate);
}
} // namespace

bool CQuintrelApp::CheckCdLayer() {
    bool found = false;
    for (const QString& folder : env_.cdLayerFolders) {
        if (QFileInfo::exists(folder + QLatin1Char('/') + env_.cdLayerFile)) {
            found = true;
            break;
        }
    }
    const QString marker = env_.markerDir + QLatin1Char('/') + QLatin1String(kAspiMarker);
    if (!found) {
        platform::messages().Show(
            QStringLiteral(
                "Your operation system lack ASPI driver, which is used by so many multimedia "
                "softwares. You need to install it along with Quintrel, otherwise you can't rip "
                "files from CDs. Now Quintrel will automatically open the ASPI folder for you, "
                "and then you click the INSTALL.BAT file to install it. Restart your operation "
                "system after installation, your problem will be solved."),
            QStringLiteral("ASPI Diver Warning"), Icon::Error);
        platform::shell().Open(env_.installDir + QStringLiteral("/ASPI"));
        CreateEmptyFile(marker);
        return false;
    }
    if (QFileInfo::exists(marker)) {
        QFile::remove(marker);
        platform::messages().Show(
            QStringLiteral(
                "WARNING: You have already installed ASPI driver, program will continue to "
                "launch. If some errors occur later, maybe it is because you haven't restarted "
                "your operation system, ASPI driver is available just after you restart your "
                "operation system. Click OK to continue."),
            QStringLiteral("Notice"), Icon::Warning);
    }
    return true;
}

void CQuintrelApp::CheckDirectX() {
    const DirectXVersion v = env_.directX ? env_.directX() : DirectXVersion{};
    if (v.ok && v.second * 10 + v.third >= 81)
        return;
    const QString marker = env_.markerDir + QLatin1Char('/') + QLatin1String(kDirectXMarker);
    if (QFileInfo::exists(marker))
        return;
    CreateEmptyFile(marker);
    platform::messages().Show(
        QStringLiteral("Microsoft DirectX 8.1 or a higher version is necessary for Quintrel. "
                       "Please update your DirectX first. You can also download it from our "
                       "website."),
        QStringLiteral("Microsoft DirectX Warning"), Icon::Error);
    platform::shell().Open(QString::fromLatin1(site::kSupportPage));
}

bool CQuintrelApp::RegisterComponents() {
    for (int i = 0; i < 17; ++i) {
        const RegistrationEntry& e = kRegistrationTable[i];
        const QString dir = e.inInstallDir ? env_.installDir : env_.controlDir;
        const QString path = dir + QLatin1Char('/') + QLatin1String(e.file);
        const auto result = env_.registerServer ? env_.registerServer(path)
                                                : automation::SelfRegistration::NotLoadable;
        if (result == automation::SelfRegistration::Called)
            registered_ << QLatin1String(e.file);
        if (i == kMediaControlEntry && result == automation::SelfRegistration::NotLoadable) {
            platform::messages().Show(
                QStringLiteral("Window Media Format Runtime Driver is necessary for Quintrel. You "
                               "need to install it along with Quintrel. Now you can run Quintrel "
                               "setup file again to reinstall it."),
                QStringLiteral("Window Media Format Runtime Driver Warning"), Icon::Information);
            return false;
        }
        // Other files this platform has no build of are skipped silently.
    }
    return true;
}
