#include "CAudioPage.h"
#include "UiPost.h"

#include "CAudioSettingsDlg.h"
#include "CFolderChooser.h"
#include "EncoderCommand.h"
#include "FolderPath.h"
#include "Look.h"
#include "Numbers.h"
#include "Paths.h"
#include "Services.h"
#include "TaskLimits.h"

#include <QComboBox>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void Name(QWidget* w, int id, const QString& accessible) {
    w->setObjectName(QString::number(id));
    w->setAccessibleName(accessible);
}

const QStringList kSupported = {"mp3", "wav", "aac", "qt",   "ape", "mov",  "ogg",
                                "ac3", "vob", "wma", "avi",  "mpg", "mpeg", "dat",
                                "wmv", "asf", "rm",  "rmvb", "rma", "ram"};

bool IsSupportedName(const QString& name) {
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && kSupported.contains(name.mid(dot + 1).toLower());
}

// The file's identity after following links; false when it does not exist.
bool FileId(const QString& path, std::pair<unsigned long long, unsigned long long>* id) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    *id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
    return true;
}

// Puts a finished file under its final name in one step, replacing what was
// there. Across file systems the copy goes to a hidden file beside the target
// first, so the final name never shows a half-copied file.
QString MoveIntoPlace(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    if (errno != EXDEV)
        return QString::fromLocal8Bit(std::strerror(errno));
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QSaveFile out(to);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size())
            return out.errorString();
    }
    if (in.error() != QFileDevice::NoError)
        return in.errorString();
    if (!out.commit())
        return out.errorString();
    QFile::remove(from);
    return {};
}

struct EncoderInfo {
    const char* program;
    const char* extension;
};

EncoderInfo EncoderOf(int format) {
    switch (format) {
    case kFormatMp3:
        return {kLameProgram, "MP3"};
    case kFormatOgg:
        return {kOggencProgram, "OGG"};
    case kFormatApe:
        return {kMacProgram, "APE"};
    default:
        return {kAacencProgram, "AAC"};
    }
}

bool NeedsEncoder(int format) {
    return format == kFormatMp3 || format == kFormatOgg || format == kFormatApe ||
           format == kFormatAac;
}

} // namespace

