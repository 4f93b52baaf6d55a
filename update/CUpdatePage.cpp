#include "CUpdatePage.h"
#include "UiPost.h"

#include "FetchWebFile.h"
#include "Look.h"
#include "Paths.h"
#include "Services.h"
#include "WebSite.h"

#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <climits>
#include <exception>

using platform::Icon;

namespace {

const char* const kNetworkErrorText =
    "Sorry, please make sure your computer is connected to the internet.";
const char* const kServerErrorText =
    "Upgrade-detect file on server is missing! You cannot upgrade your software automatically "
    "now. Please contact us in time at this email address: ";
const char* const kSystemFileText =
    "Warning: Your system file is missing, Quintrel can not get the version information. We "
    "suggest that you reinstall this software to fix it.";
const char* const kNewerText = "Good news! Software has detected a newer version of Quintrel. We "
                               "suggest that you upgrade your Quintrel right now!";
const char* const kUpToDateText = "Thank you for using Quintrel. Quintrel is currently up-to-date.";

QRect DluRect(int x, int y, int w, int h) {
    return QRect(QPoint(look::DluX(x), look::DluY(y)), look::DluSize(w, h));
}

void Name(QWidget* w, int id, const QString& accessible) {
    w->setObjectName(QString::number(id));
    w->setAccessibleName(accessible);
}

QPushButton* MakeButton(QWidget* page, int id, const char* text, const QRect& where) {
    auto* b = new QPushButton(QString::fromLatin1(text), page);
    Name(b, id, b->text());
    b->setGeometry(where);
    return b;
}

QGroupBox* MakeGroup(QWidget* page, int id, const char* caption, const QRect& where) {
    auto* g = new QGroupBox(QString::fromLatin1(caption), page);
    Name(g, id, g->title());
    g->setGeometry(where);
    // Dark blue bold caption on the page colour, drawn as a frame.
    QPalette p = g->palette();
    p.setColor(QPalette::WindowText, look::GroupCaptionColour());
    p.setColor(QPalette::Text, look::GroupCaptionColour());
    p.setColor(QPalette::Window, look::PageColour());
    g->setPalette(p);
    QFont f = g->font();
    f.setBold(true);
    g->setFont(f);
    g->lower();
    return g;
}

// A label that is either a web link (opened through the shell) or plain
// text, until the toolkit's link label takes over.
QLabel* MakeLinkLabel(QWidget* page, int id, const QString& text, const QString& address,
                      bool linkOn) {
    auto* l = new QLabel(page);
    Name(l, id, text);
    if (linkOn) {
        l->setTextFormat(Qt::RichText);
        l->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff\">%2</a>")
                       .arg(address.toHtmlEscaped(), text.toHtmlEscaped()));
        l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        l->setToolTip(address);
        QObject::connect(l, &QLabel::linkActivated, l,
                         [](const QString& link) { platform::shell().Open(link); });
    } else {
        l->setTextFormat(Qt::PlainText);
        l->setText(text);
    }
    return l;
}

// Bitmap 225: the product picture of the about area, drawn in code.
QPixmap ProductPicture(QSize size) {
    QImage pm(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, QColor(0, 0, 128));
    g.setColorAt(0.65, QColor(60, 90, 200));
    g.setColorAt(1, look::PageColour());
    p.fillRect(pm.rect(), g);

    // A disc on the right, for the CD ripping, and a few sound waves.
    const qreal h = size.height();
    const QRectF disc(size.width() - h * 1.05, h * 0.1, h * 0.8, h * 0.8);
    QRadialGradient shine(disc.center(), disc.width() / 2);
    shine.setColorAt(0, QColor(250, 250, 255));
    shine.setColorAt(0.7, QColor(180, 195, 240));
    shine.setColorAt(1, QColor(110, 120, 200));
    p.setPen(QPen(QColor(40, 40, 120), 1.5));
    p.setBrush(shine);
    p.drawEllipse(disc);
    p.setBrush(Qt::white);
    p.drawEllipse(disc.center(), disc.width() / 8, disc.width() / 8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 140), 2));
    for (int i = 1; i <= 3; ++i) {
        const qreal r = h * 0.12 * i;
        p.drawArc(QRectF(disc.left() - h * 0.25 - r, disc.center().y() - r, 2 * r, 2 * r), 120 * 16,
                  120 * 16);
    }

    QFont title = look::DialogFont();
    title.setPixelSize(qMax(12, int(h * 0.42)));
    title.setBold(true);
    title.setItalic(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(h * 0.25, 0, size.width(), h * 0.62), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("Quintrel"));
    QFont line = look::DialogFont();
    p.setFont(line);
    p.setPen(QColor(220, 230, 255));
    p.drawText(QRectF(h * 0.28, h * 0.64, size.width(), h * 0.3), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Audio, video and CD conversion"));
    p.end();
    return QPixmap::fromImage(pm);
}

