// The menu pictures, drawn in the style of the toolbar glyphs (IconStyle) at menu and double size.
#include "console/MenuIcons.h"

#include "console/IconStyle.h"
#include "console/Icons.h"

#include <QPainterPath>
#include <functional>

namespace MenuIcons {
namespace {

using namespace IconStyle;

constexpr int Grid = 32; // the drawing grid
constexpr int MenuSize = 16;

QIcon Picture(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int size : {MenuSize, Grid}) {
        QPixmap pm = Blank(size, size);
        QPainter p(&pm);
        Begin(p, qreal(size) / Grid);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// Draws glyph shrunk into the lower right corner, over what is there.
void Badge(QPainter& p, const std::function<void(QPainter&)>& glyph)
{
    p.save();
    p.translate(14, 14);
    p.scale(18.0 / Grid, 18.0 / Grid);
    glyph(p);
    p.restore();
}

void DrawMagnifier(QPainter& p)
{
    p.setPen(Line(Ink, 5));
    p.setBrush(Paper);
    p.drawEllipse(QRectF(4, 4, 18, 18));
    p.setPen(Line(Ink, 7));
    p.drawLine(QPointF(21, 21), QPointF(29, 29));
}

void DrawBolt(QPainter& p, const QColor& colour)
{
    p.setPen(Line(Ink, 1.5));
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({QPointF(18, 2), QPointF(7, 18), QPointF(15, 18), QPointF(12, 30),
                             QPointF(25, 12), QPointF(17, 12), QPointF(21, 2)}));
}

void DrawCross(QPainter& p)
{
    p.setPen(Line(Bad, 6));
    p.drawLine(QPointF(6, 6), QPointF(26, 26));
    p.drawLine(QPointF(26, 6), QPointF(6, 26));
}

void DrawSelectAll(QPainter& p)
{
    QPen dashed = Line(Ink, 2);
    dashed.setStyle(Qt::DashLine);
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(4, 4, 24, 24));
    p.setPen(Line(Good, 4));
    p.drawPolyline(QPolygonF({QPointF(9, 16), QPointF(14, 21), QPointF(23, 11)}));
}

void DrawTable(QPainter& p)
{
    p.setPen(Line(Ink, 2));
    p.setBrush(Paper);
    p.drawRect(QRectF(3, 5, 20, 22));
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRect(QRectF(3, 5, 20, 6));
    p.setPen(Line(Good, 1.5));
    for (int y = 16; y <= 22; y += 5)
        p.drawLine(QPointF(3, y), QPointF(23, y));
    p.drawLine(QPointF(11, 11), QPointF(11, 27));
}

void DrawArrowRight(QPainter& p, const QColor& colour)
{
    p.setPen(Line(colour, 4));
    p.drawLine(QPointF(14, 19), QPointF(28, 19));
    p.drawPolyline(QPolygonF({QPointF(22, 13), QPointF(28, 19), QPointF(22, 25)}));
}

// The letter A of the font commands.
void DrawLetterA(QPainter& p)
{
    p.setPen(Line(Ink, 3.5));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(3, 28), QPointF(11, 4), QPointF(19, 28)}));
    p.drawLine(QPointF(6, 19), QPointF(16, 19));
}

void DrawPlusMinus(QPainter& p, bool plus)
{
    p.setPen(Line(plus ? Good : Bad, 4));
    p.drawLine(QPointF(19, 24), QPointF(30, 24));
    if (plus)
        p.drawLine(QPointF(24.5, 18.5), QPointF(24.5, 29.5));
}

void DrawCopy(QPainter& p)
{
    p.setPen(Line(Ink, 2));
    p.setBrush(Paper);
    p.drawRect(QRectF(4, 3, 16, 20));
    p.drawRect(QRectF(12, 9, 16, 20));
    p.setPen(Line(Accent, 2));
    for (int y = 15; y <= 24; y += 4)
        p.drawLine(QPointF(15, y), QPointF(25, y));
}

void DrawFloppy(QPainter& p)
{
    p.setPen(Line(Ink, 2));
    p.setBrush(Accent);
    QPainterPath disk;
    disk.moveTo(4, 4);
    disk.lineTo(24, 4);
    disk.lineTo(28, 8);
    disk.lineTo(28, 28);
    disk.lineTo(4, 28);
    disk.closeSubpath();
    p.drawPath(disk);
    p.setBrush(Paper);
    p.drawRect(QRectF(9, 4, 13, 8));
    p.drawRect(QRectF(8, 17, 16, 11));
}

void DrawEraser(QPainter& p)
{
    p.save();
    p.translate(16, 16);
    p.rotate(-40);
    p.setPen(Line(Ink, 2));
    p.setBrush(Bad);
    p.drawRect(QRectF(-4, -7, 14, 14));
    p.setBrush(Paper);
    p.drawRect(QRectF(-13, -7, 9, 14));
    p.restore();
    p.setPen(Line(Ink, 2));
    p.drawLine(QPointF(6, 29), QPointF(28, 29));
}

void DrawDatabase(QPainter& p)
{
    p.setPen(Line(Ink, 2));
    p.setBrush(Accent);
    QPainterPath body;
    body.moveTo(5, 8);
    body.lineTo(5, 25);
    body.arcTo(QRectF(5, 21, 22, 8), 180, 180);
    body.lineTo(27, 8);
    p.drawPath(body);
    p.setBrush(Paper);
    p.drawEllipse(QRectF(5, 4, 22, 8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 12, 22, 8), 180 * 16, 180 * 16);
}

