#include "CFolderChooser.h"

#include "FolderPath.h"
#include "Services.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
QWidget* SafeOwner(QWidget* owner) {
    if (owner)
        return owner;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}
} // namespace

CFolderChooser::CFolderChooser(const QString& caption, const QString& instruction,
                               const QString& startFolder, QWidget* owner)
    : QDialog(SafeOwner(owner)), startFolder_(startFolder) {
    setObjectName(QStringLiteral("CFolderChooser"));
    if (!caption.isEmpty())
        setWindowTitle(caption);
    setModal(true);

    instruction_ = new QLabel(instruction, this);
    instruction_->setWordWrap(true);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("FolderEdit"));
    edit_->setAccessibleName(QStringLiteral("Folder"));
    edit_->setMaxLength(kMaxPath);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath(QString());
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("FolderTree"));
    tree_->setAccessibleName(QStringLiteral("Folders"));
    tree_->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c)
        tree_->hideColumn(c);
    tree_->header()->hide();

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("IDOK"));
    ok_->setAccessibleName(QStringLiteral("OK"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("IDCANCEL"));
    cancel_->setAccessibleName(QStringLiteral("Cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instruction_);
    layout->addWidget(edit_);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    resize(420, 460);

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnSelChanged(current); });
    connect(edit_, &QLineEdit::textChanged, this, &CFolderChooser::OnEditChanged);
    connect(ok_, &QPushButton::clicked, this, &CFolderChooser::OnOK);
    connect(cancel_, &QPushButton::clicked, this, &CFolderChooser::OnCancel);
}

int CFolderChooser::DoModal() {
    accepted_ = false;
    SelectFolder(startFolder_.isEmpty() ? QDir::currentPath() : startFolder_);
    platform::choosers().RunFolderChooser(*this);
    return accepted_ ? 1 : 0;
}

void CFolderChooser::SelectFolder(const QString& path) {
    const QModelIndex index = model_->index(path);
    if (index.isValid()) {
        tree_->setCurrentIndex(index);
        tree_->scrollTo(index);
    }
    // A start folder that does not exist yet is still offered in the field.
    if (!index.isValid() || edit_->text() != path)
        edit_->setText(path);
}

void CFolderChooser::OnSelChanged(const QModelIndex& index) {
    // Items without a local folder path (the tree's virtual root) cannot be chosen.
    QString path = index.isValid() ? model_->filePath(index) : QString();
    if (!path.startsWith(QLatin1Char('/'))) {
        path.clear();
        ok_->setEnabled(false);
    } else {
        ok_->setEnabled(true);
    }
    edit_->setText(path);
    if (path.isEmpty())
        ok_->setEnabled(false);
}

void CFolderChooser::OnEditChanged(const QString& text) {
    chosen_ = text.left(kMaxPath);
    ok_->setEnabled(!chosen_.isEmpty());
}

void CFolderChooser::OnOK() {
    chosen_ = edit_->text();
    if (platform::CheckOutputFolder(chosen_) != 0) {
        // The check has said why (or the user declined to create it): stay open.
        edit_->setFocus();
        return;
    }
    accepted_ = true;
    accept();
}

void CFolderChooser::OnCancel() {
    accepted_ = false;
    reject();
}