QString FileErrorText(const update::LocalFileError& e) {
    return QStringLiteral("%1: %2").arg(QFile::decodeName(e.path().c_str()),
                                        QString::fromLocal8Bit(e.reason()));
}

// The first line of a file in InstallDir; false when it cannot be opened.
bool ReadFirstLine(const QString& name, QByteArray* line) {
    QFile f(platform::InstallDir() + QLatin1Char('/') + name);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *line = f.readLine(4096);
    return true;
}

} // namespace

CUpdatePage::Server CUpdatePage::UpdateServer() {
    const QString value = qEnvironmentVariable("QUINTREL_UPDATE_SERVER").trimmed();
    if (value.isEmpty())
        return {QString::fromLatin1(site::kUpdateServer), site::kUpdatePort};
    Server s{value, site::kUpdatePort};
    QString portText;
    if (value.startsWith(QLatin1Char('['))) {
        const qsizetype end = value.indexOf(QLatin1Char(']'));
        if (end > 0) {
            s.host = value.mid(1, end - 1);
            const QString rest = value.mid(end + 1);
            if (rest.startsWith(QLatin1Char(':')))
                portText = rest.mid(1);
            else if (!rest.isEmpty())
                s.port = 0;
        }
    } else if (value.count(QLatin1Char(':')) == 1) {
        s.host = value.section(QLatin1Char(':'), 0, 0);
        portText = value.section(QLatin1Char(':'), 1);
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok);
        s.port = ok && port >= 1 && port <= 65535 ? quint16(port) : 0;
    }
    return s;
}

