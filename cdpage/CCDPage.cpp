#include "CCDPage.h"

#include "Look.h"

CCDPage::CCDPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    look::ApplyPageColour(this);
}