CAudioPage::CAudioPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);

    add_ = new QToolButton(this);
    add_->setText(QStringLiteral("Add"));
    add_->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    add_->setIconSize(QSize(24, 24));
    add_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    add_->setPopupMode(QToolButton::InstantPopup);
    Name(add_, IDC_ADD, QStringLiteral("Add"));
    addMenu_ = new QMenu(this);
    addMenu_->setObjectName(QString::number(IDR_ADD_MENU));
    QAction* addFile = addMenu_->addAction(QStringLiteral("Add an audio file..."));
    addFile->setObjectName(QString::number(ID_ADD_FILE));
    QAction* addFolder = addMenu_->addAction(QStringLiteral("Add all audio files in a folder..."));
    addFolder->setObjectName(QString::number(ID_ADD_FOLDER));
    add_->setMenu(addMenu_);

    remove_ = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Remove"),
                              this);
    remove_->setIconSize(QSize(24, 24));
    Name(remove_, IDC_REMOVE, QStringLiteral("Remove"));
    start_ =
        new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Start"), this);
    start_->setIconSize(QSize(24, 24));
    Name(start_, IDC_START, QStringLiteral("Start"));
    cancel_ = new QPushButton(style()->standardIcon(QStyle::SP_MediaStop), QStringLiteral("Cancel"),
                              this);
    cancel_->setIconSize(QSize(24, 24));
    Name(cancel_, IDC_CANCEL, QStringLiteral("Cancel"));

    list_ = new QTreeWidget(this);
    Name(list_, IDC_LIST, QStringLiteral("Task list"));
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {QStringLiteral("Source Audio"), QStringLiteral("From"), QStringLiteral("To")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setSectionsMovable(true);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 370);
    list_->setColumnWidth(1, 50);
    list_->setColumnWidth(2, 50);
    {
        QPalette p = list_->palette();
        p.setColor(QPalette::Base, QColor(76, 85, 118));
        p.setColor(QPalette::Text, QColor(222, 222, 222));
        list_->setPalette(p);
        QFont f(QStringLiteral("Tahoma"));
        f.setPixelSize(11);
        list_->setFont(f);
    }

    output_ = new QLineEdit(this);
    Name(output_, IDC_OUTPUT, QStringLiteral("Output folder"));
    browse_ = new QToolButton(this);
    browse_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse_->setIconSize(QSize(16, 16));
    browse_->setToolTip(QStringLiteral("Browse"));
    Name(browse_, IDC_BROWSE, QStringLiteral("Browse"));
    after_ = new QComboBox(this);
    Name(after_, IDC_AFTER, QStringLiteral("After conversion"));
    taskBar_ = new QProgressBar(this);
    Name(taskBar_, IDC_TASK_BAR, QStringLiteral("Current file"));
    batchBar_ = new QProgressBar(this);
    Name(batchBar_, IDC_BATCH_BAR, QStringLiteral("All files"));
    for (QProgressBar* bar : {taskBar_, batchBar_})
        bar->setTextVisible(false);

    // The hidden media control's place on the page.
    auto* controlPlace = new QWidget(this);
    controlPlace->setObjectName(QString::number(IDC_CONTROL));
    controlPlace->hide();

    auto* top = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);
    top->addLayout(buttons);
    top->addWidget(list_, 1);
    auto* grid = new QGridLayout;
    auto* outputLabel = new QLabel(QStringLiteral("Output folder:"), this);
    outputLabel->setBuddy(output_);
    grid->addWidget(outputLabel, 0, 0);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(output_, 1);
    outputRow->addWidget(browse_);
    grid->addLayout(outputRow, 0, 1);
    auto* afterLabel = new QLabel(QStringLiteral("After conversion:"), this);
    afterLabel->setBuddy(after_);
    grid->addWidget(afterLabel, 1, 0);
    grid->addWidget(after_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Current file:"), this), 2, 0);
    grid->addWidget(taskBar_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("All files:"), this), 3, 0);
    grid->addWidget(batchBar_, 3, 1);
    top->addLayout(grid);

    poll_.setInterval(kPollPeriod);
    connect(&poll_, &QTimer::timeout, this, [this] { OnTimer(kPollTimer); });
    connect(addFile, &QAction::triggered, this, &CAudioPage::OnAddFile);
    connect(addFolder, &QAction::triggered, this, &CAudioPage::OnAddFolder);
    connect(remove_, &QPushButton::clicked, this, &CAudioPage::OnRemove);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OnOpenSource(); });
    connect(browse_, &QToolButton::clicked, this, &CAudioPage::OnBrowseOutput);
    connect(start_, &QPushButton::clicked, this, &CAudioPage::OnStart);
    connect(cancel_, &QPushButton::clicked, this, &CAudioPage::OnCancel);

    // Page initialisation.
    table_.Clear();
    folderFiles_.clear();
    ResetTaskBar();
    batchBar_->setRange(0, 100);
    batchBar_->setValue(0);
    after_->addItems({QStringLiteral("Do nothing"), QStringLiteral("Shut down computer")});
    after_->setCurrentIndex(0);
    cancel_->setEnabled(false);
    output_->setText(platform::InstallDir() + QStringLiteral("/Music"));

    // The page works without the control; adding and converting then fail
    // with a message instead.
    CFennick::Events events;
    events.writeFinished = [this] {
        // The run advances on the user-interface thread only.
        if (QThread::currentThread() == thread())
            OnWriteFinished();
        else
            platform::PostToUiThread(this, [this] { OnWriteFinished(); });
    };
    media_.Create(std::move(events));
}

CAudioPage::~CAudioPage() {
    poll_.stop();
    if (encoder_) {
        encoder_->Kill();
        encoder_.reset();
    }
    if (writing_)
        media_.AbortWrite();
    if (running_)
        RemoveTemporaryFiles();
    media_.Release();
}

void CAudioPage::AppendRow(int slot) {
    const AudioTask& t = table_[slot];
    auto* item = new QTreeWidgetItem(
        {t.sourcePath, SourceExtension(t.sourcePath), FormatExtension(t.format)});
    item->setData(0, Qt::UserRole, slot);
    list_->setUpdatesEnabled(false);
    list_->addTopLevelItem(item);
    list_->setUpdatesEnabled(true);
}

