#pragma once
// The program's look in one place: colours, fonts and sizes that pages and
// the main window share, so the styled widgets can take them over.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QSize>

class QWidget;

namespace look {

// Background of every page and settings dialog.
inline QColor PageColour() {
    return QColor(214, 222, 247);
}
// Group-box captions: dark blue, bold.
inline QColor GroupCaptionColour() {
    return QColor(0, 0, 169);
}

// Banner strip of the main window.
inline QColor BannerStartColour() {
    return QColor(128, 128, 128);
}
inline QColor BannerEndColour() {
    return QColor(0, 0, 192);
}
inline QColor BannerTextColour() {
    return QColor(255, 255, 255);
}
QFont BannerFont();
// The font of pages and dialogs; dialog units below are measured in it.
QFont DialogFont();

// Tab headers of the main window.
inline QColor TabBackground() {
    return QColor(255, 255, 255);
}
inline constexpr int kTabPaintStyle = 2;
inline constexpr unsigned kTabLook = 0x0F;

// Dialog units of the classic 8-point dialog font, in pixels.
int DluX(int units);
int DluY(int units);
QSize DluSize(int w, int h);

// Paints a page or dialog in the page colour; edit boxes keep their own.
void ApplyPageColour(QWidget* w);

} // namespace look