// A terminal whose screen shows a landscape: the desktop picture.
void DrawDesktop(QPainter& p)
{
    Icons::DrawTerminal(p);
    p.setPen(Qt::NoPen);
    p.setBrush(Good);
    p.drawPolygon(QPolygonF({QPointF(7, 19), QPointF(13, 12), QPointF(18, 17), QPointF(21, 14),
                             QPointF(25, 19)}));
    p.setBrush(Warm);
    p.drawEllipse(QPointF(20, 10), 2, 2);
}

void DrawPointer(QPainter& p)
{
    p.setPen(Line(Ink, 2));
    p.setBrush(Paper);
    p.drawPolygon(QPolygonF({QPointF(6, 2), QPointF(6, 26), QPointF(12, 20), QPointF(17, 30),
                             QPointF(21, 28), QPointF(16, 18), QPointF(24, 18)}));
}

void DrawSmallTerminals(QPainter& p)
{
    for (const QPointF& at : {QPointF(0, 12), QPointF(16, 12)}) {
        p.save();
        p.translate(at);
        p.scale(0.5, 0.5);
        Icons::DrawTerminal(p);
        p.restore();
    }
}

QIcon Page(int index)
{
    return QIcon(Icons::PageImage(index));
}

} // namespace

QIcon MenuImgList(MenuImg picture)
{
    switch (picture) {
    case MenuImg::New: return Icons::ToolIcon(Icons::Tool::New);
    case MenuImg::Edit: return Icons::ToolIcon(Icons::Tool::Edit);
    case MenuImg::Delete: return Icons::ToolIcon(Icons::Tool::Delete);
    case MenuImg::Exit: return Icons::ToolIcon(Icons::Tool::Exit);
    case MenuImg::Terminals: return Page(0);
    case MenuImg::OperationLog: return Page(1);
    case MenuImg::Tasks: return Page(2);
    case MenuImg::RunLog: return Page(3);
    case MenuImg::Temperature: return Page(5);
    case MenuImg::Operators: return Page(6);
    case MenuImg::DataSource: return Picture(DrawDatabase);
    case MenuImg::Settings: return Icons::ToolIcon(Icons::Tool::Settings);
    case MenuImg::FontLarger:
        return Picture([](QPainter& p) {
            DrawLetterA(p);
            DrawPlusMinus(p, true);
        });
    case MenuImg::FontSmaller:
        return Picture([](QPainter& p) {
            DrawLetterA(p);
            DrawPlusMinus(p, false);
        });
    case MenuImg::SelectAll: return Picture(DrawSelectAll);
    case MenuImg::Copy: return Picture(DrawCopy);
    case MenuImg::Save: return Picture(DrawFloppy);
    case MenuImg::Clear: return Picture(DrawEraser);
    }
    return QIcon();
}

QIcon PmenuImgList(PmenuImg picture)
{
    switch (picture) {
    case PmenuImg::Detail:
        return Picture([](QPainter& p) {
            Icons::DrawTerminal(p);
            Badge(p, DrawMagnifier);
        });
    case PmenuImg::Desktop: return Picture(DrawDesktop);
    case PmenuImg::RemoteLog:
        return Picture([](QPainter& p) {
            Icons::DrawSheet(p, Warm);
            Badge(p, Icons::DrawTerminal);
        });
    case PmenuImg::RemoteControl:
        return Picture([](QPainter& p) {
            Icons::DrawTerminal(p);
            Badge(p, DrawPointer);
        });
    case PmenuImg::Start: return Picture([](QPainter& p) { Icons::DrawPower(p, Good); });
    case PmenuImg::Shutdown: return Picture([](QPainter& p) { Icons::DrawPower(p, Bad); });
    case PmenuImg::PowerOn: return Picture([](QPainter& p) { DrawBolt(p, Warm); });
    case PmenuImg::PowerOff:
        return Picture([](QPainter& p) {
            DrawBolt(p, QColor(0xb0, 0xb0, 0xb0));
            Badge(p, DrawCross);
        });
    case PmenuImg::New: return Icons::ToolIcon(Icons::Tool::New);
    case PmenuImg::Edit: return Icons::ToolIcon(Icons::Tool::Edit);
    case PmenuImg::Delete: return Icons::ToolIcon(Icons::Tool::Delete);
    case PmenuImg::SelectAll: return Picture(DrawSelectAll);
    case PmenuImg::CheckSelected:
        return Picture([](QPainter& p) {
            Icons::DrawTerminal(p);
            Badge(p, Icons::DrawPing);
        });
    case PmenuImg::CheckAll:
        return Picture([](QPainter& p) {
            DrawSmallTerminals(p);
            p.save();
            p.translate(4, -6);
            p.scale(0.75, 0.75);
            Icons::DrawPing(p);
            p.restore();
        });
    case PmenuImg::Refresh: return Icons::ToolIcon(Icons::Tool::Refresh);
    case PmenuImg::OperationLog: return Page(1);
    case PmenuImg::Tasks: return Page(2);
    case PmenuImg::RunLog: return Page(3);
    case PmenuImg::Temperature: return Page(5);
    case PmenuImg::Export:
        return Picture([](QPainter& p) {
            DrawTable(p);
            DrawArrowRight(p, Good);
        });
    }
    return QIcon();
}

} // namespace MenuIcons
