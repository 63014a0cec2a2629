// The console's pictures, drawn with QPainter so that every glyph shares one simple style.
#include "console/Icons.h"

#include "console/IconStyle.h"
#include "platform/Application.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace Icons {

constexpr int ToolSize = 32;
constexpr int PageSize = 16;
constexpr int ProductWidth = 600;
constexpr int ProductHeight = 400;

using namespace IconStyle;

// A terminal: a screen on a stand.
void DrawTerminal(QPainter& p)
{
    p.setPen(Line(Ink));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(4, 4, 24, 18), 2, 2);
    p.setBrush(Accent);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(7, 7, 18, 12));
    p.setPen(Line(Ink));
    p.drawLine(QPointF(16, 22), QPointF(16, 27));
    p.drawLine(QPointF(10, 28), QPointF(22, 28));
}

// A sheet of paper with text lines.
void DrawSheet(QPainter& p, const QColor& lines)
{
    p.setPen(Line(Ink));
    p.setBrush(Paper);
    p.drawRect(QRectF(7, 3, 18, 26));
    p.setPen(Line(lines, 2));
    for (int y = 9; y <= 23; y += 5)
        p.drawLine(QPointF(11, y), QPointF(21, y));
}

void DrawClock(QPainter& p)
{
    p.setPen(Line(Ink));
    p.setBrush(Paper);
    p.drawEllipse(QRectF(4, 4, 24, 24));
    p.setPen(Line(Accent));
    p.drawLine(QPointF(16, 16), QPointF(16, 8));
    p.drawLine(QPointF(16, 16), QPointF(22, 19));
}

void DrawConsole(QPainter& p)
{
    p.setPen(Line(Ink));
    p.setBrush(QColor(0x23, 0x2b, 0x36));
    p.drawRoundedRect(QRectF(3, 5, 26, 22), 2, 2);
    p.setPen(Line(Good));
    p.drawPolyline(QPolygonF({QPointF(8, 11), QPointF(13, 16), QPointF(8, 21)}));
    p.drawLine(QPointF(15, 21), QPointF(23, 21));
}

void DrawPerson(QPainter& p)
{
    p.setPen(Line(Ink));
    p.setBrush(Accent);
    p.drawEllipse(QRectF(11, 4, 10, 10));
    QPainterPath body;
    body.moveTo(5, 29);
    body.cubicTo(5, 17, 27, 17, 27, 29);
    body.closeSubpath();
    p.drawPath(body);
}

void DrawThermometer(QPainter& p)
{
    p.setPen(Line(Ink));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(13, 3, 6, 20), 3, 3);
    p.setBrush(Bad);
    p.drawEllipse(QRectF(10, 20, 12, 10));
    p.setPen(Line(Bad, 3));
    p.drawLine(QPointF(16, 20), QPointF(16, 10));
}

// Waves going out from a point: a network check.
void DrawPing(QPainter& p)
{
    p.setPen(Line(Accent, 3));
    p.setBrush(Qt::NoBrush);
    for (int r = 8; r <= 24; r += 8)
        p.drawArc(QRectF(16 - r / 2.0, 24 - r / 2.0, r, r), 45 * 16, 90 * 16);
    p.setBrush(Ink);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(16, 25), 3, 3);
}

// The power symbol: a broken ring with a bar.
void DrawPower(QPainter& p, const QColor& colour)
{
    p.setPen(Line(colour, 3.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 6, 22, 22), 125 * 16, 290 * 16);
    p.drawLine(QPointF(16, 3), QPointF(16, 15));
}

void DrawCloseGlyph(QPainter& p)
{
    p.setPen(Line(QColor(0x80, 0x80, 0x80), 1.5));
    p.setBrush(QColor(0xee, 0xee, 0xee));
    p.drawRoundedRect(QRectF(3, 3, 26, 26), 5, 5);
    p.setPen(Line(Bad, 4));
    p.drawLine(QPointF(10, 10), QPointF(22, 22));
    p.drawLine(QPointF(22, 10), QPointF(10, 22));
}

