#pragma once
// Limits an added file to a clip between a start and a stop time in seconds.

#include <QDialog>

class CFennick;
class QLineEdit;
class QPushButton;
class QToolButton;

class CAudioClipDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 204;
    static constexpr int IDC_TOTAL = 1251;
    static constexpr int IDC_START = 1248;
    static constexpr int IDC_STOP = 1249;
    static constexpr int IDC_PREVIEW = 1245;
    static constexpr int IDC_TIPS = 1243;
    static constexpr int IDOK = 1;

    CAudioClipDlg(CFennick& media, QWidget* parent = nullptr);

    // Set before the dialog runs.
    QString sourcePath;
    // Results: the accepted times as typed; empty unless OK succeeded.
    QString startText;
    QString stopText;

    int DoModal();
    void OnInitDialog();
    void OnOK();
    void OnPreview();
    void OnTips();

    QLineEdit* TotalEdit() const { return total_; }
    QLineEdit* StartEdit() const { return start_; }
    QLineEdit* StopEdit() const { return stop_; }

private:
    CFennick& media_;
    QLineEdit* total_;
    QLineEdit* start_;
    QLineEdit* stop_;
    QToolButton* preview_;
    QToolButton* tips_;
    QPushButton* ok_;
};
