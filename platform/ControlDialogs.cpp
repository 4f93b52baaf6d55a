#include "ControlDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace platform {

CPropertyPageDlg::CPropertyPageDlg(const QString& caption,
                                   const std::vector<automation::PropertySetting>& settings,
                                   QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    auto* form = new QFormLayout;
    int id = IDC_FIRST_SETTING;
    for (const automation::PropertySetting& s : settings) {
        const QString label = QString::fromStdString(s.label);
        auto* field = new QSpinBox(this);
        field->setObjectName(QString::number(id));
        field->setAccessibleName(label);
        field->setRange(s.minimum, s.maximum);
        field->setValue(s.value);
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QString::number(id) + QStringLiteral("-slider"));
        slider->setAccessibleName(label);
        slider->setRange(s.minimum, s.maximum);
        slider->setValue(s.value);
        connect(slider, &QSlider::valueChanged, field, &QSpinBox::setValue);
        connect(field, &QSpinBox::valueChanged, slider, &QSlider::setValue);
        auto* row = new QHBoxLayout;
        row->addWidget(slider, 1);
        row->addWidget(field);
        form->addRow(label + QLatin1Char(':'), row);
        fields_.push_back(field);
        ++id;
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QString::number(IDOK));
    cancel->setObjectName(QString::number(IDCANCEL));
    ok->setAccessibleName(QStringLiteral("OK"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CPropertyPageDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CPropertyPageDlg::OnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

std::vector<int> CPropertyPageDlg::Values() const {
    std::vector<int> values;
    for (const QSpinBox* f : fields_)
        values.push_back(f->value());
    return values;
}

QSpinBox* CPropertyPageDlg::Field(int index) const {
    return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[index] : nullptr;
}

CControlAboutDlg::CControlAboutDlg(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(32, 32));
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::number(IDC_TEXT));
    label->setAccessibleName(text);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDOK));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CControlAboutDlg::OnOK);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(label, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

} // namespace platform
