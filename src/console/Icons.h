// The console's pictures, drawn in code: toolbar glyphs, tab and menu pictures, product pictures.
#pragma once

#include <QIcon>
#include <QPixmap>

class QColor;
class QPainter;

namespace Icons {

enum class Tool { New, Edit, Delete, Refresh, Search, Show, Ping, Settings, Exit };

// Toolbar glyph (32 x 32), also used at menu size.
QIcon ToolIcon(Tool tool);

// The page pictures (16 x 16), by number: 0 terminals, 1 operation records, 2 planned tasks,
// 3 run records, 4 console, 5 temperature, 6 operators, 7 the close glyph of a tab.
inline constexpr int PageImageCount = 8;
inline constexpr int CloseGlyph = 7;
QPixmap PageImage(int index);

// The product picture (600 x 400) of the splash window and the about box.
QPixmap ProductPicture();

// The banner above the login fields (transparent background).
QPixmap LoginPicture();

// Glyphs on the 32-unit grid of IconStyle, for pictures composed of them.
void DrawTerminal(QPainter& p);
void DrawSheet(QPainter& p, const QColor& lines);
void DrawPing(QPainter& p);
void DrawPower(QPainter& p, const QColor& colour);

} // namespace Icons
