// The audio page: its controls, the task list commands and their limits.

#include "AudioTestSupport.h"
#include "CAudioPage.h"
#include "CAudioSettingsDlg.h"
#include "CFolderChooser.h"
#include "Paths.h"
#include "Recorders.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace audiotest;
using testing_support::ChooserRecorder;
using testing_support::MessageRecorder;

namespace {

class AudioPage : public ::testing::Test {
protected:
    void SetUp() override {
        UseRealControl();
        a = dir.path() + "/a.wav";
        b = dir.path() + "/b.wav";
        MakeTone(a, 0.5);
        QFile::copy(a, b);
    }
    void TearDown() override { platform::SetInstallDirForTesting({}); }
    QTemporaryDir dir;
    QString a, b;
};

TEST_F(AudioPage, StartsIdleWithItsDefaults) {
    CAudioPage page;
    page.show();
    EXPECT_EQ(page.objectName(), "130");
    for (int id : {1148, 1137, 1145, 1120, 1121, 1143, 1116, 1117, 1111, 1115, 1170})
        EXPECT_NE(page.findChild<QWidget*>(QString::number(id)), nullptr) << id;
    EXPECT_EQ(page.OutputEdit()->text(), platform::InstallDir() + "/Music");
    ASSERT_EQ(page.AfterAll()->count(), 2);
    EXPECT_EQ(page.AfterAll()->itemText(0), "Do nothing");
    EXPECT_EQ(page.AfterAll()->itemText(1), "Shut down computer");
    EXPECT_EQ(page.AfterAll()->currentIndex(), 0);
    EXPECT_FALSE(page.CancelButton()->isEnabled());
    EXPECT_TRUE(page.StartButton()->isEnabled());
    EXPECT_EQ(page.TaskBar()->maximum(), 100);
    EXPECT_EQ(page.BatchBar()->maximum(), 100);
    QStringList headers;
    for (int c = 0; c < 3; ++c)
        headers << page.List()->headerItem()->text(c);
    EXPECT_EQ(headers, (QStringList{"Source Audio", "From", "To"}));
    EXPECT_EQ(page.List()->columnWidth(0), 370);
    const QList<QAction*> commands = page.AddMenu()->actions();
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands[0]->objectName(), "32782");
    EXPECT_EQ(commands[1]->objectName(), "32783");
    for (QWidget* w : page.findChildren<QWidget*>()) {
        if (w->isVisible() && w->focusPolicy() != Qt::NoFocus) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_TRUE(page.Media().IsCreated());
}

TEST_F(AudioPage, RemovingEmptiesSlotsWithoutReusingThem) {
    CAudioPage page;
    AddFile(page, a);
    AddFile(page, b, [](CAudioSettingsDlg& d) {
        d.Combo(CAudioSettingsDlg::IDC_FORMAT)->setCurrentIndex(kFormatOgg);
    });
    ASSERT_EQ(page.List()->topLevelItemCount(), 2);
    QTreeWidgetItem* second = page.List()->topLevelItem(1);
    EXPECT_EQ(second->text(0), b);
    EXPECT_EQ(second->text(1), "WAV");
    EXPECT_EQ(second->text(2), "OGG");

    page.OnRemove(); // nothing selected
    EXPECT_EQ(page.List()->topLevelItemCount(), 2);
    page.List()->topLevelItem(0)->setSelected(true);
    page.OnRemove();
    ASSERT_EQ(page.List()->topLevelItemCount(), 1);
    EXPECT_EQ(page.List()->topLevelItem(0)->text(0), b);
    EXPECT_EQ(page.List()->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 1);
    EXPECT_EQ(page.Tasks().SlotCount(), 2);
    EXPECT_TRUE(page.Tasks()[0].IsEmpty());

    AddFile(page, a);
    AddFile(page, a);
    EXPECT_EQ(page.Tasks().SlotCount(), 4);
    for (int row = 0; row < 3; ++row)
        page.List()->topLevelItem(row)->setSelected(true);
    page.OnRemove();
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);
    EXPECT_EQ(page.Tasks().SlotCount(), 4);
}

