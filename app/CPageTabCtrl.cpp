#include "CPageTabCtrl.h"

#include "CAudioPage.h"
#include "CCDPage.h"
#include "CUpdatePage.h"
#include "CVideoPage.h"

#include <QTabBar>

CPageTabCtrl::CPageTabCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDC));
    setAccessibleName(QStringLiteral("Pages"));
    bar_ = new QTabBar(this);
    bar_->setObjectName(QStringLiteral("PageTabs"));
    bar_->setAccessibleName(QStringLiteral("Pages"));
    bar_->setDrawBase(true);
    bar_->setExpanding(false);
    connect(bar_, &QTabBar::currentChanged, this, &CPageTabCtrl::OnTabPressed);
}

void CPageTabCtrl::InsertItem(int index, const QString& text, const QIcon& image) {
    const QSignalBlocker block(bar_); // inserting is not a page switch
    bar_->insertTab(index, image, text);
    bar_->setTabToolTip(index, text);
}

void CPageTabCtrl::CreatePages() {
    current_ = 0;
    pages_[0] = new CCDPage(this);
    pages_[1] = new CAudioPage(this);
    pages_[2] = new CVideoPage(this);
    pages_[3] = new CUpdatePage(this);
    for (int i = 1; i < kPageCount; ++i)
        pages_[i]->hide();
    LayOut();
    pages_[0]->show();
    pages_[0]->raise();
}

void CPageTabCtrl::LayOut() {
    bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
    QRect header = bar_->count() > 0 ? bar_->tabRect(0) : QRect(0, 0, 0, 20);
    // Before the window has its final width, a bar switched to a later tab
    // may be scrolled to show it; the pages go where the first header sits
    // unscrolled.
    if (header.left() < 0)
        header.moveLeft(0);
    const QRect client = rect();
    for (QWidget* p : pages_) {
        if (!p)
            continue;
        p->setGeometry(header.left(), header.bottom() + 1, client.right() - header.left() - 1,
                       client.bottom() - header.bottom() - 2);
    }
}

void CPageTabCtrl::resizeEvent(QResizeEvent*) {
    LayOut();
}

void CPageTabCtrl::OnTabPressed(int focusedTab) {
    if (focusedTab == current_ || focusedTab < 0 || focusedTab >= kPageCount || !pages_[0])
        return;
    pages_[current_]->hide();
    current_ = focusedTab;
    pages_[current_]->show();
    pages_[current_]->setFocus();
}