int CUpdatePage::VersionNumber(const QByteArray& line) {
    qsizetype i = 0;
    while (i < line.size() && (line[i] == ' ' || (line[i] >= '\t' && line[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    long long n = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        n = qMin<long long>(n * 10 + (line[i] - '0'), 1LL + INT_MAX);
    n = negative ? -n : n;
    return int(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

CUpdatePage::CUpdatePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    setFont(look::DialogFont());
    look::ApplyPageColour(this);
    OnInitDialog();
}

CUpdatePage::~CUpdatePage() {
    // Closing the window during a check gives up the fetch; its result is
    // not shown.
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
    if (busy_)
        QGuiApplication::restoreOverrideCursor();
}

void CUpdatePage::OnInitDialog() {
    MakeGroup(this, IDC_ACTIONS_GROUP, "Update and Support", DluRect(3, 57, 316, 57));
    MakeGroup(this, IDC_ABOUT_GROUP, "About Quintrel", DluRect(3, 119, 316, 98));

    checkButton_ =
        MakeButton(this, IDC_CHECK_VERSION, "Check for a New Version", DluRect(167, 70, 142, 18));
    supportButton_ = MakeButton(this, IDC_SUPPORT, "Contact Support", DluRect(13, 92, 142, 18));
    siteButton_ = MakeButton(this, IDC_WEB_SITE, "Visit Our Web Site", DluRect(167, 92, 142, 18));
    connect(checkButton_, &QPushButton::clicked, this, &CUpdatePage::CheckForNewVersion);
    connect(supportButton_, &QPushButton::clicked, this, &CUpdatePage::OnSupport);
    connect(siteButton_, &QPushButton::clicked, this, &CUpdatePage::OnWebSite);

    // The product picture in a black frame one unit larger on each side.
    auto* frame = new QLabel(this);
    frame->setGeometry(DluRect(25, 129, 270, 52));
    frame->setStyleSheet(QStringLiteral("background: black;"));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("IDB_%1").arg(IDB_PRODUCT));
    picture->setGeometry(DluRect(26, 130, 268, 50));
    picture->setPixmap(ProductPicture(picture->size()));

    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("IDR_%1").arg(IDR_MAINFRAME));
    icon_->setGeometry(QRect(QPoint(look::DluX(26), look::DluY(188)), QSize(32, 32)));
    ShowProgramIcon();

    const QString web = QString::fromLatin1(site::kWebSite);
    auto* name = MakeLinkLabel(this, IDC_PRODUCT_NAME, QStringLiteral("Quintrel Standard Edition"),
                               QString(), false);
    name->setGeometry(DluRect(106, 184, 200, 10));
    auto* link = MakeLinkLabel(this, IDC_SITE_LINK, web, web, true);
    link->setGeometry(DluRect(74, 204, 200, 10));
    MakeLinkLabel(this, IDC_SITE_LINK_HIDDEN, web, web, true)->hide();
    MakeLinkLabel(this, IDC_HIDDEN_LABEL, QStringLiteral("Quintrel"), QString(), false)->hide();
}

void CUpdatePage::ShowProgramIcon() {
    // Icon 128 is the main window's icon; the page shows whatever its
    // window carries.
    const QIcon icon = window()->windowIcon();
    if (!icon.isNull())
        icon_->setPixmap(icon.pixmap(32, 32));
}

void CUpdatePage::showEvent(QShowEvent* event) {
    ShowProgramIcon();
    QWidget::showEvent(event);
}

void CUpdatePage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOK();
        event->accept();
        return;
    case Qt::Key_Escape:
        OnCancel();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void CUpdatePage::OnSupport() {
    platform::shell().Open(QString::fromLatin1(site::kContactPage));
}

void CUpdatePage::OnWebSite() {
    platform::shell().Open(QString::fromLatin1(site::kWebSite));
}

void CUpdatePage::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    for (QPushButton* b : {checkButton_, supportButton_, siteButton_})
        b->setEnabled(!busy);
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

void CUpdatePage::CheckForNewVersion() {
    if (busy_)
        return;
    const Server server = UpdateServer();
    update::FetchSettings settings;
    settings.localDir = QFile::encodeName(platform::InstallDir()).toStdString();
    settings.cancel = &cancel_;
    cancel_ = false;
    SetBusy(true);
    // The fetch blocks for up to a minute on an unreachable server; the
    // window keeps painting while a worker waits for it.
    worker_ = std::thread([this, host = server.host.toStdString(), port = server.port, settings] {
        int result = 0;
        QString fileError;
        try {
            result = update::FetchWebFile(kAgent, host, port, kServerVersionFile, settings);
        } catch (const update::LocalFileError& e) {
            fileError = FileErrorText(e);
        } catch (const std::exception&) {
            result = 0;
        }
        platform::PostToUiThread(this,
                                 [this, result, fileError] { OnFetchDone(result, fileError); });
    });
}

void CUpdatePage::OnFetchDone(int result, const QString& fileError) {
    if (worker_.joinable())
        worker_.join();
    SetBusy(false);
    // A local file that cannot be written ends the check with the system's
    // report and no result of its own.
    if (!fileError.isEmpty())
        platform::messages().Show(fileError, QString(), Icon::Error);
    else
        CompareVersions(result);
    emit VersionCheckFinished();
}

void CUpdatePage::CompareVersions(int result) {
    auto& messages = platform::messages();
    if (result == 0) {
        messages.Show(QString::fromLatin1(kNetworkErrorText), QStringLiteral("Network Error"),
                      Icon::Error);
        return;
    }
    if (result == 404) {
        messages.Show(QString::fromLatin1(kServerErrorText) +
                          QString::fromLatin1(site::kSupportEmail) + QStringLiteral(", Thank you!"),
                      QStringLiteral("Server Error"), Icon::Error);
        return;
    }
    // Any other status goes on with whatever copy an earlier check left.
    QByteArray serverLine;
    ReadFirstLine(QString::fromLatin1(kServerVersionFile), &serverLine);
    QByteArray installedLine;
    if (!ReadFirstLine(QString::fromLatin1(kInstalledVersionFile), &installedLine)) {
        messages.Show(QString::fromLatin1(kSystemFileText),
                      QStringLiteral("System file is missing"), Icon::Error);
        return;
    }
    if (VersionNumber(serverLine) > VersionNumber(installedLine)) {
        messages.Show(QString::fromLatin1(kNewerText), QStringLiteral("Result"), Icon::Information);
        platform::shell().Open(QString::fromLatin1(site::kWebSite));
    } else {
        messages.Show(QString::fromLatin1(kUpToDateText), QStringLiteral("Result"),
                      Icon::Information);
    }
}
