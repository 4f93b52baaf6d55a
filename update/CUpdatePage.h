#pragma once

#include <QWidget>

class CUpdatePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 134;
    explicit CUpdatePage(QWidget* parent = nullptr);
};
