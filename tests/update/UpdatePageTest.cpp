// The update page: its controls, its links and the version check against a
// real HTTP server on loopback.

#include "CUpdatePage.h"
#include "Look.h"
#include "Paths.h"
#include "Recorders.h"
#include "TestServer.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using platform::Icon;
using testing_support::MessageRecorder;
using testing_support::ShellRecorder;

namespace {

const char* const kWebSite = "http://www.quintrel.org";
const char* const kNetworkError =
    "Sorry, please make sure your computer is connected to the internet.";
const char* const kServerError =
    "Upgrade-detect file on server is missing! You cannot upgrade your software automatically "
    "now. Please contact us in time at this email address: support@quintrel.org, Thank you!";
const char* const kSystemFile =
    "Warning: Your system file is missing, Quintrel can not get the version information. We "
    "suggest that you reinstall this software to fix it.";
const char* const kNewer = "Good news! Software has detected a newer version of Quintrel. We "
                           "suggest that you upgrade your Quintrel right now!";
const char* const kUpToDate = "Thank you for using Quintrel. Quintrel is currently up-to-date.";

class UpdatePage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Started());
        platform::SetInstallDirForTesting(install.path());
        UseServer(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
    }
    void TearDown() override {
        platform::SetInstallDirForTesting(QString());
        qunsetenv("QUINTREL_UPDATE_SERVER");
    }
    static void UseServer(const QString& value) {
        qputenv("QUINTREL_UPDATE_SERVER", value.toUtf8());
    }
    void WriteFile(const char* name, const QByteArray& text) {
        QFile f(install.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // Presses the check button and waits until the check has ended.
    void Check(CUpdatePage& page) {
        QSignalSpy done(&page, &CUpdatePage::VersionCheckFinished);
        page.findChild<QPushButton*>("1191")->click();
        ASSERT_TRUE(done.wait(15000));
    }

    TestServer server;
    QTemporaryDir install;
    MessageRecorder messages;
    ShellRecorder shell;
};

TEST_F(UpdatePage, ComparesTheServersNumberWithTheInstalledOne) {
    struct Case {
        const char* what;
        const char* installed; // nullptr: no vertxt.ver
        QJsonObject answer;
        const char* earlierCopy; // csversion.txt from an earlier check
        const char* text;
        const char* caption;
        Icon icon;
        bool opensSite;
    } cases[] = {
        {"newer", "12", {{"body", "13\r\n"}}, nullptr, kNewer, "Result", Icon::Information, true},
        {"same", "13", {{"body", "13"}}, nullptr, kUpToDate, "Result", Icon::Information, false},
        {"numbers, not text",
         "13",
         {{"body", "9"}},
         nullptr,
         kUpToDate,
         "Result",
         Icon::Information,
         false},
        {"leading blanks and text after",
         " 12\r\n",
         {{"body", "  13 beta\n"}},
         nullptr,
         kNewer,
         "Result",
         Icon::Information,
         true},
        {"server line not a number",
         "12",
         {{"body", "v13"}},
         nullptr,
         kUpToDate,
         "Result",
         Icon::Information,
         false},
        {"500, first check",
         "12",
         {{"status", 500}},
         nullptr,
         kUpToDate,
         "Result",
         Icon::Information,
         false},
        {"500, earlier copy newer",
         "12",
         {{"status", 500}},
         "14\n",
         kNewer,
         "Result",
         Icon::Information,
         true},
        {"404", "12", {{"status", 404}}, "14\n", kServerError, "Server Error", Icon::Error, false},
        {"vertxt.ver missing",
         nullptr,
         {{"body", "99"}},
         nullptr,
         kSystemFile,
         "System file is missing",
         Icon::Error,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(install.filePath("vertxt.ver"));
        QFile::remove(install.filePath("csversion.txt"));
        if (c.installed)
            WriteFile("vertxt.ver", c.installed);
        if (c.earlierCopy)
            WriteFile("csversion.txt", c.earlierCopy);
        server.Answer("/csversion.txt", c.answer);
        messages.shown.clear();
        shell.opened.clear();

        CUpdatePage page;
        Check(page);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, c.text);
        EXPECT_EQ(messages.shown[0].caption, c.caption);
        EXPECT_EQ(messages.shown[0].icon, c.icon);
        EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
        EXPECT_EQ(shell.opened, c.opensSite ? QStringList{kWebSite} : QStringList{});
    }
    // The check asks for the version file with the agent name Tessary
    // standing behind the GetWebFile line.
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].path, "/csversion.txt");
    EXPECT_EQ(requests[0].Values("User-Agent"), QStringList{"GetWebFile/1.0"});
}

