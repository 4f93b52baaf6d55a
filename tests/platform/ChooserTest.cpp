#include "CFolderChooser.h"
#include "CKSFileDialog.h"
#include "Recorders.h"

#include <QApplication>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testing_support;

TEST(CFolderChooser, TypedNewFolderIsCreatedBeforeAccepting) {
    MessageRecorder messages;
    ChooserRecorder choosers;
    QTemporaryDir tmp;
    const QString typed = tmp.path() + QStringLiteral("/Converted/Music");
    choosers.onFolder = [&](CFolderChooser& c) {
        EXPECT_EQ(c.Edit()->text(), tmp.path()); // the start folder is offered
        c.Edit()->setText(typed);
        EXPECT_TRUE(c.OkButton()->isEnabled());
        c.OnOK();
        return c.result();
    };
    CFolderChooser chooser(QStringLiteral("Please select a folder to save output files"),
                           QStringLiteral("Please select a folder or create a new folder to save "
                                          "output files"),
                           tmp.path());
    EXPECT_EQ(chooser.DoModal(), 1);
    EXPECT_EQ(chooser.GetFolder(), typed);
    EXPECT_TRUE(QFileInfo(typed).isDir());
    EXPECT_EQ(messages.shown.size(), 1u); // the question to create it
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Please select a folder to save output files"));
}

TEST(CFolderChooser, DecliningToCreateKeepsTheChooserOpen) {
    MessageRecorder messages;
    messages.Answer(platform::IDNO);
    QTemporaryDir tmp;
    CFolderChooser chooser(QString(), QString(), tmp.path());
    chooser.show();
    chooser.Edit()->setText(tmp.path() + QStringLiteral("/New"));
    chooser.OnOK();
    EXPECT_FALSE(chooser.Accepted());
    EXPECT_TRUE(chooser.isVisible());
    EXPECT_EQ(chooser.focusWidget(), chooser.Edit());
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + QStringLiteral("/New")));
    // Malformed text: reported, still open.
    chooser.Edit()->setText(QStringLiteral("relative/path"));
    chooser.OnOK();
    EXPECT_FALSE(chooser.Accepted());
    EXPECT_EQ(messages.shown.size(), 2u);
    chooser.OnCancel();
    EXPECT_FALSE(chooser.Accepted());
}

TEST(CFolderChooser, SelectionDrivesTheFieldAndOk) {
    QTemporaryDir tmp;
    CFolderChooser chooser(QString(), QString(), tmp.path());
    chooser.OnSelChanged(chooser.Model()->index(tmp.path()));
    EXPECT_EQ(chooser.Edit()->text(), tmp.path());
    EXPECT_TRUE(chooser.OkButton()->isEnabled());
    // The tree's virtual root has no folder path.
    chooser.OnSelChanged(QModelIndex());
    EXPECT_EQ(chooser.Edit()->text(), QString());
    EXPECT_FALSE(chooser.OkButton()->isEnabled());
    chooser.Edit()->setText(QStringLiteral("/x"));
    EXPECT_TRUE(chooser.OkButton()->isEnabled());
    EXPECT_EQ(chooser.GetFolder(), QStringLiteral("/x"));
}

TEST(CKSFileDialog, DisablesTheWindowWhileOpenAndReturnsThePath) {
    ChooserRecorder choosers;
    QWidget main;
    main.show();
    bool disabledDuring = false;
    choosers.onFile = [&](CKSFileDialog& d) {
        disabledDuring = !main.isEnabled();
        EXPECT_TRUE(d.IsOpenDialog());
        EXPECT_EQ(d.Title(), QStringLiteral("Select a logo picture"));
        EXPECT_EQ(d.NameFilters(), QStringList({QStringLiteral("Pictures (*.bmp *.png)"),
                                                QStringLiteral("All (*.*)")}));
        EXPECT_EQ(d.SelectedNameFilter(), QStringLiteral("All (*.*)"));
        d.SetPathName(QStringLiteral("/pictures/logo.png"));
        return 1;
    };
    CKSFileDialog dialog(true, QString(), QString(),
                         QStringLiteral("Pictures|*.bmp;*.png|All|*.*||"));
    dialog.SetWindowToDisable(&main);
    dialog.SetFilterIndex(2);
    dialog.SetTitle(QStringLiteral("Select a logo picture"));
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(dialog.GetPathName(), QStringLiteral("/pictures/logo.png"));

    choosers.onFile = [](CKSFileDialog&) { return 2; };
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(dialog.GetPathName(), QString());
    EXPECT_TRUE(main.isEnabled());
}
