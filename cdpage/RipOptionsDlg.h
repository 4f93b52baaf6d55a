#pragma once
// The MP3 and Ogg rip option dialogs: lists whose positions go to the CD
// control unchanged. OK stores the selections into the rip settings; Cancel
// leaves them as they were.

#include "RipOptions.h"

#include <QDialog>

class QComboBox;
class QPushButton;

class CMp3OptionsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 155;
    static constexpr int IDC_BITRATE = 1123;
    static constexpr int IDC_CHANNELS = 1124;
    static constexpr int IDC_QUALITY = 1125;
    static constexpr int IDC_VBR_MODE = 1126;
    static constexpr int IDC_VBR_QUALITY = 1127;
    static constexpr int IDC_SAMPLE_RATE = 1128;
    static constexpr int IDC_DEFAULT = 1129;

    explicit CMp3OptionsDlg(RipOptions& options, QWidget* parent = nullptr);

    void OnOK();
    void OnCancel();
    void OnDefault();
    void OnVbrModeChanged();

    QComboBox* Bitrate() const { return bitrate_; }
    QComboBox* Channels() const { return channels_; }
    QComboBox* Quality() const { return quality_; }
    QComboBox* VbrMode() const { return vbrMode_; }
    QComboBox* VbrQuality() const { return vbrQuality_; }
    QComboBox* SampleRate() const { return sampleRate_; }

private:
    RipOptions& options_;
    QComboBox *bitrate_, *channels_, *quality_, *vbrMode_, *vbrQuality_, *sampleRate_;
};

class COggOptionsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 156;
    static constexpr int IDC_MIN = 1130;
    static constexpr int IDC_NOM = 1131;
    static constexpr int IDC_MAX = 1132;
    static constexpr int IDC_CHANNELS = 1133;
    static constexpr int IDC_SAMPLE_RATE = 1134;
    static constexpr int IDC_DEFAULT = 1129;

    explicit COggOptionsDlg(RipOptions& options, QWidget* parent = nullptr);

    void OnOK();
    void OnCancel();
    void OnDefault();

    QComboBox* Minimum() const { return min_; }
    QComboBox* Nominal() const { return nom_; }
    QComboBox* Maximum() const { return max_; }
    QComboBox* Channels() const { return channels_; }
    QComboBox* SampleRate() const { return sampleRate_; }

private:
    RipOptions& options_;
    QComboBox *min_, *nom_, *max_, *channels_, *sampleRate_;
};
