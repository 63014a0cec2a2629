// The spreadsheet export of a grid: the save dialog, the check for rows, the export worker under
// the wait window, and the export items of the grids' popup menus.
#include "console/MainForm.h"
#include "platform/DataSetModel.h"
#include "terminal/ThreadExportXls.h"

#include <QTableView>

void TMainForm::ExportGrid(QTableView* grid)
{
    const QString fileName = MessageBoxes::AskFile(SaveDialogExcel);
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
