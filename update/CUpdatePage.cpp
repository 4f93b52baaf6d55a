#include "CUpdatePage.h"

#include "Look.h"

CUpdatePage::CUpdatePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    look::ApplyPageColour(this);
}