TEST_F(AudioPage, FolderImportKeepsSupportedNamesOfTheFolderOnly) {
    QDir folder(dir.path());
    ASSERT_TRUE(folder.mkpath("in/c"));
    for (const char* name : {"in/a.MP3", "in/b.txt", "in/d.rmvb", "in/c/e.mp3", "in/noext"}) {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    CAudioPage page;
    ChooserRecorder chooser;
    const QString in = dir.path() + "/in";
    chooser.onFolder = [&](CFolderChooser& c) {
        c.Edit()->setText(in);
        c.OnOK();
        return 1;
    };
    DialogScript script;
    page.OnAddFolder();
    QStringList names = page.FolderFiles();
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.MP3", "d.rmvb"}));
    ASSERT_EQ(page.List()->topLevelItemCount(), 2);
    QStringList rows, from;
    for (int r = 0; r < 2; ++r) {
        rows << page.List()->topLevelItem(r)->text(0);
        from << page.List()->topLevelItem(r)->text(1);
    }
    rows.sort();
    from.sort();
    EXPECT_EQ(rows, (QStringList{in + "/a.MP3", in + "/d.rmvb"}));
    EXPECT_EQ(from, (QStringList{"MP3", "RMVB"}));

    // Double-clicking a row opens its source with the associated program.
    testing_support::ShellRecorder shell;
    page.List()->topLevelItem(1)->setSelected(true);
    page.OnOpenSource();
    EXPECT_EQ(shell.opened, QStringList{page.List()->topLevelItem(1)->text(0)});
}

TEST_F(AudioPage, AFolderWithoutSupportedFilesAddsNothing) {
    QDir(dir.path()).mkpath("empty");
    CAudioPage page;
    ChooserRecorder chooser;
    chooser.onFolder = [&](CFolderChooser& c) {
        c.Edit()->setText(dir.path() + "/empty");
        c.OnOK();
        return 1;
    };
    DialogScript script;
    page.OnAddFolder();
    EXPECT_EQ(script.settingsRuns, 1);
    EXPECT_TRUE(page.FolderFiles().isEmpty());
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);
}

TEST_F(AudioPage, FolderListingStopsAtTheTableSize) {
    QDir(dir.path()).mkpath("many");
    for (int i = 0; i < CAudioPage::kMaxFolderFiles + 5; ++i) {
        QFile f(QStringLiteral("%1/many/%2.mp3").arg(dir.path()).arg(i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    bool overflow = false;
    EXPECT_EQ(CAudioPage::SupportedNamesIn(dir.path() + "/many", &overflow).size(),
              CAudioPage::kMaxFolderFiles);
    EXPECT_TRUE(overflow);
}

TEST_F(AudioPage, AFullTableRefusesAddsWithAMessage) {
    CAudioPage page;
    AudioTask t;
    t.sourcePath = a;
    while (page.Tasks().Append(t)) {
    }
    MessageRecorder messages;
    DialogScript script;
    page.OnAddFile();
    page.OnAddFolder();
    EXPECT_EQ(script.settingsRuns, 0);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].caption, "Task list is full");
    EXPECT_EQ(page.Tasks().SlotCount(), AudioTaskTable::kSlots);
}

TEST_F(AudioPage, BrowseForTheOutputFolder) {
    CAudioPage page;
    ChooserRecorder chooser;
    QString caption;
    chooser.onFolder = [&](CFolderChooser& c) {
        caption = c.windowTitle();
        c.Edit()->setText(dir.path());
        c.OnOK();
        return 1;
    };
    page.OnBrowseOutput();
    EXPECT_EQ(page.OutputEdit()->text(), dir.path());
    chooser.onFolder = [](CFolderChooser&) { return 2; };
    page.OnBrowseOutput();
    EXPECT_EQ(page.OutputEdit()->text(), dir.path());
}

TEST_F(AudioPage, StartWithAnEmptyListOrAMissingFolderDoesNotRun) {
    CAudioPage page;
    MessageRecorder messages;
    page.OnStart();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "You haven't add any audio files to the task list.");
    EXPECT_EQ(messages.shown[0].caption, "Task list is empty");
    EXPECT_EQ(messages.shown[0].icon, platform::Icon::Error);
    EXPECT_FALSE(page.IsRunning());

    AddFile(page, a);
    page.OutputEdit()->setText(dir.path() + "/not/yet");
    messages.Answer(platform::IDNO); // do not create it
    page.OnStart();
    EXPECT_FALSE(page.IsRunning());
    EXPECT_TRUE(page.StartButton()->isEnabled());
}

} // namespace
