#pragma once
// The folder chooser: a folder tree with a text field above it, so a folder
// can be picked or typed (also one that does not exist yet). The folder is
// checked with CheckOutputFolder before the chooser accepts it.

#include <QDialog>
#include <QModelIndex>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

class CFolderChooser : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxPath = 4095;

    CFolderChooser(const QString& caption, const QString& instruction, const QString& startFolder,
                   QWidget* owner = nullptr);

    // 1 when a folder was accepted (and exists by then), another value otherwise.
    int DoModal();
    QString GetFolder() const { return chosen_; }
    bool Accepted() const { return accepted_; }

    // Handlers, also driven directly by tests.
    void OnSelChanged(const QModelIndex& index);
    void OnEditChanged(const QString& text);
    void OnOK();
    void OnCancel();
    // Selects a folder in the tree as the user would.
    void SelectFolder(const QString& path);

    QLineEdit* Edit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }
    QTreeView* Tree() const { return tree_; }
    QFileSystemModel* Model() const { return model_; }

private:
    QString startFolder_;
    QString chosen_;
    bool accepted_ = false;
    QLabel* instruction_;
    QLineEdit* edit_;
    QTreeView* tree_;
    QFileSystemModel* model_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
