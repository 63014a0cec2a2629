// The one drawing style of the console's pictures: colours, pen and canvas helpers.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>

namespace IconStyle {

inline const QColor Ink(0x2b, 0x4a, 0x7a);
inline const QColor Accent(0x3a, 0x8e, 0xd8);
inline const QColor Good(0x2e, 0x9d, 0x4f);
inline const QColor Bad(0xd0, 0x3b, 0x30);
inline const QColor Paper(0xf7, 0xf9, 0xfc);
inline const QColor Warm(0xe0, 0x9a, 0x20);

inline QPixmap Blank(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

// Every glyph is drawn on a 32-unit grid; scale maps it to the picture's size.
inline void Begin(QPainter& p, qreal scale)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
}

inline QPen Line(const QColor& c, qreal w = 2.5)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace IconStyle
