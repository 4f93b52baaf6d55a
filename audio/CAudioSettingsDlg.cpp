#include "CAudioSettingsDlg.h"

#include "CAudioClipDlg.h"
#include "CFennick.h"
#include "CKSFileDialog.h"
#include "Look.h"
#include "Numbers.h"
#include "Services.h"
#include "TaskLimits.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

const QString CAudioSettingsDlg::kFileFilter = QStringLiteral(
    "All Audio/Video "
    "Formats|*.mp4;*.3gp;*.sdp;*.yuv;*.MP4;*.3GP;*.SDP;*.YUV;*.AAC;*.aac;*.qt;*.QT;*.ape;*.APE;*."
    "mov;*.MOV;*.ogg;*.OGG;*.ac3;*.AC3;*.vob;*.VOB;*.mp3;*.MP3;*.wav;*.WAV;*.wma;*.WMA;*.avi;*.AVI;"
    "*.mpg;*.MPG;*.mpeg;*.MPEG;*.dat;*.DAT;*.wmv;*.WMV;*.asf;*.ASF;*.rm;*.RM;*.rmvb;*.RMVB;*.rma;*."
    "RMA;*.ram;*.RAM|(MP3 files)|*.mp3;*.MP3|(WAV files)|*.wav;*.WAV|(OGG files)|*.ogg;*.OGG|(APE "
    "files)|*.ape;*.APE|(Dolby AC3 files)|*.AC3;*.ac3|(AAC files)|*.AAC;*.aac|(WMA "
    "files)|*.wma;*.WMA|(Extract audio from AVI files)|*.AVI;*.avi|(Extract audio from MPG "
    "files)|*.mpg;*.MPG;*.mpeg;*.MPEG|(Extract audio from VCD files)|*.dat;*.DAT|(Extract audio "
    "from WMV files)|*.wmv;*.WMV|(Extract audio from ASF files)|*.asf;*.ASF|(Extract audio from "
    "Real files)|*.rmvb;*.RMVB;*.rm;*.RM;*.RMA;*.rma;*.ram;*.RAM|(Extract audio from QuickTime "
    "files)|*.qt;*.QT;*.mov;*.MOV|(Extract audio from DVD/VOB files)|*.vob;*.VOB|(Extract audio "
    "from 3GPP/MP4/SDP/YUV files)|*.mp4;*.3gp;*.sdp;*.yuv;*.MP4;*.3GP;*.SDP;*.YUV||");

namespace {

const QStringList kWavRates = {"8000",  "11025", "12000", "16000", "22050",
                               "24000", "32000", "44100", "48000"};

void Name(QWidget* w, int id, const QString& accessible) {
    w->setObjectName(QString::number(id));
    w->setAccessibleName(accessible);
}

QGroupBox* Group(QWidget* parent, int id, const QString& title) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::number(id));
    QPalette p = g->palette();
    p.setColor(QPalette::WindowText, look::GroupCaptionColour());
    g->setPalette(p);
    g->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; color: rgb(0, 0, 169); }"));
    return g;
}

} // namespace