void CAudioPage::OnAddFile() {
    if (table_.FreeSlots() == 0) {
        audio::ShowTableFull(0);
        return;
    }
    CAudioSettingsDlg dlg(media_, table_, folderFiles_, this);
    if (dlg.DoModal() == QDialog::Accepted && dlg.Appended() == 1)
        AppendRow(table_.SlotCount() - 1);
}

QStringList CAudioPage::SupportedNamesIn(const QString& folder, bool* overflow) {
    QStringList names;
    if (overflow)
        *overflow = false;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (!IsSupportedName(name))
            continue;
        if (names.size() == kMaxFolderFiles) {
            if (overflow)
                *overflow = true;
            break;
        }
        names << name;
    }
    return names;
}

void CAudioPage::OnAddFolder() {
    if (table_.FreeSlots() == 0) {
        audio::ShowTableFull(0);
        return;
    }
    CFolderChooser chooser(QStringLiteral("Please specify a folder:"),
                           QStringLiteral("Please select a folder, all supported files will be "
                                          "imported."),
                           QStringLiteral("/"), this);
    if (chooser.DoModal() != 1)
        return;
    const QString folder = chooser.GetFolder();
    if (platform::CheckOutputFolder(folder) != 0)
        return;
    bool overflow = false;
    folderFiles_ = SupportedNamesIn(folder, &overflow);
    if (overflow)
        platform::messages().Show(
            QStringLiteral("The folder holds more than %1 supported files; only the first %1 "
                           "are listed.")
                .arg(kMaxFolderFiles),
            QString(), platform::Icon::Warning);
    CAudioSettingsDlg dlg(media_, table_, folderFiles_, this);
    dlg.SetFolderMode(folder);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    const int first = table_.SlotCount() - dlg.Appended();
    for (int slot = first; slot < table_.SlotCount(); ++slot)
        AppendRow(slot);
}

void CAudioPage::OnRemove() {
    const int selected = list_->selectedItems().size();
    for (int i = 0; i < selected; ++i) {
        QTreeWidgetItem* first = nullptr;
        for (int row = 0; row < list_->topLevelItemCount() && !first; ++row)
            if (list_->topLevelItem(row)->isSelected())
                first = list_->topLevelItem(row);
        if (!first)
            break;
        table_.Remove(first->data(0, Qt::UserRole).toInt());
        delete first;
    }
}

void CAudioPage::OnOpenSource() {
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        if (item->isSelected()) {
            platform::shell().Open(table_[item->data(0, Qt::UserRole).toInt()].sourcePath);
            return;
        }
    }
}

void CAudioPage::OnBrowseOutput() {
    CFolderChooser chooser(QStringLiteral("Please select a folder to save output files"),
                           QStringLiteral("Please select a folder or create a new folder to save "
                                          "output files"),
                           output_->text(), this);
    if (chooser.DoModal() == 1)
        output_->setText(chooser.GetFolder());
}

void CAudioPage::SetIdle(bool idle) {
    for (QWidget* w : std::initializer_list<QWidget*>{add_, remove_, browse_, output_, start_})
        w->setEnabled(idle);
    cancel_->setEnabled(!idle);
}

void CAudioPage::SetBusy() {
    taskBar_->setRange(0, 0);
}

void CAudioPage::ResetTaskBar() {
    taskBar_->setRange(0, 100);
    taskBar_->setValue(0);
    taskBar_->update();
}

void CAudioPage::OnStart() {
    polledFile_.clear();
    encoderPending_ = false;
    cancelRequested_ = false;
    output_->setFocus();
    if (list_->topLevelItemCount() == 0) {
        platform::messages().Show(
            QStringLiteral("You haven't add any audio files to the task list."),
            QStringLiteral("Task list is empty"), platform::Icon::Error);
        return;
    }
    if (platform::CheckOutputFolder(output_->text()) != 0)
        return;
    SetIdle(false);
    ResetTaskBar();
    batchBar_->setValue(0);

    run_.clear();
    sources_.clear();
    failures_.clear();
    for (int slot = 0; slot < table_.SlotCount(); ++slot) {
        if (table_[slot].IsEmpty())
            continue;
        run_.push_back(table_[slot]);
        std::pair<unsigned long long, unsigned long long> id;
        if (FileId(table_[slot].sourcePath, &id))
            sources_.insert(id);
    }
    current_ = 0;
    running_ = true;
    batchBar_->setRange(0, static_cast<int>(run_.size()));
    batchBar_->setValue(0);
    StartTask();
}

