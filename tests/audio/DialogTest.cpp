// The audio output settings dialog and the clip dialog, driven through their
// handlers with the real media control answering durations and profiles.

#include "AudioTestSupport.h"
#include "CAudioClipDlg.h"
#include "CAudioSettingsDlg.h"
#include "CFennick.h"
#include "CKSFileDialog.h"
#include "Recorders.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace audiotest;
using testing_support::ChooserRecorder;
using testing_support::MessageRecorder;

namespace {

class AudioDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        UseRealControl();
        ASSERT_TRUE(automation::Succeeded(media.Create()));
        tone = dir.path() + "/tone.wav";
        MakeTone(tone, 2.5);
    }
    QTemporaryDir dir;
    QString tone;
    CFennick media;
    AudioTaskTable table;
    QStringList folderFiles;
};

TEST_F(AudioDialogs, ClipChecksRunInOrder) {
    const QString stopBig =
        QStringLiteral("The stop time of the audio clip can't be bigger than the total time.");
    struct Case {
        const char* start;
        const char* stop;
        const char* message; // nullptr: accepted
    } cases[] = {
        {"0", "2.500000", nullptr},
        {"1", "2", nullptr},
        {"10", "10", "The stop time of the audio clip can't be bigger than the total time."},
        {"1", "1", "The start time of the audio clip should be smaller than the stop time."},
        {"2.5", "2.5", "The start time of the audio clip can't be bigger than the total time."},
        {"0", "3", "The stop time of the audio clip can't be bigger than the total time."},
        {"-1", "abc", "The start time of the audio clip should be zero or bigger than zero."},
        {"0", "abc", "The stop time of the audio clip should be bigger than zero."},
        {"2", "1", "The start time of the audio clip should be smaller than the stop time."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + c.stop);
        MessageRecorder messages;
        CAudioClipDlg dlg(media);
        dlg.sourcePath = tone;
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.TotalEdit()->text(), "2.500000");
        EXPECT_EQ(dlg.StartEdit()->text(), "0");
        EXPECT_EQ(dlg.StopEdit()->text(), "2.500000");
        dlg.StartEdit()->setText(c.start);
        dlg.StopEdit()->setText(c.stop);
        dlg.OnOK();
        if (!c.message) {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(dlg.startText, c.start);
            EXPECT_EQ(dlg.stopText, c.stop);
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, c.message);
            EXPECT_TRUE(messages.shown[0].caption.isEmpty());
            EXPECT_NE(dlg.result(), QDialog::Accepted);
            EXPECT_TRUE(dlg.startText.isEmpty());
            EXPECT_EQ(dlg.StopEdit()->text(), c.stop); // fields unchanged
        }
    }
}

TEST_F(AudioDialogs, ClipPreviewOpensTheSource) {
    testing_support::ShellRecorder shell;
    CAudioClipDlg dlg(media);
    dlg.sourcePath = tone;
    dlg.OnPreview();
    EXPECT_EQ(shell.opened, QStringList{tone});
}

// Opens the dialog in single-file mode with the chooser answering path.
struct SingleFile {
    SingleFile(AudioDialogs* t, CFennick& media, AudioTaskTable& table, const QStringList& files,
               const QString& path)
        : dlg(media, table, files) {
        ChooserRecorder chooser;
        chooser.onFile = [&](CKSFileDialog& d) {
            seenTitle = d.Title();
            seenExt = d.DefaultExtension();
            if (path.isEmpty())
                return 2;
            d.SetPathName(path);
            return 1;
        };
        dlg.OnInitDialog();
        (void)t;
    }
    CAudioSettingsDlg dlg;
    QString seenTitle, seenExt;
};

TEST_F(AudioDialogs, SettingsDefaultsMakeAWavTaskWithEveryField) {
    DialogScript script; // the clip dialog: OK at once
    SingleFile s(this, media, table, folderFiles, tone);
    EXPECT_EQ(s.seenTitle, "Please select an audio/video file to convert:");
    EXPECT_EQ(s.seenExt, "fn2");
    EXPECT_EQ(s.dlg.SourceEdit()->text(), tone);
    s.dlg.OnOK();
    ASSERT_EQ(table.SlotCount(), 1);
    EXPECT_EQ(script.clipRuns, 1);
    const AudioTask& t = table[0];
    EXPECT_EQ(t.sourcePath, tone);
    EXPECT_EQ(t.clipStart, "0");
    EXPECT_EQ(t.clipStop, "2.500000");
    EXPECT_EQ(t.format, kFormatWav);
    EXPECT_EQ(t.wavChannels, 1);
    EXPECT_EQ(t.wavSampleSize, 1);
    EXPECT_EQ(t.wavSampleRatePos, 7);
    EXPECT_EQ(t.wavSampleRate, 44100);
    EXPECT_EQ(t.mp3Bitrate, 128);
    EXPECT_EQ(t.mp3SampleRate, 44100);
    EXPECT_EQ(t.mp3ChannelMode, 0);
    EXPECT_EQ(t.mp3Vbr, 0);
    EXPECT_EQ(t.oggQuality, 1);
    EXPECT_EQ(t.oggSampleRate, 44100);
    EXPECT_EQ(t.oggChannels, 0);
    EXPECT_EQ(t.apeLevel, 1);
    EXPECT_EQ(t.aacSetting, 20);
    EXPECT_EQ(s.dlg.result(), QDialog::Accepted);
}

