#pragma once
// The update page: checks the web server for a newer version, opens the
// support contact page and the web site, and shows the about area.

#include <QString>
#include <QWidget>

#include <atomic>
#include <thread>

class QLabel;
class QPushButton;

class CUpdatePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 134;
    // Controls, by their dialog ids.
    static constexpr int IDC_ACTIONS_GROUP = 1182;
    static constexpr int IDC_CHECK_VERSION = 1191;
    static constexpr int IDC_SUPPORT = 1192;
    static constexpr int IDC_WEB_SITE = 1193;
    static constexpr int IDC_ABOUT_GROUP = 1181;
    static constexpr int IDC_PRODUCT_NAME = 1101;
    static constexpr int IDC_SITE_LINK = 1098;
    static constexpr int IDC_SITE_LINK_HIDDEN = 1100;
    static constexpr int IDC_HIDDEN_LABEL = 1099;
    // Pictures of the about area.
    static constexpr int IDB_PRODUCT = 225;
    static constexpr int IDR_MAINFRAME = 128;

    // The version file on the server and its local copy, and the file the
    // installation writes, both in InstallDir.
    static constexpr const char* kServerVersionFile = "csversion.txt";
    static constexpr const char* kInstalledVersionFile = "vertxt.ver";
    static constexpr const char* kAgent = "Tessary";

    struct Server {
        QString host;
        quint16 port = 0;
    };
    // The update server: QUINTREL_UPDATE_SERVER ("host", "host:port",
    // "[v6]:port") when set, else the built-in one on port 80. A port that
    // is no number from 1 to 65535 reads as 0, which no fetch accepts.
    static Server UpdateServer();
    // A version number from the first line of a version file: leading
    // blanks skipped, an optional sign and the digits that follow; 0 when
    // the line does not begin with a number.
    static int VersionNumber(const QByteArray& line);

    explicit CUpdatePage(QWidget* parent = nullptr);
    ~CUpdatePage() override;

    // Button 1191. The fetch runs on a worker thread with the buttons off
    // and a busy cursor; the result boxes follow on the UI thread, after
    // which VersionCheckFinished is emitted.
    void CheckForNewVersion();
    bool IsChecking() const { return busy_; }
    // Button 1192: the support contact page; button 1193: the web site.
    void OnSupport();
    void OnWebSite();
    // Enter and Escape do nothing on the page.
    void OnOK() {}
    void OnCancel() {}

signals:
    void VersionCheckFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnFetchDone(int result, const QString& fileError);
    void CompareVersions(int result);
    void SetBusy(bool busy);
    void ShowProgramIcon();

    QPushButton* checkButton_ = nullptr;
    QPushButton* supportButton_ = nullptr;
    QPushButton* siteButton_ = nullptr;
    QLabel* icon_ = nullptr;

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool busy_ = false;
};
