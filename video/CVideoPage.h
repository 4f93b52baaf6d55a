#pragma once

#include <QWidget>

class CVideoPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDD = 131;
    explicit CVideoPage(QWidget* parent = nullptr);
};
