#include "CCDPage.h"
#include "UiPost.h"

#include "RipOptionsDlg.h"

#include "CFolderChooser.h"
#include "FolderPath.h"
#include "Look.h"
#include "Paths.h"
#include "Services.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>

using namespace automation;

namespace {

template <class W> W* Named(W* w, int id, const QString& accessible) {
    w->setObjectName(QString::number(id));
    w->setAccessibleName(accessible);
    return w;
}

QPushButton* Button(QWidget* parent, int id, const QString& text, QStyle::StandardPixmap icon,
                    int iconSize) {
    auto* b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setIconSize(QSize(iconSize, iconSize));
    return Named(b, id, text);
}

// Progress bars of 20 segments, 0 to 100.
QProgressBar* Bar(QWidget* parent, int id, const QString& name) {
    auto* bar = Named(new QProgressBar(parent), id, name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QString FailureText(int why) {
    switch (why) {
    case trakkon::kRipFailEncoderLoad:
        return QStringLiteral("The encoder library could not be loaded, so the track could not "
                              "be ripped.");
    case trakkon::kRipFailEncoderOpen:
        return QStringLiteral("The encoder could not create the output file, so the track could "
                              "not be ripped.");
    default:
        return QStringLiteral("The track could not be read from the CD, so it could not be "
                              "ripped.");
    }
}

} // namespace

CCDPage::CCDPage(QWidget* parent) : QWidget(parent), ripQueue_(kRipQueueSize, -1) {
    setObjectName(QString::number(IDD));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);

    drives_ = Named(new QComboBox(this), IDC_DRIVES, QStringLiteral("CD drive"));
    refresh_ = Button(this, IDC_REFRESH, QStringLiteral("Refresh"), QStyle::SP_BrowserReload, 16);
    tracks_ = Named(new QListWidget(this), IDC_TRACKS, QStringLiteral("CD tracks"));
    play_ = Button(this, IDC_PLAY, QStringLiteral("Play"), QStyle::SP_MediaPlay, 16);
    pause_ = Button(this, IDC_PAUSE, QStringLiteral("Pause"), QStyle::SP_MediaPause, 16);
    stop_ = Button(this, IDC_STOP, QStringLiteral("Stop"), QStyle::SP_MediaStop, 16);
    add_ = Button(this, IDC_ADD, QStringLiteral("Add"), QStyle::SP_ArrowRight, 16);
    remove_ = Button(this, IDC_REMOVE, QStringLiteral("Remove"), QStyle::SP_TrashIcon, 16);
    ripList_ = Named(new QListWidget(this), IDC_RIP_LIST, QStringLiteral("Tracks to rip"));
    format_ = Named(new QComboBox(this), IDC_FORMAT, QStringLiteral("Output format"));
    advanced_ = Button(this, IDC_ADVANCED, QStringLiteral("Settings"),
                       QStyle::SP_FileDialogDetailedView, 16);
    output_ = Named(new QLineEdit(this), IDC_OUTPUT, QStringLiteral("Output folder"));
    browse_ = Button(this, IDC_BROWSE, QStringLiteral("Browse"), QStyle::SP_DirOpenIcon, 16);
    start_ = Button(this, IDC_START, QStringLiteral("Start"), QStyle::SP_MediaPlay, 24);
    cancel_ = Button(this, IDC_CANCEL, QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton, 24);
    trackBar_ = Bar(this, IDC_TRACK_BAR, QStringLiteral("Current track progress"));
    listBar_ = Bar(this, IDC_LIST_BAR, QStringLiteral("Rip list progress"));
    help_ = Button(this, IDC_RIP_HELP, QStringLiteral("Can't rip CDs?"),
                   QStyle::SP_MessageBoxQuestion, 16);
    hiddenOk_ = Named(new QPushButton(QStringLiteral("OK"), this), 1, QStringLiteral("OK"));
    hiddenCancel_ =
        Named(new QPushButton(QStringLiteral("Cancel"), this), 2, QStringLiteral("Cancel"));
    hiddenOk_->hide();
    hiddenCancel_->hide();

    for (QComboBox* box : {drives_, format_}) {
        box->setMinimumContentsLength(16);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    advanced_->setText(QString());
    refresh_->setText(QString());
    advanced_->setToolTip(QStringLiteral("Settings"));
    refresh_->setToolTip(QStringLiteral("Refresh"));

    // Layout: drive and tracks on the left, the rip list and run on the right.
    auto* left = new QVBoxLayout;
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(drives_, 1);
    driveRow->addWidget(refresh_);
    left->addLayout(driveRow);
    left->addWidget(new QLabel(QStringLiteral("Audio tracks:"), this));
    left->addWidget(tracks_, 1);
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(play_);
    playRow->addWidget(pause_);
    playRow->addWidget(stop_);
    left->addLayout(playRow);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(add_);
    middle->addWidget(remove_);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Tracks to rip:"), this));
    right->addWidget(ripList_, 1);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(format_, 1);
    formatRow->addWidget(advanced_);
    right->addLayout(formatRow);
    right->addWidget(new QLabel(QStringLiteral("Output folder:"), this));
    auto* outRow = new QHBoxLayout;
    outRow->addWidget(output_, 1);
    outRow->addWidget(browse_);
    right->addLayout(outRow);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(middle);
    top->addLayout(right, 1);
    auto* bars = new QGridLayout;
    bars->addWidget(new QLabel(QStringLiteral("Current track:"), this), 0, 0);
    bars->addWidget(trackBar_, 0, 1);
    bars->addWidget(new QLabel(QStringLiteral("All tracks:"), this), 1, 0);
    bars->addWidget(listBar_, 1, 1);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(help_);
    runRow->addStretch();
    runRow->addWidget(start_);
    runRow->addWidget(cancel_);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top, 1);
    page->addLayout(bars);
    page->addLayout(runRow);

    connect(start_, &QPushButton::clicked, this, &CCDPage::OnStart);
    connect(refresh_, &QPushButton::clicked, this, &CCDPage::OnRefresh);
    connect(play_, &QPushButton::clicked, this, &CCDPage::OnPlay);
    connect(pause_, &QPushButton::clicked, this, &CCDPage::OnPause);
    connect(stop_, &QPushButton::clicked, this, &CCDPage::OnStop);
    connect(add_, &QPushButton::clicked, this, &CCDPage::OnAdd);
    connect(tracks_, &QListWidget::itemDoubleClicked, this, [this] { OnAdd(); });
    connect(remove_, &QPushButton::clicked, this, &CCDPage::OnRemove);
    connect(browse_, &QPushButton::clicked, this, &CCDPage::OnBrowse);
    connect(cancel_, &QPushButton::clicked, this, &CCDPage::OnCancel);
    connect(advanced_, &QPushButton::clicked, this, &CCDPage::OnAdvanced);
    connect(help_, &QPushButton::clicked, this, &CCDPage::OnRipHelp);

    // The control (1103) is invisible; its events come here. Ripping and
    // EndRip arrive on its rip thread and are carried to this thread before
    // any widget is touched.
    QPointer<CCDPage> self(this);
    const HRESULT hr =
        host_.Create(trakkon::CLSID_Trakkon, [self](DISPID id, std::vector<Variant>& args) {
            if (!self)
                return;
            platform::PostToUiThread(self.data(), [self, id, args] {
                if (self)
                    self->OnControlEvent(id, args);
            });
        });
    if (Succeeded(hr))
        trakkon_.Attach(host_.Dispatch());

    format_->addItem(QStringLiteral("Output format: MP3"));
    format_->addItem(QStringLiteral("Output format: OGG"));
    format_->setCurrentIndex(0);
    cancel_->setEnabled(false);
    CCDRomsRef drives = trakkon_.GetCDRoms();
    for (short i = 0; i < drives.GetCount(); ++i)
        drives_->addItem(QString::fromStdString(drives.FindCDRomName(i)));
    if (drives_->count() > 0)
        drives_->setCurrentIndex(0);
    FillTrackList();
    output_->setText(platform::InstallDir() + QStringLiteral("/DiskMusic"));
}

CCDPage::~CCDPage() {
    trakkon_.Detach();
    host_.Release();
}

void CCDPage::OnControlEvent(DISPID id, const std::vector<Variant>& args) {
    std::int32_t value = 0;
    switch (id) {
    case trakkon::EVENTID_CDRomStatus: {
        bool ready = false;
        if (!args.empty())
            args[0].ToBool(ready);
        OnCDRomStatus(ready);
        break;
    }
    case trakkon::EVENTID_Ripping:
        if (!args.empty() && Succeeded(args[0].ToI4(value)))
            OnRipping(static_cast<short>(value));
        break;
    case trakkon::EVENTID_EndRip:
        OnEndRip();
        break;
    case trakkon::EVENTID_RipFailed:
        if (!args.empty())
            args[0].ToI4(value);
        OnRipFailed(value);
        break;
    default:
        break;
    }
}

std::vector<QWidget*> CCDPage::RunningSet() const {
    return {format_, browse_, output_, drives_,   hiddenOk_, stop_,   start_,
            play_,   pause_,  remove_, advanced_, add_,      refresh_};
}

void CCDPage::SetRunning(bool running) {
    running_ = running;
    for (QWidget* w : RunningSet())
        w->setEnabled(!running);
    cancel_->setEnabled(running);
}

void CCDPage::FillTrackList() {
    CTracksRef tracks = trakkon_.GetTracks();
    const short count = tracks.GetCount();
    for (short i = 0; i < count; ++i) {
        if (!tracks.FindIsAudio(i))
            continue;
        auto* item = new QListWidgetItem(QStringLiteral("Track %1").arg(i + 1), tracks_);
        item->setData(Qt::UserRole, static_cast<int>(i));
    }
    if (count > 0 && tracks_->count() > 0)
        tracks_->setCurrentRow(0);
}

void CCDPage::OnRefresh() {
    ripList_->clear();
    tracks_->clear();
    refreshPending_ = true;
}

void CCDPage::OnCDRomStatus(bool ready) {
    if (!refreshPending_ || !ready)
        return;
    trakkon_.RefreshCDRom(static_cast<short>(std::max(0, drives_->currentIndex())));
    FillTrackList();
    refreshPending_ = false;
}

void CCDPage::OnPlay() {
    trakkon_.StopPlayTrack();
    QListWidgetItem* item = tracks_->currentItem();
    if (item)
        trakkon_.PlayTrack(static_cast<short>(item->data(Qt::UserRole).toInt() + 1));
}

void CCDPage::OnPause() {
    trakkon_.PauseTrack();
}

void CCDPage::OnStop() {
    trakkon_.StopPlayTrack();
}

void CCDPage::OnAdd() {
    QListWidgetItem* item = tracks_->currentItem();
    if (tracks_->count() == 0 || !item)
        return;
    auto* entry = new QListWidgetItem(item->text(), ripList_);
    entry->setData(Qt::UserRole, item->data(Qt::UserRole));
}

void CCDPage::OnRemove() {
    if (QListWidgetItem* item = ripList_->currentItem())
        delete item;
    if (ripList_->count() > 0)
        ripList_->setCurrentRow(0);
}

void CCDPage::OnBrowse() {
    CFolderChooser chooser(QStringLiteral("Please select a folder to save output files"),
                           QStringLiteral("Please select a folder or create a new folder to save "
                                          "output files"),
                           output_->text(), this);
    if (chooser.DoModal() == 1)
        output_->setText(chooser.GetFolder());
}

void CCDPage::OnAdvanced() {
    if (format_->currentIndex() == 1) {
        COggOptionsDlg dlg(TheRipOptions(), this);
        platform::RunDialog(dlg);
    } else {
        CMp3OptionsDlg dlg(TheRipOptions(), this);
        platform::RunDialog(dlg);
    }
}

void CCDPage::OnRipHelp() {
    lastHelp_ =
        QStringLiteral(
            "If you can't rip CDs even after refreshing, it means that your operation system lack "
            "ASPI driver, which is used by so many multimedia softwares. You need to install it "
            "along with Quintrel, otherwise you can't rip files from CDs. Now you just need to "
            "open the ASPI folder under installation path of Quintrel (%1), and you will find the "
            "setup file of ASPI. First quit Quintrel, then click the INSTALL.BAT file to install "
            "ASPI. Restart your operation system after installation, your problem will be solved. "
            "Prompt: Make sure the operation system is restarted after you have installed the "
            "ASPI driver, or some errors would occur.")
            .arg(platform::InstallDir() + QStringLiteral("/ASPI"));
    // A plain tip stands in for the balloon tip: anchored at the button's
    // left edge, 5 pixels above its bottom.
    const QPoint anchor = help_->mapToGlobal(QPoint(0, help_->height() - 5));
    QToolTip::showText(anchor,
                       QStringLiteral("<b>Solution to the problem of ripping CDs</b><br>") +
                           lastHelp_.toHtmlEscaped(),
                       help_);
}

void CCDPage::OnStart() {
    output_->setFocus();
    if (ripList_->count() == 0) {
        platform::messages().Show(
            QStringLiteral("You haven't added any CD audio tracks to task list on the right."),
            QStringLiteral("Task list is empty"), platform::Icon::Error);
        return;
    }
    if (platform::CheckOutputFolder(output_->text()) != 0)
        return;
    SetRunning(true);
    trackBar_->setValue(0);
    listBar_->setValue(0);
    queuePos_ = 0;
    queueCount_ = 0;
    std::fill(ripQueue_.begin(), ripQueue_.end(), -1);
    // Entries beyond the queue's slots are not ripped.
    for (int i = 0; i < ripList_->count() && queueCount_ < kRipQueueSize; ++i)
        ripQueue_[queueCount_++] = ripList_->item(i)->data(Qt::UserRole).toInt();
    listBar_->setRange(0, queueCount_);
    StartRequest();
}

void CCDPage::StartRequest() {
    if (queuePos_ < 0 || queuePos_ >= kRipQueueSize)
        return;
    const int t = ripQueue_[queuePos_];
    if (t == -1)
        return;
    const RipOptions& o = TheRipOptions();
    const QString folder = output_->text();
    if (format_->currentIndex() == 1) {
        const QString path = folder + QStringLiteral("/Track%1.ogg").arg(t + 1);
        trakkon_.Rip2Ogg(static_cast<short>(t), path.toStdString(), static_cast<short>(o.oggMin),
                         static_cast<short>(o.oggNom), static_cast<short>(o.oggMax),
                         Variant::I4(o.oggChannels), Variant::I4(o.oggSampleRate));
    } else {
        const QString path = folder + QStringLiteral("/Track%1.mp3").arg(t + 1);
        trakkon_.Rip2MP3(static_cast<short>(t), path.toStdString(),
                         static_cast<short>(o.mp3Bitrate), static_cast<short>(o.mp3Quality),
                         static_cast<short>(o.mp3VbrMode), static_cast<short>(o.mp3VbrQuality),
                         Variant::I4(o.mp3Channels), Variant::I4(o.mp3SampleRate));
    }
}

void CCDPage::OnRipping(short percent) {
    if (!running_)
        return;
    trackBar_->setValue(percent);
    trackBar_->repaint();
}

void CCDPage::OnEndRip() {
    // An end that was already on its way when the run was cancelled.
    if (!running_)
        return;
    trackBar_->reset();
    trackBar_->setValue(0);
    trackBar_->repaint();
    ++queuePos_;
    if (queuePos_ < queueCount_) {
        listBar_->setValue(queuePos_);
        listBar_->repaint();
        StartRequest();
        return;
    }
    listBar_->setValue(0);
    SetRunning(false);
    platform::messages().Show(
        QStringLiteral("Conversion has been finished successfully! Programme will open the output "
                       "folder for you to browse the converted files."),
        QStringLiteral("Congratulation"), platform::Icon::Information);
    platform::shell().Open(output_->text());
}

void CCDPage::OnRipFailed(int why) {
    if (!running_)
        return;
    trackBar_->setValue(0);
    listBar_->setValue(0);
    SetRunning(false);
    platform::messages().Show(FailureText(why), QString(), platform::Icon::Error);
}

void CCDPage::OnCancel() {
    trakkon_.StopRip();
    trackBar_->setValue(0);
    listBar_->setValue(0);
    trackBar_->repaint();
    listBar_->repaint();
    SetRunning(false);
    platform::messages().Show(QStringLiteral("You have cancelled the conversion process by force!"),
                              QStringLiteral("Message"), platform::Icon::Information);
}