TEST_F(UpdatePage, DownloadedCopyStaysForTheNextCheck) {
    WriteFile("vertxt.ver", "5\n");
    server.Answer("/csversion.txt", {{"body", "6\n"}});
    CUpdatePage page;
    Check(page);
    QFile copy(install.filePath("csversion.txt"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("6\n"));
}

TEST_F(UpdatePage, NoAnswerIsANetworkError) {
    WriteFile("vertxt.ver", "1");
    for (const QString& where :
         {QStringLiteral("127.0.0.1:%1").arg(ClosedPort()), QStringLiteral("127.0.0.1:99999")}) {
        SCOPED_TRACE(where.toStdString());
        UseServer(where);
        messages.shown.clear();
        CUpdatePage page;
        Check(page);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, kNetworkError);
        EXPECT_EQ(messages.shown[0].caption, "Network Error");
        EXPECT_EQ(messages.shown[0].icon, Icon::Error);
    }
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(UpdatePage, UnwritableCopyShowsTheSystemErrorAndNoResult) {
    WriteFile("vertxt.ver", "1");
    ASSERT_TRUE(QDir(install.path()).mkdir("csversion.txt"));
    server.Answer("/csversion.txt", {{"body", "2"}});
    CUpdatePage page;
    Check(page);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QString::fromLocal8Bit(std::strerror(EISDIR))))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(messages.shown[0].text.contains(install.filePath("csversion.txt")));
    EXPECT_EQ(messages.shown[0].caption, QString()); // the application title
    EXPECT_EQ(messages.shown[0].icon, Icon::Error);
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(UpdatePage, PageStaysLiveWithButtonsOffWhileFetching) {
    WriteFile("vertxt.ver", "1");
    server.Answer("/csversion.txt", {{"silentSeconds", 1}});
    CUpdatePage page;
    QSignalSpy done(&page, &CUpdatePage::VersionCheckFinished);
    page.CheckForNewVersion();
    EXPECT_TRUE(page.IsChecking());
    for (const char* id : {"1191", "1192", "1193"})
        EXPECT_FALSE(page.findChild<QPushButton*>(id)->isEnabled()) << id;
    ASSERT_TRUE(QGuiApplication::overrideCursor());
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // A second press while the first check runs starts nothing.
    page.CheckForNewVersion();

    // The event loop runs (timers fire) while the server keeps quiet.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    ASSERT_TRUE(done.wait(15000));
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(done.count(), 1);
    EXPECT_FALSE(page.IsChecking());
    for (const char* id : {"1191", "1192", "1193"})
        EXPECT_TRUE(page.findChild<QPushButton*>(id)->isEnabled()) << id;
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // The silent server sent nothing: a network error.
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Network Error");
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(UpdatePage, ClosingDuringACheckGivesItUp) {
    WriteFile("vertxt.ver", "1");
    server.Answer("/csversion.txt", {{"silentSeconds", 20}});
    QElapsedTimer t;
    t.start();
    {
        CUpdatePage page;
        page.CheckForNewVersion();
        QTest::qWait(200);
    }
    QCoreApplication::processEvents();
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(UpdatePage, ControlsSitWhereTheDialogPutsThem) {
    CUpdatePage page;
    EXPECT_EQ(page.objectName(), "134");
    EXPECT_EQ(page.palette().color(QPalette::Window), QColor(214, 222, 247));
    struct Control {
        const char* id;
        int x, y, w, h;
        const char* kind;
    } controls[] = {
        {"1182", 3, 57, 316, 57, "QGroupBox"},    {"1191", 167, 70, 142, 18, "QPushButton"},
        {"1192", 13, 92, 142, 18, "QPushButton"}, {"1193", 167, 92, 142, 18, "QPushButton"},
        {"1181", 3, 119, 316, 98, "QGroupBox"},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.id);
        QWidget* w = page.findChild<QWidget*>(c.id);
        ASSERT_TRUE(w);
        EXPECT_STREQ(w->metaObject()->className(), c.kind);
        EXPECT_EQ(w->geometry(),
                  QRect(look::DluX(c.x), look::DluY(c.y), look::DluX(c.w), look::DluY(c.h)));
        EXPECT_FALSE(w->accessibleName().isEmpty());
    }
    for (const char* id : {"1182", "1181"}) {
        auto* box = page.findChild<QGroupBox*>(id);
        EXPECT_TRUE(box->font().bold());
        EXPECT_EQ(box->palette().color(QPalette::WindowText), QColor(0, 0, 169));
    }
    EXPECT_EQ(page.findChild<QWidget*>("1101")->pos(), QPoint(look::DluX(106), look::DluY(184)));
    EXPECT_EQ(page.findChild<QWidget*>("1098")->pos(), QPoint(look::DluX(74), look::DluY(204)));
    for (const char* id : {"1101", "1098"})
        EXPECT_TRUE(page.findChild<QWidget*>(id)->isVisibleTo(&page)) << id;
    for (const char* id : {"1100", "1099"})
        EXPECT_FALSE(page.findChild<QWidget*>(id)->isVisibleTo(&page)) << id;
}

TEST_F(UpdatePage, ButtonsAndLinkOpenTheirPages) {
    CUpdatePage page;
    page.findChild<QPushButton*>("1192")->click();
    page.findChild<QPushButton*>("1193")->click();
    auto* link = page.findChild<QLabel*>("1098");
    emit link->linkActivated(link->text().section('"', 1, 1));
    EXPECT_EQ(shell.opened,
              (QStringList{"http://www.quintrel.org/contactus.htm", kWebSite, kWebSite}));
    EXPECT_EQ(link->toolTip(), kWebSite);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(UpdatePage, EnterAndEscapeDoNothing) {
    QDialog window;
    auto* page = new CUpdatePage(&window);
    QSignalSpy closed(&window, &QDialog::finished);
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(page, &press);
        EXPECT_TRUE(press.isAccepted());
    }
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST(UpdateServer, ComesFromTheEnvironmentWhenSet) {
    struct Case {
        const char* value;
        const char* host;
        quint16 port;
    } cases[] = {
        {"", "update.quintrel.org", 80},
        {"mirror.example", "mirror.example", 80},
        {"127.0.0.1:8080", "127.0.0.1", 8080},
        {"[::1]:81", "::1", 81},
        {"[::1]", "::1", 80},
        {"host:0", "host", 0},
        {"host:http", "host", 0},
        {"host:70000", "host", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        qputenv("QUINTREL_UPDATE_SERVER", c.value);
        const CUpdatePage::Server s = CUpdatePage::UpdateServer();
        EXPECT_EQ(s.host, c.host);
        EXPECT_EQ(s.port, c.port);
    }
    qunsetenv("QUINTREL_UPDATE_SERVER");
}

TEST(VersionNumber, ReadsTheLeadingDecimalNumber) {
    struct Case {
        const char* line;
        int number;
    } cases[] = {
        {"13", 13}, {"13\r\n", 13}, {"  \t7 build 2", 7},     {"1.0.0", 1}, {"abc", 0}, {"", 0},
        {"-3", -3}, {"+4", 4},      {"99999999999", INT_MAX}, {"- 5", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CUpdatePage::VersionNumber(c.line), c.number) << c.line;
}

} // namespace
