// The conversion run end to end: the page's Start through the media control
// and the encoder programs to the closing message, outputs read by ffprobe.

#include "AudioTestSupport.h"
#include "CAudioClipDlg.h"
#include "CAudioPage.h"
#include "CAudioSettingsDlg.h"
#include "CKSFileDialog.h"
#include "EncoderCommand.h"
#include "Paths.h"
#include "Recorders.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace audiotest;
using testing_support::MessageRecorder;
using testing_support::ShellRecorder;
using testing_support::SystemRecorder;

namespace {

const QString kSuccess = QStringLiteral(
    "Conversion has been finished successfully! Programme will open the output folder for you "
    "to browse the converted files.");

QByteArray Hash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

class AudioRun : public ::testing::Test {
protected:
    void SetUp() override {
        UseRealControl();
        out = dir.path() + "/out";
        QDir().mkpath(out);
        tone = dir.path() + "/tone.wav";
        MakeTone(tone, 2.0);
    }
    void TearDown() override {
        for (const char* ext : {"WAV", "MP3", "OGG", "APE", "AAC"})
            EXPECT_FALSE(QFile::exists(TemporaryFile(ext))) << "left behind: cstmp." << ext;
        platform::SetInstallDirForTesting({});
    }
    // Starts the page's run and waits for its end.
    void RunPage(CAudioPage& page) {
        page.OutputEdit()->setText(out);
        page.OnStart();
        ASSERT_TRUE(WaitForRunEnd(page)) << "the run did not end";
    }
    static std::function<void(CAudioSettingsDlg&)> Format(int format, int id = 0, int pos = -1) {
        return [=](CAudioSettingsDlg& d) {
            d.Combo(CAudioSettingsDlg::IDC_FORMAT)->setCurrentIndex(format);
            d.OnFormatChanged();
            if (id) {
                d.Combo(id)->setCurrentIndex(pos);
                if (id == CAudioSettingsDlg::IDC_AAC)
                    d.OnAacChanged();
            }
        };
    }
    QTemporaryDir dir;
    QString out, tone;
};

TEST_F(AudioRun, EveryFormatConvertsThroughStart) {
    using D = CAudioSettingsDlg;
    struct Case {
        const char* name;
        std::function<void(CAudioSettingsDlg&)> settings;
        const char* output;
        const char* codec;
        int rate, channels;
        double tolerance;
    } cases[] = {
        {"wav 8 bit mono 22050",
         [](D& d) {
             d.Combo(D::IDC_WAV_CHANNELS)->setCurrentIndex(0);
             d.Combo(D::IDC_WAV_SIZE)->setCurrentIndex(0);
             d.Combo(D::IDC_WAV_RATE)->setCurrentText("22050");
         },
         "tone.WAV", "pcm_u8", 22050, 1, 0.001},
        {"mp3 joint 128", Format(kFormatMp3, D::IDC_MP3_MODE, 1), "tone.MP3", "mp3", 44100, 2,
         0.03},
        {"wma", Format(kFormatWma), "tone.WMA", "wmav2", 44100, 2, 0.1},
        {"ogg", Format(kFormatOgg), "tone.OGG", "vorbis", 44100, 2, 0.001},
        {"ape", Format(kFormatApe), "tone.APE", "ape", 44100, 2, 0.001},
        {"aac", Format(kFormatAac, D::IDC_AAC, 8), "tone.AAC", "aac", 44100, 2, 0.06},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioPage page;
        AddFile(page, tone, c.settings);
        MessageRecorder messages;
        ShellRecorder shell;
        RunPage(page);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, kSuccess);
        EXPECT_EQ(messages.shown[0].caption, "Congratulation");
        EXPECT_EQ(messages.shown[0].icon, platform::Icon::Information);
        EXPECT_EQ(shell.opened, QStringList{out});
        const Probe p = ProbeAudio(out + "/" + c.output);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.codec, c.codec);
        EXPECT_EQ(p.sampleRate, c.rate);
        EXPECT_EQ(p.channels, c.channels);
        EXPECT_NEAR(p.duration, 2.0, c.tolerance);
        EXPECT_TRUE(page.StartButton()->isEnabled());
        EXPECT_FALSE(page.CancelButton()->isEnabled());
        // Only the output file: nothing half written beside it.
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{c.output});
        QFile::remove(out + "/" + c.output);
    }
}

