// The spreadsheet export of a grid: the save dialog, the check for rows, the export worker under
// the wait window, and the export items of the grids' popup menus.
#include "console/MainForm.h"
#include "platform/DataSetModel.h"
#include "terminal/ThreadExportXls.h"

#include <QFileInfo>
#include <QTableView>

namespace {

// The export writes an xlsx workbook. Under a name ending in .xls, the older format's extension,
// spreadsheet programs warn about or refuse the file, so such a name takes .xlsx instead; any
// other name is kept as chosen.
QString WorkbookName(const QString& chosen)
{
    if (QFileInfo(chosen).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) != 0)
        return chosen;
    return chosen.chopped(3) + QStringLiteral("xlsx");
}

} // namespace

void TMainForm::ExportGrid(QTableView* grid)
{
    FileDialogRequest request = SaveDialogExcel;
    request.nameWritten = WorkbookName;
    const QString fileName = MessageBoxes::AskFile(request);
    if (fileName.isEmpty())
        return;
    const auto* model = grid ? qobject_cast<const DataSetModel*>(grid->model()) : nullptr;
    const DataSet* data = model ? model->GetDataSet() : nullptr;
    if (!data || data->RecordCount() < 1) {
        ShowWarning(QStringLiteral("没有要导出的数据!"));
        return;
    }
    ExportThread = new ThreadExportXls(QStringLiteral("导出Excel线程"), grid, fileName);
    RunUnderWaitWindow(ExportThread); // the wait window frees the worker
    ExportThread = nullptr;
}

void TMainForm::N20Click() { ExportGrid(GrdDev); }
void TMainForm::N37Click() { ExportGrid(GrdIns); }
void TMainForm::E3Click() { ExportGrid(GrdTask); }
void TMainForm::N40Click() { ExportGrid(GrdLog); }
void TMainForm::N14Click() { ExportGrid(GrdUser); }
void TMainForm::MenuItem23Click() { ExportGrid(GrdTemp); }
