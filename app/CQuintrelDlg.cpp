#include "CQuintrelDlg.h"

#include "CPageTabCtrl.h"
#include "Look.h"
#include "Resources.h"

#include <QLabel>
#include <QTabBar>

const char* const CQuintrelDlg::kTabTexts[4] = {"CD to MP3/OGG", "Audio Converter",
                                                "Video Converter", "Update"};
const char* const CQuintrelDlg::kOpeningText = "International advanced conversion engines!";
const char* const CQuintrelDlg::kSlogans[3] = {"Support many kinds of CPU instruction sets!",
                                               "Powerful, all-in-one, multimedia converter!",
                                               "Excellent image and sound quality!"};

CQuintrelDlg::CQuintrelDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("Quintrel"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(look::DialogFont());
    look::ApplyPageColour(this);

    banner_ = new QLabel(this);
    banner_->setObjectName(QString::number(IDC_BANNER));
    banner_->setGeometry(QRect(QPoint(0, 0), look::DluSize(333, 22)));
    tabs_ = new CPageTabCtrl(this);
    tabs_->setGeometry(QRect(QPoint(look::DluX(2), look::DluY(22)), look::DluSize(330, 234)));
    setFixedSize(look::DluSize(333, 258));

    OnInitDialog();
}

void CQuintrelDlg::OnInitDialog() {
    const QIcon icon = resources::AppIcon();
    setWindowIcon(icon);

    // Tab images come from one strip; without it the tabs show text only.
    const QList<QIcon> images = resources::TabImages();
    for (int i = 0; i < CPageTabCtrl::kPageCount; ++i)
        tabs_->InsertItem(i, QString::fromLatin1(kTabTexts[i]),
                          i < images.size() ? images[i] : QIcon());
    tabs_->CreatePages();

    tabs_->SetTabBackground(look::TabBackground());
    tabs_->SetPaintStyle(look::kTabPaintStyle);
    tabs_->SetTabLook(true, look::kTabLook);
    tabs_->update();

    bannerFont_ = look::BannerFont();
    banner_->setFont(bannerFont_);
    banner_->setAlignment(Qt::AlignCenter);
    banner_->setStyleSheet(
        QStringLiteral("QLabel { color: %1; background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                       "stop:0 %2, stop:1 %3); }")
            .arg(look::BannerTextColour().name(), look::BannerStartColour().name(),
                 look::BannerEndColour().name()));
    SetCaption(QString::fromLatin1(kOpeningText));

    sloganTimer_.setInterval(kSloganPeriodMs);
    connect(&sloganTimer_, &QTimer::timeout, this, [this] { OnTimer(kSloganTimer); });
    sloganTimer_.start();
}

void CQuintrelDlg::SetCaption(const QString& text) {
    banner_->setText(text);
    banner_->setAccessibleName(text);
}

void CQuintrelDlg::OnTimer(int id) {
    if (id != kSloganTimer)
        return;
    banner_->setFont(bannerFont_);
    SetCaption(QString::fromLatin1(kSlogans[sloganCounter_]));
    banner_->setAlignment(Qt::AlignCenter);
    if (++sloganCounter_ > 2)
        sloganCounter_ = 0;
}

bool CQuintrelDlg::ShowPageByTabText(const QString& text) {
    QTabBar* bar = tabs_->TabBar();
    for (int i = 0; i < bar->count(); ++i) {
        if (bar->tabText(i) == text) {
            bar->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}
