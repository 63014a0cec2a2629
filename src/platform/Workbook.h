// A one-sheet spreadsheet workbook (.xlsx) written row by row, that appears at its path only when saved.
#pragma once

#include <QString>

#include <set>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// Cells are written in ascending row order and are kept on disk, not in memory, so the size of a
// workbook costs no memory. The workbook is built in a temporary file beside its target; Save
// puts it in place in one step (replacing an older file), and a workbook that is destroyed unsaved
// leaves nothing behind. Failures throw Exception with the reason.
class Workbook {
public:
    enum class CellStyle {
        Plain,  // the workbook's font
        Header, // the font on a light grey fill
    };

    // The light grey of the header fill (colour 15 of the spreadsheet's standard palette).
    static constexpr unsigned HeaderFill = 0xC0C0C0;
    // The longest text a cell holds, in characters.
    static constexpr int MaxCellChars = 32767;

    // Every cell of the sheet, written or empty, is in the font fontName at fontPoints, regular
    // style. Throws when no file can be created in the folder of path.
    Workbook(const QString& path, const QString& fontName, double fontPoints);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Column and row numbers count from 0; widths are in characters, heights in points.
    void SetColumnWidth(int column, double width);
    void SetRowHeight(int row, double height); // before the row's first cell
    void WriteText(int row, int column, const QString& text, CellStyle style);

    // Writes the workbook and moves it to its path. Throws (and leaves no file) on failure.
    void Save();

    // text without what a workbook cannot hold: control characters other than tab and line
    // breaks, the non-characters U+FFFE and U+FFFF, and anything past MaxCellChars.
    static QString CellText(const QString& text);

private:
    void Check(int error) const; // throws the library's reason for a non-zero error
    void Discard();
    void FormatUnsizedColumns();

    QString path_;
    QString temp_; // the file the workbook is built in
    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* plain_ = nullptr;
    lxw_format* header_ = nullptr;
    std::set<int> sized_; // the columns given a width
};
