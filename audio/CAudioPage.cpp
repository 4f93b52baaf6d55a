#include "CAudioPage.h"

#include "Look.h"

CAudioPage::CAudioPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    look::ApplyPageColour(this);
}
