#include "CKSFileDialog.h"

#include "Services.h"

#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QWidget>

CKSFileDialog::CKSFileDialog(bool openFileDialog, const QString& defExt, const QString& fileName,
                             const QString& filter, QWidget* parent)
    : open_(openFileDialog), defExt_(defExt), fileName_(fileName), filter_(filter),
      parent_(parent) {}

QStringList CKSFileDialog::NameFilters() const {
    QStringList out;
    const QStringList parts = filter_.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out;
}

QString CKSFileDialog::SelectedNameFilter() const {
    const QStringList filters = NameFilters();
    const int i = filterIndex_ - 1;
    return i >= 0 && i < filters.size() ? filters[i] : QString();
}

int CKSFileDialog::DoModal() {
    path_.clear();
    QPointer<QWidget> focus = QApplication::focusWidget();
    QPointer<QWidget> disabled;
    if (disable_ && disable_->isEnabled()) {
        disable_->setEnabled(false);
        disabled = disable_;
    }
    const int result = platform::choosers().RunFileDialog(*this);
    if (disabled)
        disabled->setEnabled(true);
    if (focus)
        focus->setFocus();
    return result == 1 && !path_.isEmpty() ? 1 : 2;
}

int CKSFileDialog::RunSystemDialog() {
    // No parent: the window to disable is disabled for the dialog's life,
    // and a child of a disabled window would be disabled with it.
    QFileDialog dialog(nullptr, title_);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(open_ ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open_ ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!defExt_.isEmpty())
        dialog.setDefaultSuffix(defExt_);
    const QStringList filters = NameFilters();
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(SelectedNameFilter());
    }
    if (!fileName_.isEmpty())
        dialog.selectFile(fileName_);
    // Centred on the screen, whatever window is underneath.
    dialog.resize(640, 440);
    if (QScreen* screen = QApplication::primaryScreen()) {
        QRect r = dialog.frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        dialog.move(r.topLeft());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return 2;
    path_ = dialog.selectedFiles().constFirst();
    return 1;
}
