#include "RipOptionsDlg.h"

#include "Look.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

RipOptions& TheRipOptions() {
    static RipOptions options;
    return options;
}

namespace {

QComboBox* MakeList(QWidget* parent, int id, const QString& label, const QStringList& entries) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::number(id));
    box->setAccessibleName(label);
    box->addItems(entries);
    return box;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::number(id));
    b->setAccessibleName(text);
    return b;
}

// OK, Cancel and Default in a row under the lists.
void LayOut(QDialog* dlg, QFormLayout* form, QPushButton* ok, QPushButton* cancel,
            QPushButton* def) {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(def);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* v = new QVBoxLayout(dlg);
    v->addLayout(form);
    v->addLayout(buttons);
    ok->setDefault(true);
}

int Number(const QComboBox* box) {
    return box->currentText().trimmed().toInt();
}

} // namespace

CMp3OptionsDlg::CMp3OptionsDlg(RipOptions& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("MP3 Settings"));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);
    bitrate_ = MakeList(this, IDC_BITRATE, QStringLiteral("Bitrate"),
                        {"  8 bps", " 16 bps", " 24 bps", " 32 bps", " 40 bps", " 48 bps",
                         " 56 bps", " 64 bps", " 80 bps", " 96 bps", "112 bps", "128 bps",
                         "144 bps", "160 bps", "192 bps", "224 bps", "256 bps", "320 bps"});
    channels_ = MakeList(this, IDC_CHANNELS, QStringLiteral("Channels"),
                         {"Stereo", "Joint Stereo", "Dual Channel", "Mono"});
    quality_ = MakeList(this, IDC_QUALITY, QStringLiteral("Quality"),
                        {"Normal", "Low", "High", "Voice", "R3Mix", "Very High", "Standard",
                         "Fast Standard", "Extreme", "Fast Extreme", "Insane"});
    vbrMode_ = MakeList(this, IDC_VBR_MODE, QStringLiteral("VBR mode"),
                        {"Disabled", "VBR Default", "VBR Old", "VBR New", "VBR MTRH"});
    vbrQuality_ = MakeList(this, IDC_VBR_QUALITY, QStringLiteral("VBR quality"),
                           {"VBR 5", "VBR 6", "VBR 7", "VBR 8", "VBR 9"});
    sampleRate_ =
        MakeList(this, IDC_SAMPLE_RATE, QStringLiteral("Sample rate"),
                 {"8000", "11025", "12000", "16000", "22050", "24000", "32000", "44100", "48000"});
    quality_->hide();
    vbrQuality_->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Bitrate:"), bitrate_);
    form->addRow(QStringLiteral("Channels:"), channels_);
    form->addRow(QStringLiteral("VBR mode:"), vbrMode_);
    form->addRow(QStringLiteral("Sample rate:"), sampleRate_);
    auto* ok = MakeButton(this, 1, QStringLiteral("OK"));
    auto* cancel = MakeButton(this, 2, QStringLiteral("Cancel"));
    auto* def = MakeButton(this, IDC_DEFAULT, QStringLiteral("Default"));
    LayOut(this, form, ok, cancel, def);
    connect(ok, &QPushButton::clicked, this, &CMp3OptionsDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CMp3OptionsDlg::OnCancel);
    connect(def, &QPushButton::clicked, this, &CMp3OptionsDlg::OnDefault);
    connect(vbrMode_, &QComboBox::activated, this, &CMp3OptionsDlg::OnVbrModeChanged);

    bitrate_->setCurrentIndex(options_.mp3Bitrate);
    channels_->setCurrentIndex(options_.mp3Channels);
    quality_->setCurrentIndex(options_.mp3Quality);
    vbrMode_->setCurrentIndex(options_.mp3VbrMode);
    vbrQuality_->setCurrentIndex(options_.mp3VbrQuality);
    sampleRate_->setCurrentIndex(options_.mp3SampleRatePos);
    OnVbrModeChanged();
}

