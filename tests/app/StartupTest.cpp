#include "CQuintrelApp.h"
#include "Recorders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testing_support;
using automation::SelfRegistration;
using platform::Icon;

namespace {

const char* const kAspiText =
    "Your operation system lack ASPI driver, which is used by so many multimedia softwares. You "
    "need to install it along with Quintrel, otherwise you can't rip files from CDs. Now "
    "Quintrel will automatically open the ASPI folder for you, and then you click the "
    "INSTALL.BAT file to install it. Restart your operation system after installation, your "
    "problem will be solved.";
const char* const kNoticeText =
    "WARNING: You have already installed ASPI driver, program will continue to launch. If some "
    "errors occur later, maybe it is because you haven't restarted your operation system, ASPI "
    "driver is available just after you restart your operation system. Click OK to continue.";
const char* const kDirectXText =
    "Microsoft DirectX 8.1 or a higher version is necessary for Quintrel. Please update your "
    "DirectX first. You can also download it from our website.";
const char* const kRuntimeText =
    "Window Media Format Runtime Driver is necessary for Quintrel. You need to install it along "
    "with Quintrel. Now you can run Quintrel setup file again to reinstall it.";

// A machine in folders of its own: three library folders, a marker folder,
// and an install folder whose component files the test decides.
struct Machine {
    QTemporaryDir root;
    bool cdLayerIn[3] = {false, false, false};
    CQuintrelApp::DirectXVersion directX{true, 9, 0};
    QStringList loadable; // files that load; all others are missing
    QStringList triedToRegister;
    int mainWindowRuns = 0;

    QString Dir(const QString& name) const {
        QDir().mkpath(root.filePath(name));
        return root.filePath(name);
    }
    QString Marker(const char* name) const { return Dir(QStringLiteral("config")) + "/" + name; }

    CQuintrelApp::Environment Env() {
        CQuintrelApp::Environment env;
        env.installDir = Dir(QStringLiteral("install"));
        env.controlDir = Dir(QStringLiteral("install"));
        env.markerDir = Dir(QStringLiteral("config"));
        env.cdLayerFile = QStringLiteral("libcdio.so.19");
        const char* folders[3] = {"lib/multiarch", "lib/usr", "lib/root"};
        for (int i = 0; i < 3; ++i) {
            const QString dir = Dir(QString::fromLatin1(folders[i]));
            env.cdLayerFolders << dir;
            if (cdLayerIn[i]) {
                QFile f(dir + "/libcdio.so.19");
                f.open(QIODevice::WriteOnly);
            }
        }
        env.directX = [this] { return directX; };
        env.registerServer = [this](const QString& path) {
            const QString file = QFileInfo(path).fileName();
            triedToRegister << file;
            return loadable.contains(file) ? SelfRegistration::Called
                                           : SelfRegistration::NotLoadable;
        };
        env.runMainWindow = [this] { ++mainWindowRuns; };
        return env;
    }

    CQuintrelApp::Outcome Start() {
        CQuintrelApp app(Env());
        EXPECT_FALSE(app.InitInstance());
        return app.outcome();
    }
};

QStringList TableFiles() {
    QStringList files;
    for (const auto& e : CQuintrelApp::kRegistrationTable)
        files << QString::fromLatin1(e.file);
    return files;
}

} // namespace

TEST(Startup, CdLayerMarkerStateMachine) {
    MessageRecorder messages;
    ShellRecorder shell;
    Machine m;
    m.loadable = {QStringLiteral("libFennick.so")};

    // First start without the layer: error, ASPI folder opened, marker, no window.
    EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::NoCdLayer);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QString::fromLatin1(kAspiText));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("ASPI Diver Warning"));
    EXPECT_EQ(messages.shown[0].icon, Icon::Error);
    EXPECT_EQ(shell.opened, QStringList{m.Dir("install") + "/ASPI"});
    EXPECT_TRUE(QFileInfo::exists(m.Marker("ASFlagCS.ini")));
    EXPECT_EQ(m.mainWindowRuns, 0);
    EXPECT_TRUE(m.triedToRegister.isEmpty());

    // Still absent with the marker present: the same again.
    EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::NoCdLayer);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(m.Marker("ASFlagCS.ini")));

    // Installed, only in the last of the three folders: the notice once, marker gone.
    m.cdLayerIn[2] = true;
    EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::MainWindowRan);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].text, QString::fromLatin1(kNoticeText));
    EXPECT_EQ(messages.shown[2].caption, QStringLiteral("Notice"));
    EXPECT_EQ(messages.shown[2].icon, Icon::Warning);
    EXPECT_FALSE(QFileInfo::exists(m.Marker("ASFlagCS.ini")));
    EXPECT_EQ(m.mainWindowRuns, 1);

    // And the start after that shows nothing.
    EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::MainWindowRan);
    EXPECT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(m.mainWindowRuns, 2);
}