void CAudioPage::StartTask() {
    const AudioTask& task = run_[current_];
    encoderPending_ = NeedsEncoder(task.format);
    output_file_ = OutputFileFor(output_->text(), task.sourcePath, task.format);

    if (!media_.IsCreated())
        return FailTask(QStringLiteral("the media control is not available"));
    // The output (or a temporary file) must never be one of the sources.
    for (const QString& target :
         {output_file_, TemporaryFile(QStringLiteral("WAV")),
          TemporaryFile(QString::fromLatin1(EncoderOf(task.format).extension))}) {
        std::pair<unsigned long long, unsigned long long> id;
        if (FileId(target, &id) && sources_.count(id))
            return FailTask(QStringLiteral("the output file %1 is a source file and was left "
                                           "untouched")
                                .arg(target));
    }

    media_.ClearInputs();
    double start = 0, stop = 0;
    if (!task.clipStart.isEmpty()) {
        start = LeadingDecimal(task.clipStart);
        stop = LeadingDecimal(task.clipStop);
    } else {
        stop = media_.QueryDuration(task.sourcePath);
        if (stop <= 0)
            return FailTask(QStringLiteral("the file cannot be read as audio"));
    }
    media_.SetAudioInput(task.sourcePath, start, stop);

    bool started = false;
    switch (task.format) {
    case kFormatWav:
        QFile::remove(output_file_);
        started = media_.WriteWaveFile(output_file_, task.wavChannels + 1, task.wavSampleRate,
                                       task.wavSampleSize + 1);
        break;
    case kFormatWma:
        QFile::remove(output_file_);
        media_.SetMediaProfileIndex(static_cast<short>(task.wmaProfile));
        started = media_.WriteMediaAudioFile(output_file_);
        break;
    default:
        QFile::remove(TemporaryFile(QStringLiteral("WAV")));
        started = media_.WriteWaveFile(TemporaryFile(QStringLiteral("WAV")), 2, 44100, 2);
        break;
    }
    if (!started) {
        const QString why = media_.GetLastError();
        return FailTask(why.isEmpty() ? QStringLiteral("the media control could not start writing")
                                      : why);
    }
    writing_ = true;
    SetBusy();
}

void CAudioPage::OnWriteFinished() {
    if (!running_ || !writing_)
        return;
    writing_ = false;
    const QString why = media_.GetLastError();
    if (!why.isEmpty())
        return FailTask(why);
    if (encoderPending_)
        return StartEncoder();
    if (!QFileInfo::exists(output_file_))
        return FailTask(QStringLiteral("the media control wrote no output file"));
    EndOfTask();
}

void CAudioPage::StartEncoder() {
    const AudioTask& task = run_[current_];
    const EncoderInfo info = EncoderOf(task.format);
    const QString program = FindEncoder(QString::fromLatin1(info.program));
    if (program.isEmpty())
        return FailTask(QStringLiteral("the encoder program %1 was not found").arg(info.program));
    const QString input = TemporaryFile(QStringLiteral("WAV"));
    const QString output = TemporaryFile(QString::fromLatin1(info.extension));
    // A file left by an earlier run must not pass for this encoder's output.
    QFile::remove(output);
    EncoderCommand cmd;
    switch (task.format) {
    case kFormatMp3:
        cmd = Mp3Command(program, input, output, task.mp3Bitrate, task.mp3SampleRate,
                         task.mp3ChannelMode, task.mp3Vbr);
        break;
    case kFormatOgg:
        cmd = OggCommand(program, input, output, task.oggQuality, task.oggChannels,
                         task.oggSampleRate);
        break;
    case kFormatApe:
        cmd = ApeCommand(program, input, output, task.apeLevel);
        break;
    default:
        cmd = AacCommand(program, input, output, task.aacSetting);
        break;
    }
    lastCommand_ = cmd.text;
    polledFile_ = output;
    // The process's end is looked at at once, not only on the next tick; the
    // look is queued so the process object is never deleted inside its own
    // notification.
    encoder_ = platform::processes().Start(cmd.program, cmd.args, [this] {
        QMetaObject::invokeMethod(
            this, [this] { OnTimer(kPollTimer); }, Qt::QueuedConnection);
    });
    poll_.start();
}

