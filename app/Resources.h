#pragma once
// The program's pictures, drawn in code so that no bitmap files are needed:
// the application icon (128) and the tab image strip (129).

#include <QIcon>
#include <QList>

namespace resources {
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDB_TABIMAGES = 129;

QIcon AppIcon();
// The strip of 16-pixel tab images, one per page; empty if it cannot be made.
QList<QIcon> TabImages();
} // namespace resources
