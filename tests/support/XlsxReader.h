// Reads back what the console wrote into a workbook (.xlsx): the first sheet's cells and layout.
#pragma once

#include <QList>
#include <QMap>
#include <QString>

struct XlsxSheet {
    struct Style {
        QString fontName;
        double fontSize = 0;
        QString fill; // the solid fill's colour as "RRGGBB", empty without one
    };
    QString dimension;             // the used range the sheet states, "A1:D3"
    QMap<QString, QString> text;   // "A1" -> the cell's text (string cells only)
    QMap<QString, QString> type;   // "A1" -> its t attribute ("inlineStr", "s", ...)
    QMap<QString, int> style;      // "A1" -> its style number
    QMap<int, double> colWidth;    // column from 1 -> width
    QMap<int, int> colStyle;       // column from 1 -> its style number
    QMap<int, double> rowHeight;   // row from 1 -> height
    QMap<int, int> rowStyle;       // row from 1 -> its style number, for a row with a format
    QList<Style> styles;           // by style number

    QStringList CellsOfColumn(QChar column) const; // "A2", "A3" ... that the sheet holds
    Style StyleOf(const QString& cell) const;
    // The style that a spreadsheet shows the cell in, held or empty: its own, else its row's,
    // else its column's, else the Normal style.
    Style ShownStyle(const QString& cell) const;
};

// Unzips path with the system's unzip and parses the first sheet and the styles; an unreadable
// file throws std::runtime_error.
XlsxSheet ReadXlsx(const QString& path);