// The bitrate list applies to constant bitrate only.
void CMp3OptionsDlg::OnVbrModeChanged() {
    bitrate_->setEnabled(vbrMode_->currentIndex() == 0);
}

void CMp3OptionsDlg::OnDefault() {
    bitrate_->setCurrentIndex(11);
    channels_->setCurrentIndex(0);
    quality_->setCurrentIndex(0);
    vbrMode_->setCurrentIndex(0);
    vbrQuality_->setCurrentIndex(0);
    sampleRate_->setCurrentIndex(7);
    OnVbrModeChanged();
}

void CMp3OptionsDlg::OnOK() {
    options_.mp3Channels = channels_->currentIndex();
    options_.mp3Bitrate = bitrate_->currentIndex();
    options_.mp3Quality = quality_->currentIndex();
    options_.mp3VbrMode = vbrMode_->currentIndex();
    options_.mp3VbrQuality = vbrQuality_->currentIndex();
    options_.mp3SampleRatePos = sampleRate_->currentIndex();
    options_.mp3SampleRate = Number(sampleRate_);
    accept();
}

void CMp3OptionsDlg::OnCancel() {
    reject();
}

COggOptionsDlg::COggOptionsDlg(RipOptions& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("OGG Settings"));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);
    const QStringList rates = {" 32 bps", " 40 bps", " 48 bps", " 64 bps", " 80 bps", " 96 bps",
                               "128 bps", "160 bps", "196 bps", "256 bps", "350 bps"};
    min_ = MakeList(this, IDC_MIN, QStringLiteral("Minimum bitrate"), rates);
    nom_ = MakeList(this, IDC_NOM, QStringLiteral("Nominal bitrate"), rates);
    max_ = MakeList(this, IDC_MAX, QStringLiteral("Maximum bitrate"), rates);
    channels_ = MakeList(this, IDC_CHANNELS, QStringLiteral("Channels"), {"Stereo", "Mono"});
    sampleRate_ = MakeList(this, IDC_SAMPLE_RATE, QStringLiteral("Sample rate"),
                           {"6000", "8000", "11025", "12000", "16000", "22050", "24000", "32000",
                            "44100", "48000", "96000"});
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Minimum bitrate:"), min_);
    form->addRow(QStringLiteral("Nominal bitrate:"), nom_);
    form->addRow(QStringLiteral("Maximum bitrate:"), max_);
    form->addRow(QStringLiteral("Channels:"), channels_);
    form->addRow(QStringLiteral("Sample rate:"), sampleRate_);
    auto* ok = MakeButton(this, 1, QStringLiteral("OK"));
    auto* cancel = MakeButton(this, 2, QStringLiteral("Cancel"));
    auto* def = MakeButton(this, IDC_DEFAULT, QStringLiteral("Default"));
    LayOut(this, form, ok, cancel, def);
    connect(ok, &QPushButton::clicked, this, &COggOptionsDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &COggOptionsDlg::OnCancel);
    connect(def, &QPushButton::clicked, this, &COggOptionsDlg::OnDefault);

    min_->setCurrentIndex(options_.oggMin);
    nom_->setCurrentIndex(options_.oggNom);
    max_->setCurrentIndex(options_.oggMax);
    channels_->setCurrentIndex(options_.oggChannels);
    sampleRate_->setCurrentIndex(options_.oggSampleRatePos);
}

void COggOptionsDlg::OnDefault() {
    min_->setCurrentIndex(4);
    nom_->setCurrentIndex(7);
    max_->setCurrentIndex(10);
    channels_->setCurrentIndex(0);
    sampleRate_->setCurrentIndex(8);
}

void COggOptionsDlg::OnOK() {
    options_.oggChannels = channels_->currentIndex();
    options_.oggMin = min_->currentIndex();
    options_.oggNom = nom_->currentIndex();
    options_.oggMax = max_->currentIndex();
    options_.oggSampleRatePos = sampleRate_->currentIndex();
    options_.oggSampleRate = Number(sampleRate_);
    accept();
}

void COggOptionsDlg::OnCancel() {
    reject();
}
