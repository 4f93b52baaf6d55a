#include "CAudioClipDlg.h"

#include "CFennick.h"
#include "Look.h"
#include "Numbers.h"
#include "Services.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>

namespace {

void Name(QWidget* w, int id, const QString& accessible) {
    w->setObjectName(QString::number(id));
    w->setAccessibleName(accessible);
}

} // namespace

CAudioClipDlg::CAudioClipDlg(CFennick& media, QWidget* parent) : QDialog(parent), media_(media) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("Split Audio"));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);

    total_ = new QLineEdit(this);
    total_->setReadOnly(true);
    Name(total_, IDC_TOTAL, QStringLiteral("Total time (seconds)"));
    start_ = new QLineEdit(this);
    Name(start_, IDC_START, QStringLiteral("Start time (seconds)"));
    stop_ = new QLineEdit(this);
    Name(stop_, IDC_STOP, QStringLiteral("Stop time (seconds)"));
    preview_ = new QToolButton(this);
    preview_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    preview_->setIconSize(QSize(16, 16));
    preview_->setToolTip(QStringLiteral("Preview"));
    Name(preview_, IDC_PREVIEW, QStringLiteral("Preview"));
    tips_ = new QToolButton(this);
    tips_->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    tips_->setIconSize(QSize(16, 16));
    tips_->setToolTip(QStringLiteral("Tips"));
    Name(tips_, IDC_TIPS, QStringLiteral("Tips"));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    Name(ok_, IDOK, QStringLiteral("OK"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Total time (seconds):"), this), 0, 0);
    grid->addWidget(total_, 0, 1);
    grid->addWidget(preview_, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Start time (seconds):"), this), 1, 0);
    grid->addWidget(start_, 1, 1);
    grid->addWidget(tips_, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Stop time (seconds):"), this), 2, 0);
    grid->addWidget(stop_, 2, 1);
    grid->addWidget(ok_, 3, 1, 1, 2, Qt::AlignRight);
    setFixedSize(look::DluSize(200, 80).expandedTo(sizeHint()));

    connect(ok_, &QPushButton::clicked, this, &CAudioClipDlg::OnOK);
    connect(preview_, &QToolButton::clicked, this, &CAudioClipDlg::OnPreview);
    connect(tips_, &QToolButton::clicked, this, &CAudioClipDlg::OnTips);
}

int CAudioClipDlg::DoModal() {
    OnInitDialog();
    return platform::RunDialog(*this);
}

void CAudioClipDlg::OnInitDialog() {
    start_->setText(QStringLiteral("0"));
    const QString total = QString::asprintf("%lf", media_.QueryDuration(sourcePath));
    total_->setText(total);
    stop_->setText(total);
}

void CAudioClipDlg::OnOK() {
    const double total = LeadingDecimal(total_->text());
    const double start = LeadingDecimal(start_->text());
    const double stop = LeadingDecimal(stop_->text());
    QString problem;
    if (start < 0)
        problem =
            QStringLiteral("The start time of the audio clip should be zero or bigger than zero.");
    else if (stop <= 0)
        problem = QStringLiteral("The stop time of the audio clip should be bigger than zero.");
    else if (total < stop)
        problem =
            QStringLiteral("The stop time of the audio clip can't be bigger than the total time.");
    else if (total <= start)
        problem =
            QStringLiteral("The start time of the audio clip can't be bigger than the total time.");
    else if (stop <= start)
        problem = QStringLiteral(
            "The start time of the audio clip should be smaller than the stop time.");
    if (!problem.isEmpty()) {
        platform::messages().Show(problem, QString(), platform::Icon::None);
        return;
    }
    startText = start_->text();
    stopText = stop_->text();
    accept();
}

void CAudioClipDlg::OnPreview() {
    platform::shell().Open(sourcePath);
}

void CAudioClipDlg::OnTips() {
    const QPoint anchor = tips_->mapToGlobal(QPoint(tips_->width() - 10, tips_->height() - 5));
    QToolTip::showText(anchor,
                       QStringLiteral("<b>Splitting Audio Tips:</b><br>If you don't want to split "
                                      "the audio, just press 'OK' button to continue."),
                       tips_);
}
