#pragma once
// The audio conversion page: the task table and its list, the output folder,
// the action after all conversions, and the batch run. The run is a chain of
// steps on the user-interface thread: a write by the media control, ended by
// its WriteFinished event, then for MP3, Ogg, APE and AAC an outside encoder
// process, watched by timer 333 and by the process's own end.

#include "AudioTask.h"
#include "CFennick.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <set>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace platform {
class Process;
}

class CAudioPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 130;
    static constexpr int IDC_ADD = 1148;
    static constexpr int IDC_REMOVE = 1137;
    static constexpr int IDC_LIST = 1145;
    static constexpr int IDC_OUTPUT = 1120;
    static constexpr int IDC_BROWSE = 1121;
    static constexpr int IDC_AFTER = 1143;
    static constexpr int IDC_TASK_BAR = 1116;
    static constexpr int IDC_BATCH_BAR = 1117;
    static constexpr int IDC_START = 1111;
    static constexpr int IDC_CANCEL = 1115;
    static constexpr int IDC_CONTROL = 1170;
    static constexpr int IDR_ADD_MENU = 223;
    static constexpr int ID_ADD_FILE = 32782;
    static constexpr int ID_ADD_FOLDER = 32783;
    static constexpr int kPollTimer = 333;
    static constexpr int kPollPeriod = 2000;
    static constexpr int kMaxFolderFiles = 4095;

    explicit CAudioPage(QWidget* parent = nullptr);
    ~CAudioPage() override;

    // Page commands.
    void OnAddFile();
    void OnAddFolder();
    void OnRemove();
    void OnOpenSource();
    void OnBrowseOutput();
    void OnStart();
    void OnCancel();
    void OnTimer(int id);
    void OnWriteFinished();

    // What the dialogs and tests read.
    AudioTaskTable& Tasks() { return table_; }
    const QStringList& FolderFiles() const { return folderFiles_; }
    CFennick& Media() { return media_; }
    QTreeWidget* List() const { return list_; }
    QLineEdit* OutputEdit() const { return output_; }
    QComboBox* AfterAll() const { return after_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* CancelButton() const { return cancel_; }
    QProgressBar* TaskBar() const { return taskBar_; }
    QProgressBar* BatchBar() const { return batchBar_; }
    QMenu* AddMenu() const { return addMenu_; }
    bool IsRunning() const { return running_; }
    const QTimer& PollTimer() const { return poll_; }
    QString PolledFile() const { return polledFile_; }
    // The command line of the encoder started last.
    QString LastEncoderCommand() const { return lastCommand_; }
    int RunCount() const { return static_cast<int>(run_.size()); }

    // Lists a folder the way the add-folder command does: the bare names of
    // its entries with a supported extension, at most kMaxFolderFiles.
    // overflow is set when the folder held more supported names.
    static QStringList SupportedNamesIn(const QString& folder, bool* overflow = nullptr);

private:
    void AppendRow(int slot);
    void SetIdle(bool idle);
    void StartTask();
    void StartEncoder();
    void FailTask(const QString& reason);
    void EndOfTask();
    void FinishBatch();
    void RemoveTemporaryFiles();
    void SetBusy();
    void ResetTaskBar();

    AudioTaskTable table_;
    QStringList folderFiles_;
    CFennick media_;

    // The run.
    std::vector<AudioTask> run_;
    int current_ = 0;
    bool running_ = false;
    bool writing_ = false;
    bool encoderPending_ = false;
    bool cancelRequested_ = false;
    QString polledFile_;
    QString output_file_;
    QString lastCommand_;
    QTimer poll_;
    std::unique_ptr<platform::Process> encoder_;
    // Files of this run's sources (device, inode): never written over.
    std::set<std::pair<unsigned long long, unsigned long long>> sources_;
    std::vector<std::pair<QString, QString>> failures_; // source, reason

    QToolButton* add_;
    QMenu* addMenu_;
    QPushButton* remove_;
    QTreeWidget* list_;
    QLineEdit* output_;
    QToolButton* browse_;
    QComboBox* after_;
    QProgressBar* taskBar_;
    QProgressBar* batchBar_;
    QPushButton* start_;
    QPushButton* cancel_;
};
