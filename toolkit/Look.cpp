#include "Look.h"

#include <QWidget>

namespace look {

QFont BannerFont() {
    // Height 25 is the character cell; the glyphs are about 20 pixels high.
    // Where Tahoma is missing, a condensed sans keeps the slogans inside the strip.
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                   QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Sans Serif")});
    f.setPixelSize(20);
    f.setWeight(QFont::Black); // weight 900
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont DialogFont() {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    f.setPixelSize(11);
    return f;
}

// The classic dialog font averages 6 × 13 pixels: 4 horizontal and 8
// vertical dialog units per character cell.
int DluX(int units) {
    return (units * 6 + 2) / 4;
}
int DluY(int units) {
    return (units * 13 + 4) / 8;
}
QSize DluSize(int w, int h) {
    return QSize(DluX(w), DluY(h));
}

void ApplyPageColour(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, PageColour());
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace look
