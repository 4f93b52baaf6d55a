#include "CVideoPage.h"

#include "Look.h"

CVideoPage::CVideoPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    look::ApplyPageColour(this);
}