TEST_F(AudioDialogs, ClosedClipDialogMeansTheWholeFile) {
    DialogScript script;
    script.clip = [](CAudioClipDlg& d) { d.reject(); };
    SingleFile s(this, media, table, folderFiles, tone);
    s.dlg.OnOK();
    ASSERT_EQ(table.SlotCount(), 1);
    EXPECT_TRUE(table[0].clipStart.isEmpty());
    EXPECT_TRUE(table[0].clipStop.isEmpty());
}

TEST_F(AudioDialogs, FormatRuleEnablesOnlyTheChosenFormatsLists) {
    DialogScript script;
    SingleFile s(this, media, table, folderFiles, tone);
    using D = CAudioSettingsDlg;
    const std::vector<std::vector<int>> enabled = {
        {D::IDC_WAV_CHANNELS, D::IDC_WAV_RATE, D::IDC_WAV_SIZE},
        {D::IDC_MP3_BITRATE, D::IDC_MP3_RATE, D::IDC_MP3_MODE, D::IDC_MP3_VBR},
        {D::IDC_WMA_PROFILE},
        {D::IDC_OGG_QUALITY, D::IDC_OGG_RATE, D::IDC_OGG_CHANNELS},
        {D::IDC_APE_LEVEL},
        {D::IDC_AAC}};
    for (int format = 0; format < 6; ++format) {
        s.dlg.Combo(D::IDC_FORMAT)->setCurrentIndex(format);
        s.dlg.OnFormatChanged();
        for (int f = 0; f < 6; ++f)
            for (int id : enabled[f])
                EXPECT_EQ(s.dlg.Combo(id)->isEnabled(), f == format) << format << " " << id;
    }
    EXPECT_FALSE(s.dlg.Combo(D::IDC_OGG_CHANNELS)->isVisibleTo(&s.dlg));
}

TEST_F(AudioDialogs, DependentLists) {
    DialogScript script;
    SingleFile s(this, media, table, folderFiles, tone);
    using D = CAudioSettingsDlg;
    QComboBox* bitrate = s.dlg.Combo(D::IDC_MP3_BITRATE);
    QComboBox* rate = s.dlg.Combo(D::IDC_MP3_RATE);
    s.dlg.Combo(D::IDC_FORMAT)->setCurrentIndex(kFormatMp3);
    s.dlg.OnFormatChanged();
    rate->setCurrentText("8000");
    bitrate->setCurrentText("8");
    s.dlg.OnMp3BitrateChanged();
    EXPECT_EQ(rate->currentText(), "24000");
    bitrate->setCurrentText("16");
    s.dlg.OnMp3BitrateChanged();
    EXPECT_EQ(rate->currentText(), "44100");

    s.dlg.Combo(D::IDC_MP3_VBR)->setCurrentIndex(1);
    s.dlg.OnMp3VbrChanged();
    EXPECT_FALSE(bitrate->isEnabled());
    s.dlg.OnFormatChanged(); // choosing MP3 again enables it whatever VBR says
    EXPECT_TRUE(bitrate->isEnabled());

    struct AacCase {
        const char* entry;
        const char* text;
    } aac[] = {{"CBR 448 kbps", "448"},
               {"CBR 32 kbps", "32"},
               {"VBR tape(lowest)", "16"},
               {"VBR transcoding(ultra)", "23"}};
    for (const AacCase& c : aac) {
        s.dlg.Combo(D::IDC_AAC)->setCurrentText(c.entry);
        s.dlg.OnAacChanged();
        EXPECT_EQ(s.dlg.AacSettingText(), c.text);
    }
    s.dlg.OnOK();
    ASSERT_EQ(table.SlotCount(), 1);
    EXPECT_EQ(table[0].format, kFormatMp3);
    EXPECT_EQ(table[0].mp3Vbr, 1);
    EXPECT_EQ(table[0].mp3Bitrate, 16); // still the selected entry's number
    EXPECT_EQ(table[0].aacSetting, 23);
}

