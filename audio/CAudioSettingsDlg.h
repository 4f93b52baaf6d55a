#pragma once
// Every audio task is born here: the user picks a file (or the page has
// picked a folder), chooses the output format and its parameters, and OK
// appends one task per file to the page's task table.

#include "AudioTask.h"

#include <QDialog>
#include <QStringList>

class CFennick;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class CAudioSettingsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 188;
    static constexpr int IDC_SOURCE = 1150;
    static constexpr int IDC_BROWSE = 1121;
    static constexpr int IDC_FORMAT = 1110;
    static constexpr int IDC_WAV_CHANNELS = 1176;
    static constexpr int IDC_WAV_RATE = 1177;
    static constexpr int IDC_WAV_SIZE = 1178;
    static constexpr int IDC_MP3_BITRATE = 1180;
    static constexpr int IDC_MP3_RATE = 1179;
    static constexpr int IDC_MP3_MODE = 1184;
    static constexpr int IDC_MP3_VBR = 1185;
    static constexpr int IDC_WMA_PROFILE = 1157;
    static constexpr int IDC_OGG_QUALITY = 1186;
    static constexpr int IDC_OGG_RATE = 1187;
    static constexpr int IDC_OGG_CHANNELS = 1188;
    static constexpr int IDC_APE_LEVEL = 1211;
    static constexpr int IDC_AAC = 1256;
    static constexpr int IDC_GROUP_WAV = 1183;
    static constexpr int IDC_GROUP_MP3 = 1182;
    static constexpr int IDC_GROUP_WMA = 1181;
    static constexpr int IDC_GROUP_OGG = 1189;
    static constexpr int IDC_GROUP_APE = 1212;
    static constexpr int IDC_GROUP_AAC = 1257;
    static constexpr int IDC_HINT = 1208;
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    static const QString kFileFilter;

    // folderFiles is the page's folder file list, read in folder mode.
    CAudioSettingsDlg(CFennick& media, AudioTaskTable& table, const QStringList& folderFiles,
                      QWidget* parent = nullptr);

    void SetFolderMode(const QString& folderPath);
    bool IsFolderMode() const { return folderMode_; }

    int DoModal();
    void OnInitDialog();
    void OnBrowse();
    void OnFormatChanged();
    void OnMp3BitrateChanged();
    void OnMp3VbrChanged();
    void OnAacChanged();
    void OnOK();

    // The number of tasks the last OK appended.
    int Appended() const { return appended_; }
    QString AacSettingText() const { return aacText_; }

    QComboBox* Combo(int id) const;
    QLineEdit* SourceEdit() const { return source_; }
    QToolButton* BrowseButton() const { return browse_; }

private:
    QComboBox* AddCombo(int id, const QString& label, const QStringList& entries, int selected,
                        class QGridLayout* grid, int row);
    AudioTask TaskFromSettings() const;

    CFennick& media_;
    AudioTaskTable& table_;
    const QStringList& folderFiles_;
    bool folderMode_ = false;
    QString folderPath_;
    QString aacText_;
    int appended_ = 0;

    QLineEdit* source_;
    QToolButton* browse_;
    QComboBox* format_;
    QComboBox *wavChannels_, *wavRate_, *wavSize_;
    QComboBox *mp3Bitrate_, *mp3Rate_, *mp3Mode_, *mp3Vbr_;
    QComboBox* wmaProfile_;
    QComboBox *oggQuality_, *oggRate_, *oggChannels_;
    QComboBox* apeLevel_;
    QComboBox* aac_;
    QLabel* hint_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
