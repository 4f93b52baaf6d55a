// The CD page over an image drive: the track list, runs of the rip list to
// the completion message, Cancel, Refresh, Ogg output and the option dialogs.

#include "CCDPage.h"
#include "CdImage.h"
#include "RipOptionsDlg.h"

#include "ComponentRegistry.h"
#include "Recorders.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace testing_support;

namespace {

std::string Probe(const QString& file) {
    std::string out;
    const std::string cmd = "ffprobe -v error -show_entries stream=codec_name,channels "
                            "-of default=noprint_wrappers=1 '" +
                            file.toStdString() + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        pclose(p);
    return out;
}

class CDPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheRipOptions() = RipOptions{};
        image = cdtest::WriteImage(dir.path().toStdString(), cdtest::MixedDisc());
        setenv("QUINTREL_CD_IMAGES", image.cue.c_str(), 1);
        automation::HRESULT hr = automation::E_FAIL;
        ASSERT_EQ(automation::SelfRegistration::Called,
                  automation::RegisterServer(QUINTREL_TRAKKON_LIBRARY, &hr));
        out = dir.path() + QStringLiteral("/out");
        QDir().mkpath(out);
    }
    void TearDown() override {
        platform::InstallDialogRunner({});
        unsetenv("QUINTREL_CD_IMAGES");
    }
    // The page whose drive is the image (real drives come first).
    std::unique_ptr<CCDPage> MakePage() {
        auto page = std::make_unique<CCDPage>();
        EXPECT_TRUE(page->HasControl());
        const int last = page->Drives()->count() - 1;
        if (last > 0) {
            page->Drives()->setCurrentIndex(last);
            page->OnRefresh();
            page->OnCDRomStatus(true);
        }
        page->OutputEdit()->setText(out);
        return page;
    }
    void AddTrack(CCDPage& page, int row) {
        page.TrackList()->setCurrentRow(row);
        page.OnAdd();
    }
    bool PumpUntil(const std::function<bool()>& done, int ms = 60000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    QTemporaryDir dir;
    cdtest::CdImage image;
    QString out;
    MessageRecorder messages;
    ShellRecorder shell;
};

TEST_F(CDPageTest, TrackListSkipsTheDataTrack) {
    auto page = MakePage();
    ASSERT_EQ(2, page->TrackList()->count());
    EXPECT_EQ("Track 1", page->TrackList()->item(0)->text());
    EXPECT_EQ("Track 3", page->TrackList()->item(1)->text());
    EXPECT_EQ(2, page->TrackList()->item(1)->data(Qt::UserRole).toInt());
    EXPECT_EQ(0, page->TrackList()->currentRow());
    EXPECT_EQ("Output format: MP3", page->Format()->itemText(0));
    EXPECT_EQ("Output format: OGG", page->Format()->itemText(1));
    EXPECT_FALSE(page->CancelButton()->isEnabled());

    // Start with an empty rip list.
    page->OnStart();
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ("Task list is empty", messages.shown[0].caption);
    EXPECT_EQ(platform::Icon::Error, messages.shown[0].icon);
    EXPECT_FALSE(page->IsRunning());

    // Add, add again, remove.
    AddTrack(*page, 1);
    AddTrack(*page, 1);
    ASSERT_EQ(2, page->RipList()->count());
    EXPECT_EQ("Track 3", page->RipList()->item(1)->text());
    page->RipList()->setCurrentRow(1);
    page->OnRemove();
    EXPECT_EQ(1, page->RipList()->count());
    EXPECT_EQ(0, page->RipList()->currentRow());
}