CAudioSettingsDlg::CAudioSettingsDlg(CFennick& media, AudioTaskTable& table,
                                     const QStringList& folderFiles, QWidget* parent)
    : QDialog(parent), media_(media), table_(table), folderFiles_(folderFiles) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("Audio Output Settings"));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);

    auto* top = new QVBoxLayout(this);

    auto* sourceRow = new QHBoxLayout;
    auto* sourceLabel = new QLabel(QStringLiteral("Source file:"), this);
    source_ = new QLineEdit(this);
    source_->setReadOnly(true);
    Name(source_, IDC_SOURCE, QStringLiteral("Source file"));
    sourceLabel->setBuddy(source_);
    browse_ = new QToolButton(this);
    browse_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse_->setIconSize(QSize(16, 16));
    browse_->setToolTip(QStringLiteral("Browse"));
    Name(browse_, IDC_BROWSE, QStringLiteral("Browse"));
    sourceRow->addWidget(sourceLabel);
    sourceRow->addWidget(source_, 1);
    sourceRow->addWidget(browse_);
    top->addLayout(sourceRow);

    auto* formatRow = new QHBoxLayout;
    auto* formatLabel = new QLabel(QStringLiteral("Output format:"), this);
    format_ = new QComboBox(this);
    format_->addItems(
        {"WAV Format", "MP3 Format", "WMA Format", "OGG Format", "APE Format", "AAC Format"});
    Name(format_, IDC_FORMAT, QStringLiteral("Output format"));
    formatLabel->setBuddy(format_);
    formatRow->addWidget(formatLabel);
    formatRow->addWidget(format_, 1);
    top->addLayout(formatRow);

    auto* groups = new QGridLayout;
    top->addLayout(groups);

    QGroupBox* wav = Group(this, IDC_GROUP_WAV, QStringLiteral("WAV"));
    auto* wavGrid = new QGridLayout(wav);
    wavChannels_ =
        AddCombo(IDC_WAV_CHANNELS, QStringLiteral("Channels"), {"Mono", "Stereo"}, 1, wavGrid, 0);
    wavRate_ = AddCombo(IDC_WAV_RATE, QStringLiteral("Sample rate"), kWavRates, 7, wavGrid, 1);
    wavSize_ =
        AddCombo(IDC_WAV_SIZE, QStringLiteral("Sample size"), {"8 Bit", "16 Bit"}, 1, wavGrid, 2);
    groups->addWidget(wav, 0, 0);

    QGroupBox* mp3 = Group(this, IDC_GROUP_MP3, QStringLiteral("MP3"));
    auto* mp3Grid = new QGridLayout(mp3);
    mp3Bitrate_ = AddCombo(IDC_MP3_BITRATE, QStringLiteral("Bitrate (kbps)"),
                           {"8", "16", "24", "32", "40", "48", "56", "64", "80", "96", "112", "128",
                            "144", "160", "192", "224", "256", "320"},
                           11, mp3Grid, 0);
    mp3Rate_ = AddCombo(IDC_MP3_RATE, QStringLiteral("Sample rate"), kWavRates, 7, mp3Grid, 1);
    mp3Mode_ = AddCombo(IDC_MP3_MODE, QStringLiteral("Channel mode"),
                        {"Stereo", "Joint Stereo", "Mono"}, 0, mp3Grid, 2);
    mp3Vbr_ =
        AddCombo(IDC_MP3_VBR, QStringLiteral("VBR"), {"Disable", "VBR Default"}, 0, mp3Grid, 3);
    groups->addWidget(mp3, 0, 1);

    QGroupBox* wma = Group(this, IDC_GROUP_WMA, QStringLiteral("WMA"));
    auto* wmaGrid = new QGridLayout(wma);
    wmaProfile_ = AddCombo(IDC_WMA_PROFILE, QStringLiteral("Profile"), {}, -1, wmaGrid, 0);
    groups->addWidget(wma, 1, 0, 1, 2);

    QGroupBox* ogg = Group(this, IDC_GROUP_OGG, QStringLiteral("OGG"));
    auto* oggGrid = new QGridLayout(ogg);
    oggQuality_ =
        AddCombo(IDC_OGG_QUALITY, QStringLiteral("Quality"),
                 {"Low", "Normal", "Better", "Very good", "Excellent", "Best"}, 1, oggGrid, 0);
    oggRate_ = AddCombo(IDC_OGG_RATE, QStringLiteral("Sample rate"),
                        {"6000", "8000", "11025", "12000", "16000", "22050", "24000", "32000",
                         "44100", "48000", "96000"},
                        8, oggGrid, 1);
    oggChannels_ =
        AddCombo(IDC_OGG_CHANNELS, QStringLiteral("Channels"), {"Stereo", "Mono"}, 0, oggGrid, 2);
    // The channel list is kept for the task but never shown.
    oggChannels_->hide();
    if (auto* label = qobject_cast<QLabel*>(oggGrid->itemAtPosition(2, 0)->widget()))
        label->hide();
    groups->addWidget(ogg, 2, 0);

    QGroupBox* ape = Group(this, IDC_GROUP_APE, QStringLiteral("APE"));
    auto* apeGrid = new QGridLayout(ape);
    apeLevel_ =
        AddCombo(IDC_APE_LEVEL, QStringLiteral("Compression"),
                 {"Fast(Big files)", "Normal", "Slow", "Slowest(Small file)"}, 1, apeGrid, 0);
    groups->addWidget(ape, 2, 1);

    QGroupBox* aacBox = Group(this, IDC_GROUP_AAC, QStringLiteral("AAC"));
    auto* aacGrid = new QGridLayout(aacBox);
    aac_ = AddCombo(IDC_AAC, QStringLiteral("Bitrate"),
                    {"CBR 32 kbps",
                     "CBR 40 kbps",
                     "CBR 48 kbps",
                     "CBR 56 kbps",
                     "CBR 64 kbps",
                     "CBR 80 kbps",
                     "CBR 96 kbps",
                     "CBR 112 kbps",
                     "CBR 128 kbps",
                     "CBR 144 kbps",
                     "CBR 160 kbps",
                     "CBR 192 kbps",
                     "CBR 224 kbps",
                     "CBR 256 kbps",
                     "CBR 320 kbps",
                     "CBR 448 kbps",
                     "VBR tape(lowest)",
                     "VBR radio(low)",
                     "VBR internet(medium)",
                     "VBR streaming(medium)",
                     "VBR normal(high)",
                     "VBR extreme(high)",
                     "VBR audiophile(higest)",
                     "VBR transcoding(ultra)"},
                    20, aacGrid, 0);
    groups->addWidget(aacBox, 3, 0, 1, 2);

    hint_ = new QLabel(QStringLiteral("Supported sources: MP3, WAV, OGG, APE, AAC, AC3, WMA, and "
                                      "the sound of AVI, MPEG, VCD, WMV, ASF, Real, QuickTime, "
                                      "DVD/VOB and MP4/3GP files."),
                       this);
    hint_->setObjectName(QString::number(IDC_HINT));
    hint_->setWordWrap(true);
    QPalette hp = hint_->palette();
    hp.setColor(QPalette::WindowText, look::GroupCaptionColour());
    hint_->setPalette(hp);
    top->addWidget(hint_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    Name(ok_, IDOK, QStringLiteral("OK"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    Name(cancel_, IDCANCEL, QStringLiteral("Cancel"));
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    top->addLayout(buttons);

    connect(browse_, &QToolButton::clicked, this, &CAudioSettingsDlg::OnBrowse);
    connect(format_, &QComboBox::activated, this, &CAudioSettingsDlg::OnFormatChanged);
    connect(mp3Bitrate_, &QComboBox::activated, this, &CAudioSettingsDlg::OnMp3BitrateChanged);
    connect(mp3Vbr_, &QComboBox::activated, this, &CAudioSettingsDlg::OnMp3VbrChanged);
    connect(aac_, &QComboBox::activated, this, &CAudioSettingsDlg::OnAacChanged);
    connect(ok_, &QPushButton::clicked, this, &CAudioSettingsDlg::OnOK);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox* CAudioSettingsDlg::AddCombo(int id, const QString& label, const QStringList& entries,
                                       int selected, QGridLayout* grid, int row) {
    auto* l = new QLabel(label + QLatin1Char(':'), this);
    auto* c = new QComboBox(this);
    c->addItems(entries);
    c->setCurrentIndex(selected);
    Name(c, id, label);
    l->setBuddy(c);
    grid->addWidget(l, row, 0);
    grid->addWidget(c, row, 1);
    return c;
}

QComboBox* CAudioSettingsDlg::Combo(int id) const {
    return findChild<QComboBox*>(QString::number(id));
}

void CAudioSettingsDlg::SetFolderMode(const QString& folderPath) {
    folderMode_ = true;
    folderPath_ = folderPath;
}

int CAudioSettingsDlg::DoModal() {
    OnInitDialog();
    return platform::RunDialog(*this);
}

void CAudioSettingsDlg::OnInitDialog() {
    wmaProfile_->clear();
    const CFennickProfiles profiles = media_.GetMediaProfiles();
    const short count = profiles.GetCount();
    for (short i = 0; i < count; ++i) {
        const QString name = profiles.NameAt(i);
        if (name.contains(QLatin1String("Audio")))
            wmaProfile_->addItem(name, i);
    }
    if (wmaProfile_->count() > 0)
        wmaProfile_->setCurrentIndex(wmaProfile_->count() - 1);

    OnFormatChanged();
    OnAacChanged();

    if (folderMode_) {
        source_->setText(folderPath_);
        browse_->setEnabled(false);
        source_->setEnabled(false);
    } else {
        OnBrowse();
    }
}

void CAudioSettingsDlg::OnBrowse() {
    CKSFileDialog dlg(true, QStringLiteral("fn2"), QString(), kFileFilter, this);
    dlg.SetWindowToDisable(QApplication::activeWindow());
    dlg.SetTitle(QStringLiteral("Please select an audio/video file to convert:"));
    dlg.SetFilterIndex(1);
    if (dlg.DoModal() == 1)
        source_->setText(dlg.GetPathName());
    else
        source_->clear();
}

void CAudioSettingsDlg::OnFormatChanged() {
    const int f = format_->currentIndex();
    for (QComboBox* c : {wavChannels_, wavRate_, wavSize_})
        c->setEnabled(f == kFormatWav);
    for (QComboBox* c : {mp3Bitrate_, mp3Rate_, mp3Mode_, mp3Vbr_})
        c->setEnabled(f == kFormatMp3);
    wmaProfile_->setEnabled(f == kFormatWma);
    for (QComboBox* c : {oggQuality_, oggRate_, oggChannels_})
        c->setEnabled(f == kFormatOgg);
    apeLevel_->setEnabled(f == kFormatApe);
    aac_->setEnabled(f == kFormatAac);
}

void CAudioSettingsDlg::OnMp3BitrateChanged() {
    mp3Rate_->setCurrentText(mp3Bitrate_->currentText() == QLatin1String("8")
                                 ? QStringLiteral("24000")
                                 : QStringLiteral("44100"));
}

void CAudioSettingsDlg::OnMp3VbrChanged() {
    mp3Bitrate_->setEnabled(mp3Vbr_->currentIndex() == 0);
}

void CAudioSettingsDlg::OnAacChanged() {
    const int pos = aac_->currentIndex();
    if (pos >= 16) {
        aacText_ = QString::number(pos);
    } else {
        aacText_ = aac_->currentText();
        aacText_.remove(QStringLiteral("CBR "));
        aacText_.remove(QStringLiteral(" kbps"));
    }
}

AudioTask CAudioSettingsDlg::TaskFromSettings() const {
    AudioTask t;
    t.format = format_->currentIndex();
    t.wavChannels = wavChannels_->currentIndex();
    t.wavSampleSize = wavSize_->currentIndex();
    t.wavSampleRatePos = wavRate_->currentIndex();
    t.wavSampleRate = LeadingInteger(wavRate_->currentText());
    t.mp3Bitrate = LeadingInteger(mp3Bitrate_->currentText());
    t.mp3SampleRate = LeadingInteger(mp3Rate_->currentText());
    t.mp3ChannelMode = mp3Mode_->currentIndex();
    t.mp3Vbr = mp3Vbr_->currentIndex();
    t.wmaProfile = wmaProfile_->currentIndex() >= 0 ? wmaProfile_->currentData().toInt() : -1;
    t.oggQuality = oggQuality_->currentIndex();
    t.oggSampleRate = LeadingInteger(oggRate_->currentText());
    t.oggChannels = oggChannels_->currentIndex();
    t.apeLevel = apeLevel_->currentIndex();
    t.aacSetting = LeadingInteger(aacText_);
    return t;
}

void CAudioSettingsDlg::OnOK() {
    appended_ = 0;
    if (source_->text().isEmpty()) {
        platform::messages().Show(QStringLiteral("Please select a media file to convert."),
                                  QStringLiteral("Task list is empty"), platform::Icon::Error);
        return;
    }
    const AudioTask settings = TaskFromSettings();
    if (folderMode_) {
        if (folderFiles_.size() > table_.FreeSlots()) {
            audio::ShowTableFull(table_.FreeSlots());
            reject();
            return;
        }
        for (const QString& name : folderFiles_) {
            AudioTask t = settings;
            t.sourcePath = folderPath_.endsWith(QLatin1Char('/'))
                               ? folderPath_ + name
                               : folderPath_ + QLatin1Char('/') + name;
            table_.Append(t);
            ++appended_;
        }
        accept();
        return;
    }
    if (table_.FreeSlots() == 0) {
        audio::ShowTableFull(0);
        reject();
        return;
    }
    const QString file = source_->text();
    if (media_.QueryDuration(file) <= 0) {
        platform::messages().Show(
            QStringLiteral("Can't support the audio file that you have just imported! Please "
                           "specify another audio file."),
            QString(), platform::Icon::None);
        return;
    }
    hide();
    CAudioClipDlg clip(media_, parentWidget());
    clip.sourcePath = file;
    clip.DoModal();
    AudioTask t = settings;
    t.sourcePath = file;
    t.clipStart = clip.startText;
    t.clipStop = clip.stopText;
    table_.Append(t);
    appended_ = 1;
    accept();
}
