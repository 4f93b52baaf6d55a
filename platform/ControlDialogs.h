#pragma once
// The windows a hosted control asks its site for: a property page of whole
// number settings, and the control's About box.

#include "Dispatch.h"

#include <QDialog>

#include <vector>

class QSpinBox;

namespace platform {

class CPropertyPageDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;
    static constexpr int IDC_FIRST_SETTING = 1000; // then one id a setting

    CPropertyPageDlg(const QString& caption,
                     const std::vector<automation::PropertySetting>& settings,
                     QWidget* parent = nullptr);

    // The values shown, in the order of the settings.
    std::vector<int> Values() const;
    QSpinBox* Field(int index) const;

    void OnOK() { accept(); }
    void OnCancel() { reject(); }

private:
    std::vector<QSpinBox*> fields_;
};

class CControlAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDOK = 1;
    static constexpr int IDC_TEXT = 1001;

    CControlAboutDlg(const QString& caption, const QString& text, QWidget* parent = nullptr);
    void OnOK() { accept(); }
};

} // namespace platform