TEST_F(CDPageTest, StartRipsThreeEntriesToTheCompletionMessage) {
    auto page = MakePage();
    AddTrack(*page, 0);
    AddTrack(*page, 1);
    AddTrack(*page, 0);
    page->OnStart();
    ASSERT_TRUE(page->IsRunning());
    EXPECT_FALSE(page->StartButton()->isEnabled());
    EXPECT_TRUE(page->CancelButton()->isEnabled());
    EXPECT_EQ(3, page->ListBar()->maximum());
    std::vector<int> listPositions{page->ListBar()->value()};
    ASSERT_TRUE(PumpUntil([&] {
        if (listPositions.back() != page->ListBar()->value())
            listPositions.push_back(page->ListBar()->value());
        return !messages.shown.empty();
    }));
    EXPECT_EQ("Congratulation", messages.shown[0].caption);
    EXPECT_EQ("Conversion has been finished successfully! Programme will open the output folder "
              "for you to browse the converted files.",
              messages.shown[0].text);
    EXPECT_EQ(QStringList{out}, shell.opened);
    EXPECT_FALSE(page->IsRunning());
    for (QWidget* w : page->RunningSet())
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(page->CancelButton()->isEnabled());
    EXPECT_EQ((std::vector<int>{0, 1, 2, 0}), listPositions);
    EXPECT_EQ(0, page->ListBar()->value());
    EXPECT_NE(std::string::npos, Probe(out + "/Track1.mp3").find("codec_name=mp3"));
    EXPECT_NE(std::string::npos, Probe(out + "/Track3.mp3").find("codec_name=mp3"));
    EXPECT_FALSE(QFile::exists(out + "/Track2.mp3"));
}

TEST_F(CDPageTest, CancelStopsTheRunWithItsMessage) {
    QTemporaryDir longDir;
    cdtest::CdImage longImage = cdtest::WriteImage(longDir.path().toStdString(),
                                                   {{true, 75 * 120, 0, 500}, {true, 75, 0, 300}});
    setenv("QUINTREL_CD_IMAGES", longImage.cue.c_str(), 1);
    auto page = MakePage();
    AddTrack(*page, 0);
    AddTrack(*page, 1);
    page->OnStart();
    ASSERT_TRUE(PumpUntil([&] { return page->TrackBar()->value() > 0; }));
    page->OnCancel();
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ("You have cancelled the conversion process by force!", messages.shown[0].text);
    EXPECT_EQ("Message", messages.shown[0].caption);
    EXPECT_FALSE(page->IsRunning());
    EXPECT_TRUE(page->StartButton()->isEnabled());
    EXPECT_EQ(0, page->TrackBar()->value());
    PumpUntil([] { return false; }, 700);
    EXPECT_EQ(1u, messages.shown.size());
    EXPECT_FALSE(QFile::exists(out + "/Track2.mp3"));
}