TEST(Startup, DirectXVersionsAndMarker) {
    struct Case {
        CQuintrelApp::DirectXVersion version;
        bool warns;
    };
    const Case cases[] = {
        {{true, 8, 1}, false}, {{true, 9, 0}, false}, {{true, 8, 0}, true},
        {{true, 7, 9}, true},  {{false, 0, 0}, true},
    };
    for (const auto& c : cases) {
        MessageRecorder messages;
        ShellRecorder shell;
        Machine m;
        m.cdLayerIn[0] = true;
        m.loadable = {QStringLiteral("libFennick.so")};
        m.directX = c.version;
        EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::MainWindowRan);
        const int shown = c.warns ? 1 : 0;
        ASSERT_EQ(messages.shown.size(), std::size_t(shown)) << c.version.second << c.version.third;
        EXPECT_EQ(QFileInfo::exists(m.Marker("DXFlagCS.ini")), c.warns);
        if (!c.warns)
            continue;
        EXPECT_EQ(messages.shown[0].text, QString::fromLatin1(kDirectXText));
        EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Microsoft DirectX Warning"));
        EXPECT_EQ(messages.shown[0].icon, Icon::Error);
        ASSERT_EQ(shell.opened.size(), 1);
        EXPECT_TRUE(shell.opened[0].endsWith(QStringLiteral("/support.htm")));

        // Warned once per machine; deleting the marker brings it back.
        EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::MainWindowRan);
        EXPECT_EQ(messages.shown.size(), 1u);
        QFile::remove(m.Marker("DXFlagCS.ini"));
        m.Start();
        EXPECT_EQ(messages.shown.size(), 2u);
    }
}

TEST(Startup, MessagesComeInStepOrder) {
    MessageRecorder messages;
    ShellRecorder shell;
    Machine m;
    m.cdLayerIn[1] = true;
    m.directX = {false, 0, 0};
    QFile(m.Marker("ASFlagCS.ini")).open(QIODevice::WriteOnly);
    // No media control: notice, DirectX warning, runtime message, in that order.
    EXPECT_EQ(m.Start(), CQuintrelApp::Outcome::NoMediaRuntime);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Notice"));
    EXPECT_EQ(messages.shown[1].caption, QStringLiteral("Microsoft DirectX Warning"));
    EXPECT_EQ(messages.shown[2].text, QString::fromLatin1(kRuntimeText));
    EXPECT_EQ(messages.shown[2].caption,
              QStringLiteral("Window Media Format Runtime Driver Warning"));
    EXPECT_EQ(messages.shown[2].icon, Icon::Information);
    EXPECT_EQ(m.mainWindowRuns, 0);
}

TEST(Startup, RegistrationWalksTheTableInOrder) {
    MessageRecorder messages;
    Machine m;
    m.cdLayerIn[0] = true;
    m.loadable = {QStringLiteral("libFennick.so"), QStringLiteral("libTrakkon.so")};
    {
        CQuintrelApp app(m.Env());
        app.InitInstance();
        EXPECT_EQ(app.registered(),
                  QStringList({QStringLiteral("libFennick.so"), QStringLiteral("libTrakkon.so")}));
    }
    EXPECT_EQ(m.triedToRegister, TableFiles());
    EXPECT_TRUE(messages.shown.empty()); // missing files are skipped silently
    EXPECT_EQ(m.mainWindowRuns, 1);

    // Without the media control the twelve entries before it are tried, then it stops.
    Machine without;
    without.cdLayerIn[0] = true;
    EXPECT_EQ(without.Start(), CQuintrelApp::Outcome::NoMediaRuntime);
    EXPECT_EQ(without.triedToRegister, TableFiles().mid(0, 13));
}

TEST(Startup, RealComponentsRegisterAndCanBeCreated) {
    // The built program folder holds the real component libraries.
    MessageRecorder messages;
    CQuintrelApp::Environment env = CQuintrelApp::SystemEnvironment();
    QTemporaryDir markers;
    env.installDir = QStringLiteral(QUINTREL_BIN_DIR);
    env.controlDir = env.installDir;
    env.markerDir = markers.path();
    env.cdLayerFolders = {QStringLiteral(QUINTREL_BIN_DIR)};
    env.cdLayerFile = QStringLiteral("quintrel");
    int windows = 0;
    env.runMainWindow = [&] { ++windows; };
    CQuintrelApp app(env);
    app.InitInstance();
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(app.registered(),
              QStringList({QStringLiteral("libFennick.so"), QStringLiteral("libTrakkon.so")}));

    automation::ComponentRegistry registry;
    for (const char* progId : {"FENNICK.FennickCtrl.1", "TRAKKON.TrakkonCtrl.1"}) {
        auto clsid = registry.FindProgId(progId);
        ASSERT_TRUE(clsid) << progId;
        automation::ComPtr<automation::IDispatch> control;
        EXPECT_EQ(automation::CreateInstance(*clsid, automation::IID_IDispatch, control.PutVoid()),
                  automation::S_OK)
            << progId;
        EXPECT_TRUE(control);
    }
    EXPECT_EQ(
        registry.FindClass(automation::MakeGuid("{57D9AF4C-23BA-47EC-A40B-2DA79641B285}"))->progId,
        "FENNICK.FennickCtrl.1");
    EXPECT_TRUE(registry.FindClass(automation::MakeGuid("{09D5C5AD-4625-4CEB-BEB6-75CE2E3F6CFA}")));
    EXPECT_TRUE(
        registry.FindTypeLib(automation::MakeGuid("{175AB0EE-CFF4-401C-8CCF-85EBA8998646}")));
}

TEST(Startup, SecondInstanceInTheSameSessionIsRefused) {
    MessageRecorder messages;
    Machine m;
    m.cdLayerIn[0] = true;
    m.loadable = {QStringLiteral("libFennick.so")};
    CQuintrelApp::Environment env = m.Env();
    env.runMainWindow = [&] {
        // While the first runs its window, a second start is refused.
        CQuintrelApp second(m.Env());
        second.InitInstance();
        EXPECT_EQ(second.outcome(), CQuintrelApp::Outcome::SecondInstance);
    };
    CQuintrelApp app(env);
    app.InitInstance();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Another Quintrel Programme is running now!"));
    EXPECT_EQ(messages.shown[0].caption, QString());
    EXPECT_EQ(messages.shown[0].icon, Icon::Information);
}