TEST_F(AudioRun, Mp3FromTheSoundOfAVideoWithItsOwnRateAndMode) {
    const QString video = dir.path() + "/clip.mp4";
    MakeVideo(video, 2.0);
    CAudioPage page;
    AddFile(page, video, [](CAudioSettingsDlg& d) {
        d.Combo(CAudioSettingsDlg::IDC_FORMAT)->setCurrentIndex(kFormatMp3);
        d.Combo(CAudioSettingsDlg::IDC_MP3_VBR)->setCurrentIndex(1);
        d.Combo(CAudioSettingsDlg::IDC_MP3_MODE)->setCurrentIndex(2);
        d.Combo(CAudioSettingsDlg::IDC_MP3_RATE)->setCurrentText("22050");
    });
    MessageRecorder messages;
    ShellRecorder shell;
    // The encoder is watched with timer 333 every 2 s while it runs.
    bool sawPolling = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (page.PollTimer().isActive() && page.PollTimer().interval() == 2000 &&
            page.PolledFile() == TemporaryFile("MP3"))
            sawPolling = true;
    });
    watch.start(5);
    RunPage(page);
    EXPECT_TRUE(sawPolling);
    EXPECT_TRUE(page.LastEncoderCommand().endsWith(
        "-v -m mono --resample 22050 " + TemporaryFile("WAV") + " " + TemporaryFile("MP3")))
        << page.LastEncoderCommand().toStdString();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kSuccess);
    const Probe p = ProbeAudio(out + "/clip.MP3");
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_EQ(p.sampleRate, 22050);
    EXPECT_EQ(p.channels, 1);
    EXPECT_NEAR(p.duration, 2.0, 0.05);
}

TEST_F(AudioRun, AClipOfTenToTwentySecondsIsCutExactly) {
    const QString longTone = dir.path() + "/long.wav";
    MakeTone(longTone, 25.0, 44100, 1);
    CAudioPage page;
    DialogScript script;
    script.clip = [](CAudioClipDlg& c) {
        c.StartEdit()->setText("10");
        c.StopEdit()->setText("20");
        c.OnOK();
    };
    testing_support::ChooserRecorder chooser;
    chooser.onFile = [&](CKSFileDialog& d) {
        d.SetPathName(longTone);
        return 1;
    };
    page.OnAddFile();
    ASSERT_EQ(page.Tasks().SlotCount(), 1);
    EXPECT_EQ(page.Tasks()[0].clipStart, "10");
    EXPECT_EQ(page.Tasks()[0].clipStop, "20");
    MessageRecorder messages;
    ShellRecorder shell;
    RunPage(page);
    const Probe p = ProbeAudio(out + "/long.WAV");
    ASSERT_TRUE(p.ok);
    EXPECT_NEAR(p.duration, 10.0, 0.001);
}

TEST_F(AudioRun, CancelDuringAnMp3TaskFinishesItAndStopsThere) {
    const QString second = dir.path() + "/second.wav";
    QFile::copy(tone, second);
    CAudioPage page;
    AddFile(page, tone, Format(kFormatMp3));
    AddFile(page, second, Format(kFormatMp3));
    MessageRecorder messages;
    ShellRecorder shell;
    page.OutputEdit()->setText(out);
    page.OnStart();
    ASSERT_TRUE(page.IsRunning());
    EXPECT_TRUE(page.CancelButton()->isEnabled());
    EXPECT_FALSE(page.StartButton()->isEnabled());
    QString textWhileWaiting;
    QTimer::singleShot(0, [&] { textWhileWaiting = page.CancelButton()->text(); });
    page.OnCancel();
    EXPECT_EQ(textWhileWaiting, "Quiting...");
    EXPECT_EQ(page.CancelButton()->text(), "Cancel");
    EXPECT_FALSE(page.IsRunning());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "You have cancelled the conversion process by force!");
    EXPECT_EQ(messages.shown[0].caption, "Message");
    EXPECT_EQ(messages.shown[0].icon, platform::Icon::Information);
    EXPECT_TRUE(shell.opened.isEmpty());
    // The task under way got its encoder step; the next was never started.
    EXPECT_EQ(ProbeAudio(out + "/tone.MP3").codec, "mp3");
    EXPECT_FALSE(QFile::exists(out + "/second.MP3"));
    EXPECT_TRUE(page.StartButton()->isEnabled());
    EXPECT_EQ(page.Tasks().SlotCount(), 2);
}

TEST_F(AudioRun, RemovedTasksAreSkipped) {
    const QString first = dir.path() + "/first.wav";
    QFile::copy(tone, first);
    CAudioPage page;
    AddFile(page, first);
    AddFile(page, tone);
    page.List()->topLevelItem(0)->setSelected(true);
    page.OnRemove();
    MessageRecorder messages;
    ShellRecorder shell;
    int range = -1;
    QTimer::singleShot(0, [&] { range = page.BatchBar()->maximum(); });
    RunPage(page);
    EXPECT_EQ(page.RunCount(), 1);
    EXPECT_EQ(range, 1);
    EXPECT_TRUE(QFile::exists(out + "/tone.WAV"));
    EXPECT_FALSE(QFile::exists(out + "/first.WAV"));
}