namespace {

void DrawTool(QPainter& p, Tool tool)
{
    switch (tool) {
    case Tool::New:
        DrawSheet(p, Accent);
        p.setPen(Line(Good, 4));
        p.drawLine(QPointF(24, 18), QPointF(24, 30));
        p.drawLine(QPointF(18, 24), QPointF(30, 24));
        break;
    case Tool::Edit:
        DrawSheet(p, Accent);
        p.setPen(Line(QColor(0xe0, 0x9a, 0x20), 4));
        p.drawLine(QPointF(14, 26), QPointF(28, 12));
        break;
    case Tool::Delete:
        p.setPen(Line(Bad, 5));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
        break;
    case Tool::Refresh: {
        p.setPen(Line(Good, 3.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 6, 20, 20), 60 * 16, 290 * 16);
        p.setBrush(Good);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(17, 2), QPointF(24, 8), QPointF(16, 11)}));
        break;
    }
    case Tool::Search:
        p.setPen(Line(Ink, 3));
        p.setBrush(Paper);
        p.drawEllipse(QRectF(5, 5, 16, 16));
        p.setPen(Line(Ink, 5));
        p.drawLine(QPointF(20, 20), QPointF(28, 28));
        break;
    case Tool::Show:
        p.setPen(Line(Ink));
        p.setBrush(Paper);
        p.drawRect(QRectF(4, 5, 24, 22));
        p.setBrush(Accent);
        p.drawRect(QRectF(4, 5, 9, 22));
        break;
    case Tool::Ping:
        DrawPing(p);
        break;
    case Tool::Settings: {
        p.setPen(Qt::NoPen);
        p.setBrush(Ink);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(16, 16);
            p.rotate(i * 45);
            p.drawRect(QRectF(-2.5, -14, 5, 8));
            p.restore();
        }
        p.drawEllipse(QPointF(16, 16), 9, 9);
        p.setBrush(Paper);
        p.drawEllipse(QPointF(16, 16), 4, 4);
        break;
    }
    case Tool::Exit:
        DrawPower(p, Bad);
        break;
    }
}

} // namespace

QIcon ToolIcon(Tool tool)
{
    QPixmap pm = Blank(ToolSize, ToolSize);
    QPainter p(&pm);
    Begin(p, 1.0);
    DrawTool(p, tool);
    p.end();
    return QIcon(pm);
}

QPixmap PageImage(int index)
{
    QPixmap pm = Blank(PageSize, PageSize);
    QPainter p(&pm);
    Begin(p, PageSize / 32.0);
    switch (index) {
    case 0: DrawTerminal(p); break;
    case 1: DrawSheet(p, Good); break;
    case 2: DrawClock(p); break;
    case 3: DrawSheet(p, Accent); break;
    case 4: DrawConsole(p); break;
    case 5: DrawThermometer(p); break;
    case 6: DrawPerson(p); break;
    case CloseGlyph: DrawCloseGlyph(p); break;
    default: break;
    }
    p.end();
    return pm;
}

QPixmap ProductPicture()
{
    QPixmap pm(ProductWidth, ProductHeight);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, ProductHeight);
    sky.setColorAt(0, QColor(0x1d, 0x3f, 0x72));
    sky.setColorAt(1, QColor(0x4b, 0x8b, 0xd0));
    p.fillRect(pm.rect(), sky);

    // A row of terminals along the bottom.
    p.save();
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(70 + i * 100, 250);
        p.scale(2.2, 2.2);
        DrawTerminal(p);
        p.restore();
    }
    p.restore();

    QFont title;
    title.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                       QStringLiteral("WenQuanYi Zen Hei")});
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 90, ProductWidth, 60), Qt::AlignCenter, QString::fromUtf8(ApplicationTitle));
    QFont sub = title;
    sub.setPixelSize(18);
    sub.setBold(false);
    p.setFont(sub);
    p.drawText(QRect(0, 160, ProductWidth, 30), Qt::AlignCenter, QStringLiteral("ZOL"));
    p.end();
    return pm;
}

QPixmap LoginPicture()
{
    constexpr int w = 300;
    constexpr int h = 64;
    QPixmap pm = Blank(w, h);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.save();
    p.translate(8, 0);
    p.scale(2.0, 2.0);
    DrawTerminal(p);
    p.restore();
    QFont f;
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    f.setPixelSize(18);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Ink);
    p.drawText(QRect(80, 0, w - 80, h), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromUtf8(ApplicationTitle));
    p.end();
    return pm;
}

} // namespace Icons