TEST_F(AudioDialogs, WmaProfilesAreTheControlsAudioProfiles) {
    DialogScript script;
    SingleFile s(this, media, table, folderFiles, tone);
    QComboBox* list = s.dlg.Combo(CAudioSettingsDlg::IDC_WMA_PROFILE);
    const CFennickProfiles profiles = media.GetMediaProfiles();
    QStringList audio;
    int lastIndex = -1;
    for (short i = 0; i < profiles.GetCount(); ++i)
        if (profiles.NameAt(i).contains("Audio")) {
            audio << profiles.NameAt(i);
            lastIndex = i;
        }
    ASSERT_FALSE(audio.isEmpty());
    ASSERT_EQ(list->count(), audio.size());
    for (int i = 0; i < list->count(); ++i)
        EXPECT_EQ(list->itemText(i), audio[i]);
    EXPECT_EQ(list->currentIndex(), list->count() - 1);
    s.dlg.Combo(CAudioSettingsDlg::IDC_FORMAT)->setCurrentIndex(kFormatWma);
    s.dlg.OnOK();
    ASSERT_EQ(table.SlotCount(), 1);
    EXPECT_EQ(table[0].wmaProfile, lastIndex);
}

TEST_F(AudioDialogs, WithoutAControlTheWmaListIsEmptyAndStoresMinusOne) {
    CFennick none; // never created
    AudioTaskTable t;
    QStringList files{"a.mp3"};
    CAudioSettingsDlg dlg(none, t, files);
    dlg.SetFolderMode("/music");
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.Combo(CAudioSettingsDlg::IDC_WMA_PROFILE)->count(), 0);
    dlg.OnOK();
    ASSERT_EQ(t.SlotCount(), 1);
    EXPECT_EQ(t[0].wmaProfile, -1);
}

TEST_F(AudioDialogs, FolderModeJoinsFolderAndNames) {
    struct Case {
        const char* folder;
        QStringList names;
        QStringList paths;
    } cases[] = {
        {"/", {"a.mp3"}, {"/a.mp3"}},
        {"/music", {"a.mp3", "B.WAV"}, {"/music/a.mp3", "/music/B.WAV"}},
        {"/music", {}, {}},
    };
    for (const Case& c : cases) {
        AudioTaskTable t;
        CAudioSettingsDlg dlg(media, t, c.names);
        dlg.SetFolderMode(c.folder);
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.SourceEdit()->text(), c.folder);
        EXPECT_FALSE(dlg.SourceEdit()->isEnabled());
        EXPECT_FALSE(dlg.BrowseButton()->isEnabled());
        dlg.OnOK();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        ASSERT_EQ(t.SlotCount(), c.paths.size());
        for (int i = 0; i < t.SlotCount(); ++i) {
            EXPECT_EQ(t[i].sourcePath, c.paths[i]);
            EXPECT_TRUE(t[i].clipStart.isEmpty());
        }
    }
}

TEST_F(AudioDialogs, RefusalsKeepTheDialogOpen) {
    DialogScript script;
    {
        MessageRecorder messages;
        SingleFile s(this, media, table, folderFiles, QString()); // chooser cancelled
        EXPECT_TRUE(s.dlg.SourceEdit()->text().isEmpty());
        s.dlg.OnOK();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Please select a media file to convert.");
        EXPECT_EQ(messages.shown[0].caption, "Task list is empty");
        EXPECT_EQ(messages.shown[0].icon, platform::Icon::Error);
        EXPECT_NE(s.dlg.result(), QDialog::Accepted);
    }
    {
        MessageRecorder messages;
        const QString junk = dir.path() + "/junk.mp3";
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        SingleFile s(this, media, table, folderFiles, junk);
        s.dlg.OnOK();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Can't support the audio file that you have just "
                                          "imported! Please specify another audio file.");
        EXPECT_TRUE(messages.shown[0].caption.isEmpty());
        EXPECT_EQ(messages.shown[0].icon, platform::Icon::None);
        EXPECT_EQ(script.clipRuns, 0);
    }
    EXPECT_EQ(table.SlotCount(), 0);
}

TEST_F(AudioDialogs, AFullTableRefusesTheAddAndStaysIntact) {
    AudioTask t;
    t.sourcePath = "/x.wav";
    while (table.FreeSlots() > 1)
        table.Append(t);
    MessageRecorder messages;
    QStringList two{"a.mp3", "b.mp3"};
    CAudioSettingsDlg dlg(media, table, two);
    dlg.SetFolderMode("/music");
    dlg.OnInitDialog();
    dlg.OnOK();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Task list is full");
    EXPECT_EQ(table.SlotCount(), AudioTaskTable::kSlots - 1);
    EXPECT_EQ(table[AudioTaskTable::kSlots - 2].sourcePath, "/x.wav");
}

} // namespace
