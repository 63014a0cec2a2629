// The spreadsheet export worker: widths, header row and data rows of a grid into a new workbook.
#include "terminal/ThreadExportXls.h"

#include "platform/DataSetModel.h"
#include "platform/Exception.h"
#include "platform/TrimBlanks.h"
#include "platform/Workbook.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QTableView>

#include <functional>
#include <optional>

namespace {
const QString RowNumberTitle = QStringLiteral("序号");
} // namespace

ThreadExportXls::ThreadExportXls(const QString& name, QTableView* grid, const QString& fileName)
    : ThreadProcessBar(name), Grid(grid), FileName(fileName)
{
    const auto* model = grid ? qobject_cast<const DataSetModel*>(grid->model()) : nullptr;
    const DataSet* data = model ? model->GetDataSet() : nullptr;
    if (!data)
        return; // refused by Run
    rows_ = *data;

    const QHeaderView* header = grid->horizontalHeader();
    for (int visual = 0; visual < model->columnCount(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const DataSetColumn& shown = model->Columns().at(logical);
        Column column;
        column.title = model->headerData(logical, Qt::Horizontal).toString();
        column.width = grid->columnWidth(logical);
        column.visible = !grid->isColumnHidden(logical);
        column.field = shown.field.isEmpty() ? -1 : rows_.FindField(shown.field);
        column.exported = IsExported(column);
        // The row-number column is drawn by the grid; it has no values to export.
        column.valued = column.field >= 0 && TrimBlanks(column.title) != RowNumberTitle;
        columns_.push_back(column);
    }

    // The grid's first field holds the record key: an empty key means there is no record.
    const QString firstField = model->Columns().isEmpty() ? QString() : model->Columns().first().field;
    const int first = firstField.isEmpty() ? -1 : rows_.FindField(firstField);
    hasRows_ = first >= 0 && !rows_.AsString(first).isEmpty();
    SetMax(hasRows_ ? rows_.RecordCount() : 100);

    const QFont font = grid->font();
    fontName_ = font.family();
    fontPoints_ = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

bool ThreadExportXls::IsExported(const Column& column)
{
    return column.visible && !TrimBlanks(column.title).isEmpty();
}

void ThreadExportXls::RowDone(int r)
{
    SetPosition(r);
}

void ThreadExportXls::ReportFailure(const QString& reason)
{
    ShowError(QStringLiteral("导出Excel文件失败: ") + FileName + QStringLiteral("\n") + reason);
}

void ThreadExportXls::Run()
{
    if (!hasRows_) {
        ShowWarning(QStringLiteral("没有要导出的记录!"));
        return;
    }
    // Any failure leaves no file: the workbook is put at FileName by its last step only.
    std::optional<Workbook> book;
    try {
        book.emplace(FileName, fontName_, fontPoints_);
        if (!WriteSheet(*book))
            return; // stopped: the unsaved workbook goes with book
        SetPosition(GetMax());
        book->Save();
    } catch (const Exception& e) {
        book.reset();
        ReportFailure(e.Message);
    } catch (const std::exception& e) {
        book.reset();
        ReportFailure(QString::fromUtf8(e.what()));
    }
}

bool ThreadExportXls::WriteSheet(Workbook& book)
{
    // Runs write for every exported column with its place in the sheet; false once a stop has
    // been asked for.
    const auto eachColumn = [this](const std::function<void(const Column&, int)>& write) {
        int k = 0;
        for (const Column& column : columns_) {
            if (!column.exported)
                continue;
            if (StopRequested)
                return false;
            write(column, k);
            ++k;
        }
        return true;
    };
    if (!eachColumn([&](const Column& column, int k) { book.SetColumnWidth(k, SheetWidth(column.width)); }))
        return false;
    book.SetRowHeight(0, HeaderRowHeight);
    if (!eachColumn([&](const Column& column, int k) { book.WriteText(0, k, column.title, Workbook::CellStyle::Header); }))
        return false;
    const int rows = rows_.RecordCount();
    for (int r = 0; r < rows; ++r) {
        book.SetRowHeight(r + 1, DataRowHeight);
        const bool written = eachColumn([&](const Column& column, int k) {
            if (!column.valued)
                return;
            const DataSet::Value& value = rows_.Cell(r, column.field);
            book.WriteText(r + 1, k, value ? *value : QString(), Workbook::CellStyle::Plain);
        });
        if (!written)
            return false;
        RowDone(r);
    }
    return true;
}
