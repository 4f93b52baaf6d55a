#pragma once
// The file dialog: the system's open or save dialog, centred on the screen and
// modal to the main window, which stays disabled while it is open.

#include <QPointer>
#include <QString>
#include <QStringList>

class QWidget;

class CKSFileDialog {
public:
    // filter uses "Description|patterns|...||" pairs, patterns separated by ";".
    CKSFileDialog(bool openFileDialog, const QString& defExt = QString(),
                  const QString& fileName = QString(), const QString& filter = QString(),
                  QWidget* parent = nullptr);

    void SetWindowToDisable(QWidget* w) { disable_ = w; }
    void SetFilterIndex(int oneBased) { filterIndex_ = oneBased; }
    void SetTitle(const QString& title) { title_ = title; }

    // 1 when the user confirmed a file, 2 otherwise.
    int DoModal();
    QString GetPathName() const { return path_; }

    // What the real dialog is shown with, and how it answers.
    bool IsOpenDialog() const { return open_; }
    QString Title() const { return title_; }
    QString DefaultExtension() const { return defExt_; }
    QString InitialFileName() const { return fileName_; }
    // The filter as Qt name filters, and the one chosen by the filter index.
    QStringList NameFilters() const;
    QString SelectedNameFilter() const;
    void SetPathName(const QString& path) { path_ = path; }

    // Shows the actual dialog (the chooser service calls this); 1 or 2.
    int RunSystemDialog();

private:
    bool open_;
    QString defExt_;
    QString fileName_;
    QString filter_;
    QWidget* parent_;
    QPointer<QWidget> disable_;
    int filterIndex_ = 1;
    QString title_;
    QString path_;
};