TEST_F(AudioRun, ASourceIsNeverOverwritten) {
    // The output folder is the source's own folder.
    const QString upper = out + "/SONG.WAV";
    MakeTone(upper, 1.0);
    const QString link = out + "/link.WAV";
    QFile::link(upper, link);
    const QString mp3 = out + "/music.MP3";
    MakeTone(mp3, 1.0);
    const QByteArray upperHash = Hash(upper), mp3Hash = Hash(mp3);

    CAudioPage page;
    AddFile(page, upper);                    // SONG.WAV -> SONG.WAV: itself
    AddFile(page, dir.path() + "/tone.wav"); // converts
    AddFile(page, mp3, Format(kFormatMp3));  // music.MP3 -> music.MP3: itself
    page.Tasks()[1].sourcePath = link;       // link.WAV -> out/link.WAV is the link itself
    page.List()->topLevelItem(1)->setText(0, link);
    AddFile(page, dir.path() + "/tone.wav", Format(kFormatOgg));
    MessageRecorder messages;
    ShellRecorder shell;
    RunPage(page);
    EXPECT_EQ(Hash(upper), upperHash);
    EXPECT_EQ(Hash(mp3), mp3Hash);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ProbeAudio(out + "/tone.OGG").codec, "vorbis");
    ASSERT_EQ(messages.shown.size(), 1u);
    const QString text = messages.shown[0].text;
    EXPECT_NE(text, kSuccess);
    EXPECT_EQ(messages.shown[0].caption, "Conversion errors");
    EXPECT_TRUE(text.contains("3 of 4 files could not be converted")) << text.toStdString();
    for (const QString& s : {upper, link, mp3})
        EXPECT_TRUE(text.contains(s + ": the output file")) << s.toStdString();
    EXPECT_EQ(shell.opened, QStringList{out});
}

TEST_F(AudioRun, AFailingTaskIsReportedWhileTheOthersConvert) {
    // Our own folder of programs: a lame that always fails, the real others.
    QTemporaryDir install;
    QFile lame(install.path() + "/lame");
    ASSERT_TRUE(lame.open(QIODevice::WriteOnly));
    lame.write("#!/bin/sh\necho 'lame: refusing' >&2\nexit 3\n");
    lame.close();
    lame.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::link(BinDir() + "/aacenc32", install.path() + "/aacenc32");

    QDir(dir.path()).mkpath("in");
    const QString in = dir.path() + "/in";
    QFile::copy(tone, in + "/good.wav");
    QFile::copy(tone, in + "/mp3.wav");
    QFile broken(in + "/broken.wav");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(8000, '\x55'));
    broken.close();

    CAudioPage page;
    platform::SetInstallDirForTesting(install.path());
    // Folder tasks are not probed: the broken file reaches the run.
    for (const auto& [name, format] : std::vector<std::pair<QString, int>>{
             {"broken.wav", kFormatAac}, {"mp3.wav", kFormatMp3}, {"good.wav", kFormatAac}}) {
        QStringList names{name};
        AudioTask t;
        CAudioSettingsDlg dlg(page.Media(), page.Tasks(), names);
        dlg.SetFolderMode(in);
        dlg.OnInitDialog();
        dlg.Combo(CAudioSettingsDlg::IDC_FORMAT)->setCurrentIndex(format);
        dlg.OnOK();
    }
    // Rows are the page's business; the run reads the table.
    ASSERT_EQ(page.Tasks().SlotCount(), 3);
    page.List()->addTopLevelItem(new QTreeWidgetItem({"rows"}));
    MessageRecorder messages;
    ShellRecorder shell;
    RunPage(page);
    EXPECT_EQ(ProbeAudio(out + "/good.AAC").codec, "aac");
    EXPECT_FALSE(QFile::exists(out + "/mp3.MP3"));
    EXPECT_FALSE(QFile::exists(out + "/broken.AAC"));
    ASSERT_EQ(messages.shown.size(), 1u);
    const QString text = messages.shown[0].text;
    EXPECT_TRUE(text.contains("2 of 3 files could not be converted")) << text.toStdString();
    EXPECT_TRUE(text.contains(in + "/broken.wav: ")) << text.toStdString();
    EXPECT_TRUE(text.contains(in + "/mp3.wav: the encoder failed: the program ended with exit "
                                   "code 3"))
        << text.toStdString();
    EXPECT_EQ(shell.opened, QStringList{out});
}

TEST_F(AudioRun, AMissingEncoderFailsItsTask) {
    QTemporaryDir install; // no aacenc32 here, and none on PATH
    CAudioPage page;
    AddFile(page, tone, Format(kFormatAac));
    platform::SetInstallDirForTesting(install.path());
    MessageRecorder messages;
    ShellRecorder shell;
    RunPage(page);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains("the encoder program aacenc32 was not found"))
        << messages.shown[0].text.toStdString();
}

TEST_F(AudioRun, ShutDownAfterAllAsksTheSystemAndShowsNothing) {
    CAudioPage page;
    AddFile(page, tone);
    page.AfterAll()->setCurrentIndex(1);
    MessageRecorder messages;
    ShellRecorder shell;
    SystemRecorder system;
    RunPage(page);
    EXPECT_EQ(system.powerOffs, 1);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_TRUE(QFile::exists(out + "/tone.WAV"));
}

TEST_F(AudioRun, StartingTwiceConvertsTheSameTasksAgain) {
    CAudioPage page;
    AddFile(page, tone, Format(kFormatApe));
    MessageRecorder messages;
    ShellRecorder shell;
    RunPage(page);
    QFile::remove(out + "/tone.APE");
    RunPage(page);
    EXPECT_EQ(ProbeAudio(out + "/tone.APE").codec, "ape");
    EXPECT_EQ(messages.shown.size(), 2u);
}

} // namespace
