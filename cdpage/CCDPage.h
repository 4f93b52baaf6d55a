#pragma once

#include <QWidget>

class CCDPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 132;
    explicit CCDPage(QWidget* parent = nullptr);
};