TEST_F(CDPageTest, OggOutputWithItsDialog) {
    auto page = MakePage();
    page->Format()->setCurrentIndex(1);
    QString shown;
    platform::InstallDialogRunner([&](QDialog& d) {
        shown = d.objectName();
        auto* ogg = dynamic_cast<COggOptionsDlg*>(&d);
        if (!ogg)
            return 0;
        ogg->Channels()->setCurrentIndex(1);
        ogg->OnOK();
        return 1;
    });
    page->OnAdvanced();
    EXPECT_EQ("156", shown);
    EXPECT_EQ(1, TheRipOptions().oggChannels);
    AddTrack(*page, 1);
    page->OnStart();
    ASSERT_TRUE(PumpUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ("Congratulation", messages.shown[0].caption);
    const std::string probe = Probe(out + "/Track3.ogg");
    EXPECT_NE(std::string::npos, probe.find("codec_name=vorbis")) << probe;
    EXPECT_NE(std::string::npos, probe.find("channels=1")) << probe;
}

TEST_F(CDPageTest, RefreshWaitsForAReadyDisc) {
    auto page = MakePage();
    AddTrack(*page, 0);
    std::filesystem::rename(image.cue, image.cue + ".away");
    page->OnRefresh();
    EXPECT_EQ(0, page->TrackList()->count());
    EXPECT_EQ(0, page->RipList()->count());
    EXPECT_TRUE(page->RefreshPending());
    page->OnCDRomStatus(false);
    EXPECT_TRUE(page->RefreshPending());
    std::filesystem::rename(image.cue + ".away", image.cue);
    // The control's own status timer carries the refresh out.
    ASSERT_TRUE(PumpUntil([&] { return !page->RefreshPending(); }, 5000));
    EXPECT_EQ(2, page->TrackList()->count());
}

TEST_F(CDPageTest, PageWithoutTheControl) {
    automation::ComponentRegistry().UnregisterClass(trakkon::CLSID_Trakkon);
    CCDPage page;
    EXPECT_FALSE(page.HasControl());
    EXPECT_EQ(0, page.Drives()->count());
    EXPECT_EQ(0, page.TrackList()->count());
    page.OnRefresh();
    page.OnCDRomStatus(true);
    page.OnPlay();
    EXPECT_EQ(0, page.TrackList()->count());
}

TEST(RipOptionsDlgTest, Mp3DialogBitrateRuleDefaultAndCancel) {
    RipOptions options;
    {
        CMp3OptionsDlg dlg(options);
        EXPECT_EQ(18, dlg.Bitrate()->count());
        EXPECT_EQ("128 bps", dlg.Bitrate()->currentText());
        EXPECT_EQ("44100", dlg.SampleRate()->currentText());
        EXPECT_TRUE(dlg.Bitrate()->isEnabled());
        dlg.VbrMode()->setCurrentIndex(3); // "VBR New"
        dlg.OnVbrModeChanged();
        EXPECT_FALSE(dlg.Bitrate()->isEnabled());
        dlg.Bitrate()->setCurrentIndex(2);
        dlg.OnDefault();
        EXPECT_TRUE(dlg.Bitrate()->isEnabled());
        EXPECT_EQ("128 bps", dlg.Bitrate()->currentText());
        dlg.SampleRate()->setCurrentIndex(4);
        dlg.VbrMode()->setCurrentIndex(3);
        dlg.OnCancel();
    }
    EXPECT_EQ(7, options.mp3SampleRatePos);
    EXPECT_EQ(0, options.mp3VbrMode);
    {
        CMp3OptionsDlg dlg(options);
        dlg.SampleRate()->setCurrentIndex(4);
        dlg.VbrMode()->setCurrentIndex(3);
        dlg.Channels()->setCurrentIndex(3);
        dlg.OnOK();
    }
    EXPECT_EQ(22050, options.mp3SampleRate);
    EXPECT_EQ(4, options.mp3SampleRatePos);
    EXPECT_EQ(3, options.mp3VbrMode);
    EXPECT_EQ(3, options.mp3Channels);
    EXPECT_EQ(11, options.mp3Bitrate);
    CMp3OptionsDlg again(options);
    EXPECT_FALSE(again.Bitrate()->isEnabled());
}

TEST(RipOptionsDlgTest, OggDialogListsAndDefault) {
    RipOptions options;
    COggOptionsDlg dlg(options);
    EXPECT_EQ(" 80 bps", dlg.Minimum()->currentText());
    EXPECT_EQ("160 bps", dlg.Nominal()->currentText());
    EXPECT_EQ("350 bps", dlg.Maximum()->currentText());
    EXPECT_EQ("196 bps", dlg.Maximum()->itemText(8));
    EXPECT_EQ("44100", dlg.SampleRate()->currentText());
    dlg.Minimum()->setCurrentIndex(0);
    dlg.SampleRate()->setCurrentIndex(10);
    dlg.OnDefault();
    EXPECT_EQ(4, dlg.Minimum()->currentIndex());
    dlg.SampleRate()->setCurrentIndex(10);
    dlg.Maximum()->setCurrentIndex(8);
    dlg.OnOK();
    EXPECT_EQ(96000, options.oggSampleRate);
    EXPECT_EQ(10, options.oggSampleRatePos);
    EXPECT_EQ(8, options.oggMax); // the position, not "196"
}

} // namespace
