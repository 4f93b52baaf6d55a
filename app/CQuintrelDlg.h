#pragma once
// The main window: a banner with rotating slogans above the four pages.

#include <QDialog>
#include <QFont>
#include <QTimer>

class QLabel;
class CPageTabCtrl;

class CQuintrelDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 102;
    static constexpr int IDC_BANNER = 1097;
    static constexpr int kSloganTimer = 1000;
    static constexpr int kSloganPeriodMs = 6000;
    static const char* const kTabTexts[4];
    static const char* const kOpeningText;
    static const char* const kSlogans[3];

    explicit CQuintrelDlg(QWidget* parent = nullptr);

    void OnTimer(int id);
    // Switches to the page whose tab reads text, as a click on it would.
    bool ShowPageByTabText(const QString& text);

    QLabel* Banner() const { return banner_; }
    CPageTabCtrl* Tabs() const { return tabs_; }
    const QTimer& SloganTimer() const { return sloganTimer_; }

private:
    void OnInitDialog();
    void SetCaption(const QString& text);

    QLabel* banner_;
    CPageTabCtrl* tabs_;
    QFont bannerFont_;
    QTimer sloganTimer_;
    int sloganCounter_ = 0; // 0, 1, 2; touched only by the slogan timer
};
