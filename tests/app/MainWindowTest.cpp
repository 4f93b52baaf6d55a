#include "CPageTabCtrl.h"
#include "CQuintrelDlg.h"

#include <QAccessible>
#include <QLabel>
#include <QTabBar>

#include <gtest/gtest.h>

TEST(MainWindow, OpensOnTheCdPageWithFourTabs) {
    CQuintrelDlg dlg;
    dlg.show();
    CPageTabCtrl* tabs = dlg.Tabs();
    ASSERT_EQ(tabs->TabBar()->count(), 4);
    const char* texts[] = {"CD to MP3/OGG", "Audio Converter", "Video Converter", "Update"};
    const char* pageIds[] = {"132", "130", "131", "134"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tabs->TabBar()->tabText(i), QString::fromLatin1(texts[i]));
        EXPECT_FALSE(tabs->TabBar()->tabIcon(i).isNull());
        EXPECT_EQ(tabs->Page(i)->objectName(), QString::fromLatin1(pageIds[i]));
        EXPECT_EQ(tabs->Page(i)->isVisible(), i == 0);
        EXPECT_EQ(tabs->Page(i)->parentWidget(), tabs);
    }
    EXPECT_EQ(tabs->TabBar()->currentIndex(), 0);
    EXPECT_EQ(dlg.Banner()->text(), QStringLiteral("International advanced conversion engines!"));
    EXPECT_EQ(dlg.findChild<QWidget*>(QStringLiteral("1097")), dlg.Banner());
    EXPECT_EQ(dlg.findChild<QWidget*>(QStringLiteral("1093")), tabs);
    EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(214, 222, 247));
    EXPECT_EQ(tabs->Page(1)->palette().color(QPalette::Window), QColor(214, 222, 247));
    // Pages sit below the tab headers, inside the tab control.
    const QRect header = tabs->TabBar()->tabRect(0);
    EXPECT_EQ(tabs->Page(2)->geometry().top(), header.bottom() + 1);
    EXPECT_TRUE(tabs->rect().contains(tabs->Page(2)->geometry()));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize()); // not resizable
}

TEST(MainWindow, SlogansRotateEverySixSeconds) {
    CQuintrelDlg dlg;
    EXPECT_TRUE(dlg.SloganTimer().isActive());
    EXPECT_EQ(dlg.SloganTimer().interval(), 6000);
    const QString expected[] = {
        QStringLiteral("Support many kinds of CPU instruction sets!"),
        QStringLiteral("Powerful, all-in-one, multimedia converter!"),
        QStringLiteral("Excellent image and sound quality!"),
        QStringLiteral("Support many kinds of CPU instruction sets!"),
    };
    for (const QString& text : expected) {
        dlg.OnTimer(CQuintrelDlg::kSloganTimer);
        EXPECT_EQ(dlg.Banner()->text(), text);
    }
    dlg.OnTimer(1); // other timers leave the banner alone
    EXPECT_EQ(dlg.Banner()->text(), expected[3]);
}

TEST(MainWindow, SwitchingPagesShowsExactlyOne) {
    CQuintrelDlg dlg;
    dlg.show();
    CPageTabCtrl* tabs = dlg.Tabs();
    tabs->TabBar()->setCurrentIndex(2);
    EXPECT_EQ(tabs->CurrentPage(), 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs->Page(i)->isVisible(), i == 2);

    // Pressing the tab that is already selected changes nothing.
    QWidget* before = tabs->Page(2);
    tabs->OnTabPressed(2);
    EXPECT_EQ(tabs->CurrentPage(), 2);
    EXPECT_TRUE(before->isVisible());

    EXPECT_TRUE(dlg.ShowPageByTabText(QStringLiteral("Update")));
    EXPECT_TRUE(tabs->Page(3)->isVisible());
    EXPECT_FALSE(tabs->Page(2)->isVisible());
    EXPECT_FALSE(dlg.ShowPageByTabText(QStringLiteral("Nonexistent")));
}

TEST(MainWindow, EscapeClosesIt) {
    CQuintrelDlg dlg;
    dlg.show();
    dlg.reject(); // what Escape and the close box do
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(MainWindow, EveryControlHasAnAccessibleName) {
    CQuintrelDlg dlg;
    dlg.show();
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->focusPolicy() == Qt::NoFocus)
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_TRUE(a);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
            << w->metaObject()->className() << " " << qPrintable(w->objectName());
    }
}
