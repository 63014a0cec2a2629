// The spreadsheet export: a grid's shown columns and every row of its data set, written to a workbook.
#pragma once

#include "foundation/ThreadBase.h"
#include "platform/DataSet.h"

#include <QString>
#include <vector>

class QTableView;

class ThreadExportXls : public ThreadProcessBar {
public:
    // One grid column as the grid showed it when the export was made.
    struct Column {
        QString title;   // as shown, not trimmed
        int width = 0;   // pixels
        bool visible = true;
        int field = -1;  // field index in the rows, -1 when the column shows no field
        bool exported = false; // it gets a sheet column (IsExported)
        bool valued = false;   // its data cells get values: a field, and not the row numbers
    };

    // Created suspended, on the grid's (user-interface) thread: the columns, font and rows of the
    // grid are taken here, so the worker never reads the grid or its live data set. Max is the
    // record count when the grid shows a data set whose first field is not empty in the current
    // record, else 100.
    ThreadExportXls(const QString& name, QTableView* grid, const QString& fileName);

    QTableView* Grid;  // the grid exported; read by the constructor only
    QString FileName;  // the workbook to write

    // Shown, and titled with more than blanks: such a column gets a sheet column.
    static bool IsExported(const Column& column);
    // Sheet column width of a grid column width in pixels.
    static int SheetWidth(int pixels) { return pixels / 7; }

    static constexpr double HeaderRowHeight = 20;
    static constexpr double DataRowHeight = 16;

protected:
    void Run() override;
    // Progress after data row r (from 0) is written.
    virtual void RowDone(int r);

private:
    bool WriteSheet(class Workbook& book); // false when stopped
    void ReportFailure(const QString& reason);

    std::vector<Column> columns_; // every grid column, in the order shown
    DataSet rows_;                // shares the grid's rows as they were
    bool hasRows_ = false;        // a data set with a non-empty first field in its current record
    QString fontName_;
    double fontPoints_ = 0;
};
