// Small pictures of the device tree and the detail box, drawn once on first use (UI thread only).
#include "console/DevIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int IconSize = 16;

QColor StateColor(int group)
{
    switch (group) {
    case 1: return QColor(0x2e, 0x9d, 0x4f);  // running: green, as the toolbar's "good"
    case 2: return QColor(0xe0, 0x8a, 0x00);  // network fault: amber
    case 3: return QColor(0x80, 0x80, 0x80);  // shut down: grey
    default: return QColor(0xd0, 0x3b, 0x30); // no power: red, as the toolbar's "bad"
    }
}

QPixmap Blank()
{
    QPixmap pm(IconSize, IconSize);
    pm.fill(Qt::transparent);
    return pm;
}

// A monitor on a foot; the screen shows the state colour.
void DrawMonitor(QPainter& p, const QRectF& r, const QColor& screen)
{
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(r.adjusted(2, 2, -2, -2));
    const double cx = r.center().x();
    p.setBrush(QColor(0x40, 0x40, 0x40));
    p.drawRect(QRectF(cx - 1, r.bottom(), 2, 2));
    p.drawRect(QRectF(cx - 3.5, r.bottom() + 2, 7, 1.5));
}

QPixmap DrawDevice(int group)
{
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMonitor(p, QRectF(1.5, 1.5, 13, 10), StateColor(group));
    return pm;
}

QPixmap DrawGroup(int group)
{
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A folder with a state dot in its lower right corner.
    QPainterPath folder;
    folder.moveTo(1.5, 3.5);
    folder.lineTo(6, 3.5);
    folder.lineTo(7.5, 5);
    folder.lineTo(14.5, 5);
    folder.lineTo(14.5, 13.5);
    folder.lineTo(1.5, 13.5);
    folder.closeSubpath();
    p.setPen(QPen(QColor(0x9a, 0x75, 0x20), 1));
    p.setBrush(QColor(0xf2, 0xc9, 0x5c));
    p.drawPath(folder);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(StateColor(group));
    p.drawEllipse(QRectF(8.5, 8, 7, 7));
    return pm;
}

QPixmap DrawRoot()
{
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Two monitors, one behind the other: the whole fleet.
    DrawMonitor(p, QRectF(5.5, 0.5, 10, 7.5), QColor(0x3a, 0x8e, 0xd8));
    DrawMonitor(p, QRectF(0.5, 4.5, 10, 7.5), QColor(0x3a, 0x8e, 0xd8));
    return pm;
}

QPixmap DrawDisc(const QColor& fill, bool run)
{
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(140), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    if (run) {
        QPolygonF play;
        play << QPointF(6, 4.5) << QPointF(11.5, 8) << QPointF(6, 11.5);
        p.drawPolygon(play);
    } else {
        p.drawRect(QRectF(5, 5, 6, 6));
    }
    return pm;
}

QPixmap DrawMark(const QColor& colour, bool ok)
{
    QPixmap pm = Blank();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (ok) {
        QPolygonF tick;
        tick << QPointF(3, 8.5) << QPointF(6.5, 12) << QPointF(13, 4);
        p.drawPolyline(tick);
    } else {
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    }
    return pm;
}

} // namespace

namespace DevIcons {

QIcon Root()
{
    static const QIcon icon(DrawRoot());
    return icon;
}

QIcon Group(int group)
{
    static const QIcon icons[5] = {QIcon(), QIcon(DrawGroup(1)), QIcon(DrawGroup(2)), QIcon(DrawGroup(3)),
                                   QIcon(DrawGroup(4))};
    return group >= 1 && group <= 4 ? icons[group] : QIcon();
}

QIcon Device(int group)
{
    static const QIcon icons[5] = {QIcon(), QIcon(DrawDevice(1)), QIcon(DrawDevice(2)), QIcon(DrawDevice(3)),
                                   QIcon(DrawDevice(4))};
    return group >= 1 && group <= 4 ? icons[group] : QIcon();
}

QPixmap DevRun()
{
    static const QPixmap pm = DrawDisc(StateColor(1), true);
    return pm;
}

QPixmap DevStop()
{
    static const QPixmap pm = DrawDisc(StateColor(4), false);
    return pm;
}

QPixmap NetOk()
{
    static const QPixmap pm = DrawMark(StateColor(1), true);
    return pm;
}

QPixmap NetError()
{
    static const QPixmap pm = DrawMark(StateColor(4), false);
    return pm;
}

} // namespace DevIcons
