#pragma once
// The CD ripping page: drive and track choice, play controls, the rip list,
// the output format with its options and the output folder. A run turns
// each rip-list entry into one request to the hosted CD control and starts
// the next when the control reports the end of a rip.

#include "CTrakkon.h"
#include "RipOptions.h"

#include "ControlHost.h"

#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QDialog;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class CCDPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 132;
    static constexpr int IDC_DRIVES = 1118;
    static constexpr int IDC_REFRESH = 1119;
    static constexpr int IDC_TRACKS = 1104;
    static constexpr int IDC_PLAY = 1105;
    static constexpr int IDC_PAUSE = 1106;
    static constexpr int IDC_STOP = 1107;
    static constexpr int IDC_ADD = 1108;
    static constexpr int IDC_REMOVE = 1088;
    static constexpr int IDC_RIP_LIST = 1109;
    static constexpr int IDC_FORMAT = 1110;
    static constexpr int IDC_ADVANCED = 1112;
    static constexpr int IDC_OUTPUT = 1120;
    static constexpr int IDC_BROWSE = 1121;
    static constexpr int IDC_START = 1111;
    static constexpr int IDC_CANCEL = 1115;
    static constexpr int IDC_TRACK_BAR = 1116;
    static constexpr int IDC_LIST_BAR = 1117;
    static constexpr int IDC_RIP_HELP = 1209;
    static constexpr int IDC_CONTROL = 1103;
    static constexpr int kRipQueueSize = 4095;

    explicit CCDPage(QWidget* parent = nullptr);
    ~CCDPage() override;

    // Command handlers.
    void OnStart();
    void OnRefresh();
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnAdd();
    void OnRemove();
    void OnBrowse();
    void OnCancel();
    void OnAdvanced();
    void OnRipHelp();
    // The control's events, on the user-interface thread.
    void OnCDRomStatus(bool ready);
    void OnRipping(short percent);
    void OnEndRip();
    void OnRipFailed(int why);

    CTrakkon& Trakkon() { return trakkon_; }
    bool HasControl() const { return host_.IsCreated(); }
    bool IsRunning() const { return running_; }
    bool RefreshPending() const { return refreshPending_; }
    const QString& LastHelpText() const { return lastHelp_; }
    QComboBox* Drives() const { return drives_; }
    QListWidget* TrackList() const { return tracks_; }
    QListWidget* RipList() const { return ripList_; }
    QComboBox* Format() const { return format_; }
    QLineEdit* OutputEdit() const { return output_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* CancelButton() const { return cancel_; }
    QProgressBar* TrackBar() const { return trackBar_; }
    QProgressBar* ListBar() const { return listBar_; }
    // The controls disabled while a run goes on.
    std::vector<QWidget*> RunningSet() const;

private:
    void FillTrackList();
    void SetRunning(bool running);
    void StartRequest();
    void OnControlEvent(automation::DISPID id, const std::vector<automation::Variant>& args);

    platform::ControlHost host_;
    CTrakkon trakkon_;
    std::vector<int> ripQueue_;
    int queueCount_ = 0;
    int queuePos_ = 0;
    bool refreshPending_ = false;
    bool running_ = false;
    QString lastHelp_;

    QComboBox* drives_;
    QPushButton* refresh_;
    QListWidget* tracks_;
    QPushButton *play_, *pause_, *stop_, *add_, *remove_;
    QListWidget* ripList_;
    QComboBox* format_;
    QPushButton* advanced_;
    QLineEdit* output_;
    QPushButton *browse_, *start_, *cancel_, *help_;
    QProgressBar *trackBar_, *listBar_;
    QPushButton *hiddenOk_, *hiddenCancel_;
};
