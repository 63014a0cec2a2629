// The record commands of the main window: New, Edit and Delete on the toolbar, in the file menu and
// in the device popups, the terminal dialog, deleting grid rows, the related-records items and the
// double click on the tree.
#include "console/MainForm.h"

#include "console/ModalDialog.h"
#include "foundation/DbMod.h"
#include "platform/DataSetModel.h"
#include "windows/DevEdit.h"

#include <QAction>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

namespace {
const QString AskDeleteDevices = QStringLiteral("您确定要删除已选设备吗？");
} // namespace

void TMainForm::BuildRecordCommands()
{
    connect(BtnNew, &QToolButton::clicked, this, [this] { BtnNewClick(); });
    connect(BtnEdit, &QToolButton::clicked, this, [this] { BtnEditClick(); });
    connect(BtnDel, &QToolButton::clicked, this, [this] { BtnDelClick(); });
    const auto on = [this](QAction* item, void (TMainForm::*handler)()) {
        connect(item, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on(N3, &TMainForm::N3Click);
    on(N8, &TMainForm::N8Click);
    on(D1, &TMainForm::D1Click);
    on(N15, &TMainForm::N15Click);
    on(N17, &TMainForm::N17Click);
    on(N30, &TMainForm::N30Click);
    on(N31, &TMainForm::N31Click);
    on(N32, &TMainForm::N32Click);
    on(F1, &TMainForm::F1Click);
    on(N27, &TMainForm::N27Click);
    on(N26, &TMainForm::N26Click);
    on(N25, &TMainForm::N25Click);
    on(N7, &TMainForm::N7Click);
    on(MenuItem3, &TMainForm::MenuItem3Click);
    on(MenuItem4, &TMainForm::MenuItem4Click);
    on(MenuItem5, &TMainForm::MenuItem5Click);
    on(N41, &TMainForm::N41Click);
    on(MenuItem9, &TMainForm::MenuItem9Click);
    on(MenuItem10, &TMainForm::MenuItem10Click);
    on(MenuItem11, &TMainForm::MenuItem11Click);
    on(N5, &TMainForm::N5Click);
    connect(TreeDev, &QTreeWidget::itemDoubleClicked, this, [this] { TreeDevDblClick(); });
}

// ---- New, Edit and Delete by page

void TMainForm::NewOnCurrentPage()
{
    switch (GetActivePageIndex()) {
    case PageIdxDev: AddDevice(); break;
    case PageIdxTask: AddTask(); break;
    case PageIdxUser: AddUser(); break;
    default: break;
    }
}

void TMainForm::EditOnCurrentPage()
{
    switch (GetActivePageIndex()) {
    case PageIdxDev: EditGridDevice(); break;
    case PageIdxTask: EditTask(); break;
    case PageIdxUser: EditUser(); break;
    default: break;
    }
}

void TMainForm::DeleteOnCurrentPage()
{
    switch (GetActivePageIndex()) {
    case PageIdxDev: DeleteGridDevices(); break;
    case PageIdxIns: DeleteOpLogs(); break;
    case PageIdxTask: DeleteTasks(); break;
    case PageIdxLog: DeleteRunLogs(); break;
    case PageIdxUser: DeleteUsers(); break;
    case PageIdxTemp: DeleteTempLogs(); break;
    default: break;
    }
}

// ---- terminals

void TMainForm::AddDevice()
{
    ShowPageDev();
    RunRecordDialog<TFormDevEdit>(this, FormDevEdit, [](TFormDevEdit&) {});
}

void TMainForm::EditGridDevice()
{
    const int id = GetGridRowId();
    RunRecordDialog<TFormDevEdit>(this, FormDevEdit, [id](TFormDevEdit& d) { d.LoadDevice(id); });
}

void TMainForm::EditTreeDevice()
{
    const int id = GetTreeDevId();
    RunRecordDialog<TFormDevEdit>(this, FormDevEdit, [id](TFormDevEdit& d) { d.LoadDevice(id); });
}

// The terminal row first, then its status row and its tree node. A terminal whose row the database
// refused to delete stays whole: its status row and its node are kept.
void TMainForm::DeleteDevice(const QString& key)
{
    if (!FormDbMod->TryExecSql(QStringLiteral("delete from zol_baseinfo where id = ") + key))
        return;
    FormDbMod->ExecSql(QStringLiteral("delete from zol_status where zol_id = ") + key);
    RemoveDevTreeNode(key.toInt());
}

void TMainForm::DeleteGridDevices()
{
    if (DeleteGridRows(AskDeleteDevices, [this](const QString& key) { DeleteDevice(key); }))
        ShowDevDetail(DevGridRowId());
}

void TMainForm::DeleteTreeDevice()
{
    if (!Confirm(AskDeleteDevices))
        return;
    const int id = GetTreeDevId();
    if (id < 1)
        return;
    DeleteDevice(QString::number(id));
    RefreshActivePage();
    ShowDevDetail(DevGridRowId());
}

int TMainForm::DevGridRowId() const
{
    const int idField = QueryGrdDev.FindField(QStringLiteral("id"));
    if (idField < 0 || QueryGrdDev.RecNo() < 1)
        return 0;
    bool ok = false;
    const int id = QueryGrdDev.Cell(QueryGrdDev.RecNo() - 1, idField).value_or(QString()).toInt(&ok);
    return ok ? id : 0;
}

// ---- deleting grid rows

QStringList TMainForm::ActiveGridKeys()
{
    QStringList keys;
    QTableView* grid = GetActiveGrid();
    const auto* model = grid ? qobject_cast<const DataSetModel*>(grid->model()) : nullptr;
    if (!model || !model->GetDataSet() || model->Columns().isEmpty())
        return keys;
    const DataSet& rows = *model->GetDataSet();
    // The first column of every record grid holds the row's key.
    const int keyField = rows.FindField(model->Columns().first().field);
    const QList<int> selected = DataSetModel::SelectedRows(grid);
    if (keyField < 0 || selected.isEmpty()) {
        keys << QString::number(GetGridRowId());
        return keys;
    }
    for (int row : selected)
        if (row < rows.RecordCount())
            keys << rows.Cell(row, keyField).value_or(QString());
    return keys;
}

bool TMainForm::DeleteGridRows(const QString& question, const std::function<void(const QString&)>& deleteRow)
{
    if (!Confirm(question))
        return false;
    if (GetGridRowId() < 1)
        return false;
    for (const QString& key : ActiveGridKeys())
        deleteRow(key);
    RefreshActivePage();
    return true;
}

// ---- related records and the tree's double click

void TMainForm::TreeDevDblClick()
{
    const int id = GetTreeDevId();
    switch (GetActivePageIndex()) {
    case PageIdxIns: ShowRelatedOpLog(id); return;
    case PageIdxTask: ShowRelatedTasks(id); return;
    case PageIdxLog: ShowRelatedRunLog(id); return;
    case PageIdxTemp: ShowRelatedTemp(id); return;
    default: break;
    }
    ShowPageDev();
    GrdDev->clearSelection();
    QueryGrdDev.Locate(QStringLiteral("id"), QString::number(id));
    ShiftAnchorRecNo = QueryGrdDev.RecNo(); // a later Shift+click ranges from the located row
    ShowDevDetail(id);
}

void TMainForm::BtnNewClick() { NewOnCurrentPage(); }
void TMainForm::BtnEditClick() { EditOnCurrentPage(); }
void TMainForm::BtnDelClick() { DeleteOnCurrentPage(); }
void TMainForm::N3Click() { NewOnCurrentPage(); }
void TMainForm::N8Click() { EditOnCurrentPage(); }
void TMainForm::D1Click() { DeleteOnCurrentPage(); }
void TMainForm::N15Click() { AddDevice(); }
void TMainForm::N17Click() { AddTask(); }
void TMainForm::N30Click() { AddDevice(); }
void TMainForm::N31Click() { EditGridDevice(); }
void TMainForm::N32Click() { DeleteGridDevices(); }
void TMainForm::F1Click() { RefreshActivePage(); }
void TMainForm::MenuItem3Click() { AddDevice(); }
void TMainForm::MenuItem4Click() { EditTreeDevice(); }
void TMainForm::MenuItem5Click() { DeleteTreeDevice(); }

void TMainForm::N41Click()
{
    BuildDevTree();
    CheckAllDevNet();
}

// The grid's terminal is read before the page changes; the page opens even without a terminal.
void TMainForm::N27Click()
{
    const int id = GetGridRowId();
    ShowPageIns();
    ShowRelatedOpLog(id);
}

void TMainForm::N26Click()
{
    const int id = GetGridRowId();
    ShowPageTask();
    ShowRelatedTasks(id);
}

void TMainForm::N25Click()
{
    const int id = GetGridRowId();
    ShowPageLog();
    ShowRelatedRunLog(id);
}

void TMainForm::N7Click() { ShowRelatedTemp(GetGridRowId()); }

void TMainForm::MenuItem9Click()
{
    const int id = GetTreeDevId();
    ShowPageIns();
    ShowRelatedOpLog(id);
}

void TMainForm::MenuItem10Click()
{
    const int id = GetTreeDevId();
    ShowPageTask();
    ShowRelatedTasks(id);
}

void TMainForm::MenuItem11Click()
{
    const int id = GetTreeDevId();
    ShowPageLog();
    ShowRelatedRunLog(id);
}

void TMainForm::N5Click() { ShowRelatedTemp(GetTreeDevId()); }
