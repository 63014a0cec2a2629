// Reading a workbook back: unzip, then the sheet and style parts through QXmlStreamReader.
#include "support/XlsxReader.h"

#include <QProcess>
#include <QXmlStreamReader>

#include <stdexcept>

namespace {

constexpr int UnzipWaitMs = 30000;

QByteArray Part(const QString& path, const QString& part)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, part});
    if (!unzip.waitForFinished(UnzipWaitMs) || unzip.exitCode() != 0)
        throw std::runtime_error(("cannot read " + part + " of " + path).toStdString());
    return unzip.readAllStandardOutput();
}

void ReadSheet(const QByteArray& xml, XlsxSheet& sheet)
{
    QXmlStreamReader r(xml);
    QString cell;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const auto a = r.attributes();
        if (r.name() == u"dimension") {
            sheet.dimension = a.value("ref").toString();
        } else if (r.name() == u"col") {
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c) {
                sheet.colWidth[c] = a.value("width").toDouble();
                if (a.hasAttribute("style"))
                    sheet.colStyle[c] = a.value("style").toInt();
            }
        } else if (r.name() == u"row") {
            if (a.hasAttribute("ht"))
                sheet.rowHeight[a.value("r").toInt()] = a.value("ht").toDouble();
            if (a.value("customFormat") == u"1")
                sheet.rowStyle[a.value("r").toInt()] = a.value("s").toInt();
        } else if (r.name() == u"c") {
            cell = a.value("r").toString();
            sheet.type[cell] = a.value("t").toString();
            sheet.style[cell] = a.value("s").toInt();
        } else if (r.name() == u"t") {
            sheet.text[cell] += r.readElementText();
        }
    }
    if (r.hasError())
        throw std::runtime_error(r.errorString().toStdString());
}

void ReadStyles(const QByteArray& xml, XlsxSheet& sheet)
{
    QXmlStreamReader r(xml);
    QList<XlsxSheet::Style> fonts;
    QStringList fills;
    QString section;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const auto a = r.attributes();
        if (r.name() == u"fonts" || r.name() == u"fills" || r.name() == u"cellXfs" ||
            r.name() == u"cellStyleXfs")
            section = r.name().toString();
        else if (section == u"fonts" && r.name() == u"font")
            fonts << XlsxSheet::Style();
        else if (section == u"fonts" && r.name() == u"sz")
            fonts.last().fontSize = a.value("val").toDouble();
        else if (section == u"fonts" && r.name() == u"name")
            fonts.last().fontName = a.value("val").toString();
        else if (section == u"fills" && r.name() == u"fill")
            fills << QString();
        else if (section == u"fills" && r.name() == u"fgColor")
            fills.last() = a.value("rgb").toString().right(6);
        else if (section == u"cellXfs" && r.name() == u"xf") {
            XlsxSheet::Style style = fonts.value(a.value("fontId").toInt());
            style.fill = fills.value(a.value("fillId").toInt());
            sheet.styles << style;
        }
    }
    if (r.hasError())
        throw std::runtime_error(r.errorString().toStdString());
}

} // namespace

QStringList XlsxSheet::CellsOfColumn(QChar column) const
{
    QStringList cells;
    for (auto it = type.begin(); it != type.end(); ++it)
        if (it.key().front() == column && it.key().at(1).isDigit())
            cells << it.key();
    return cells;
}

XlsxSheet::Style XlsxSheet::StyleOf(const QString& cell) const
{
    return styles.value(style.value(cell));
}

XlsxSheet::Style XlsxSheet::ShownStyle(const QString& cell) const
{
    if (style.contains(cell))
        return StyleOf(cell);
    qsizetype letters = 0;
    int column = 0;
    while (letters < cell.size() && cell.at(letters).isLetter())
        column = column * 26 + (cell.at(letters++).unicode() - u'A' + 1);
    const int row = cell.mid(letters).toInt();
    if (rowStyle.contains(row))
        return styles.value(rowStyle.value(row));
    return styles.value(colStyle.value(column));
}

XlsxSheet ReadXlsx(const QString& path)
{
    XlsxSheet sheet;
    ReadSheet(Part(path, QStringLiteral("xl/worksheets/sheet1.xml")), sheet);
    ReadStyles(Part(path, QStringLiteral("xl/styles.xml")), sheet);
    return sheet;
}
