#pragma once

#include <QWidget>

class CAudioPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 130;
    explicit CAudioPage(QWidget* parent = nullptr);
};