void CAudioPage::OnTimer(int id) {
    if (id != kPollTimer || !encoder_)
        return;
    if (encoder_->IsRunning()) {
        SetBusy();
        return;
    }
    poll_.stop();
    const bool ok = encoder_->Succeeded();
    const QString why = encoder_->ErrorText();
    encoder_.reset();
    const QString encoded = polledFile_;
    polledFile_.clear();
    encoderPending_ = false;
    QFile::remove(TemporaryFile(QStringLiteral("WAV")));
    if (!ok)
        return FailTask(QStringLiteral("the encoder failed: %1").arg(why));
    if (QFileInfo(encoded).size() <= 0)
        return FailTask(QStringLiteral("the encoder wrote no output file"));
    const QString moveError = MoveIntoPlace(encoded, output_file_);
    QFile::remove(encoded);
    if (!moveError.isEmpty())
        return FailTask(QStringLiteral("the output file could not be written: %1").arg(moveError));
    EndOfTask();
}

void CAudioPage::RemoveTemporaryFiles() {
    for (const char* ext : {"WAV", "MP3", "OGG", "APE", "AAC"})
        QFile::remove(TemporaryFile(QString::fromLatin1(ext)));
}

void CAudioPage::FailTask(const QString& reason) {
    failures_.emplace_back(run_[current_].sourcePath, reason);
    writing_ = false;
    encoderPending_ = false;
    polledFile_.clear();
    RemoveTemporaryFiles();
    // Queued, so a batch of tasks that all fail at once does not recurse.
    QMetaObject::invokeMethod(
        this, [this] { EndOfTask(); }, Qt::QueuedConnection);
}

void CAudioPage::EndOfTask() {
    if (!running_)
        return;
    ResetTaskBar();
    if (cancelRequested_) {
        cancelRequested_ = false;
        running_ = false;
        RemoveTemporaryFiles();
        return;
    }
    ++current_;
    if (current_ < static_cast<int>(run_.size())) {
        batchBar_->setValue(current_);
        batchBar_->update();
        StartTask();
        return;
    }
    FinishBatch();
}

void CAudioPage::FinishBatch() {
    running_ = false;
    RemoveTemporaryFiles();
    batchBar_->setValue(0);
    batchBar_->update();
    SetIdle(true);
    if (after_->currentIndex() == 1) {
        platform::system().PowerOff();
        return;
    }
    if (failures_.empty()) {
        platform::messages().Show(
            QStringLiteral("Conversion has been finished successfully! Programme will open the "
                           "output folder for you to browse the converted files."),
            QStringLiteral("Congratulation"), platform::Icon::Information);
    } else {
        QString text = QStringLiteral("%1 of %2 files could not be converted:\n")
                           .arg(failures_.size())
                           .arg(run_.size());
        for (const auto& [source, reason] : failures_)
            text += QStringLiteral("\n%1: %2").arg(source, reason);
        text += QStringLiteral("\n\nProgramme will open the output folder for you to browse the "
                               "converted files.");
        platform::messages().Show(text, QStringLiteral("Conversion errors"),
                                  platform::Icon::Warning);
    }
    platform::shell().Open(output_->text());
}

void CAudioPage::OnCancel() {
    if (!running_)
        return;
    cancelRequested_ = true;
    cancel_->setText(QStringLiteral("Quiting..."));
    // Every step ends (a write with WriteFinished, an encoder with its process
    // end), so this wait always returns.
    QEventLoop loop;
    while (cancelRequested_ && running_)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    cancel_->setText(QStringLiteral("Cancel"));
    ResetTaskBar();
    batchBar_->setValue(0);
    batchBar_->update();
    SetIdle(true);
    platform::messages().Show(QStringLiteral("You have cancelled the conversion process by force!"),
                              QStringLiteral("Message"), platform::Icon::Information);
}
