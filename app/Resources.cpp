#include "Resources.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace resources {

namespace {
QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void DrawDisc(QPainter& p, const QRectF& r) {
    QRadialGradient g(r.center(), r.width() / 2);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(0.6, QColor(170, 190, 240));
    g.setColorAt(1, QColor(110, 120, 200));
    p.setBrush(g);
    p.setPen(QPen(QColor(60, 60, 140), r.width() / 16));
    p.drawEllipse(r);
    p.setBrush(Qt::white);
    const qreal hole = r.width() / 5;
    p.drawEllipse(r.center(), hole, hole);
}

void DrawNote(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 16;
    p.setPen(QPen(QColor(20, 40, 140), 1.5 * u));
    p.setBrush(QColor(20, 40, 140));
    p.drawLine(QPointF(r.left() + 6 * u, r.top() + 3 * u),
               QPointF(r.left() + 6 * u, r.top() + 12 * u));
    p.drawLine(QPointF(r.left() + 13 * u, r.top() + 1 * u),
               QPointF(r.left() + 13 * u, r.top() + 10 * u));
    p.drawLine(QPointF(r.left() + 6 * u, r.top() + 3 * u),
               QPointF(r.left() + 13 * u, r.top() + 1 * u));
    p.drawEllipse(QPointF(r.left() + 4 * u, r.top() + 12.5 * u), 2.2 * u, 1.8 * u);
    p.drawEllipse(QPointF(r.left() + 11 * u, r.top() + 10.5 * u), 2.2 * u, 1.8 * u);
}

void DrawFilm(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 16;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 60));
    p.drawRect(QRectF(r.left() + 1 * u, r.top() + 2 * u, 14 * u, 12 * u));
    p.setBrush(QColor(230, 230, 240));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(r.left() + (2 + 3.5 * i) * u, r.top() + 3 * u, 2 * u, 1.5 * u));
        p.drawRect(QRectF(r.left() + (2 + 3.5 * i) * u, r.top() + 11.5 * u, 2 * u, 1.5 * u));
    }
    p.setBrush(QColor(120, 170, 255));
    p.drawRect(QRectF(r.left() + 2 * u, r.top() + 5.5 * u, 12 * u, 5 * u));
}

void DrawGlobe(QPainter& p, const QRectF& r) {
    const qreal u = r.width() / 16;
    QRectF g = r.adjusted(u, u, -u, -u);
    p.setBrush(QColor(80, 160, 90));
    p.setPen(QPen(QColor(20, 60, 140), u));
    p.drawEllipse(g);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(g.adjusted(4 * u, 0, -4 * u, 0));
    p.drawLine(QPointF(g.left(), g.center().y()), QPointF(g.right(), g.center().y()));
}
} // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm = Canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        DrawDisc(p, QRectF(0.5, 0.5, size - 1, size - 1));
        QPainterPath arrow;
        const qreal s = size;
        arrow.moveTo(0.55 * s, 0.2 * s);
        arrow.lineTo(0.95 * s, 0.5 * s);
        arrow.lineTo(0.55 * s, 0.8 * s);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 192));
        p.drawPath(arrow);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QList<QIcon> TabImages() {
    using Draw = void (*)(QPainter&, const QRectF&);
    const Draw draws[] = {DrawDisc, DrawNote, DrawFilm, DrawGlobe};
    QList<QIcon> images;
    for (Draw d : draws) {
        QPixmap pm = Canvas(16);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        d(p, QRectF(0.5, 0.5, 15, 15));
        p.end();
        images << QIcon(pm);
    }
    return images;
}

} // namespace resources
