// The planned-task page: grid, pager bar, search box, search, show and hide, and its commands.
#include "console/MainForm.h"

#include "console/ModalDialog.h"
#include "console/RecordPageKit.h"
#include "foundation/DbMod.h"
#include "foundation/TPagerNavigator.h"
#include "platform/DbLookupCombo.h"
#include "platform/EventHooks.h"
#include "windows/TaskEdit.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

using namespace RecordPageKit;

namespace {
const QString TaskDesignSql = QStringLiteral(
    "select a.task_id,a.zol_id,b.name,c.task_type_name,a.shutdown_time, a.up_time, exec_unit , "
    "task_memo from zol_scheduletask a ,  zol_baseinfo b,zol_tasktype c  where a.zol_id = b.id and "
    "a.task_type_id = c.task_type_id order by b.name");
const QString TaskSelect = QStringLiteral(
    "select a.task_id,a.zol_id,b.name,c.task_type_name,a.shutdown_time, up_time,  exec_unit , "
    "task_memo from zol_scheduletask a , zol_baseinfo b ,zol_tasktype c  where a.zol_id = b.id and "
    "a.task_type_id = c.task_type_id");
const QString TerminalList = QStringLiteral("select * from zol_baseinfo");
const QString TypeList = QStringLiteral("select *  from zol_tasktype ");
} // namespace

void TMainForm::BuildPageTask()
{
    TaskPageControls& c = TaskPage;
    c.Sql = TaskDesignSql;
    QueryGrdTask.CommandText = c.Sql;
    c.DsTask = AttachGrid(GrdTask, &QueryGrdTask,
                          {Column("task_id", "计划编号", 0, false), Column("", "序号", 40),
                           Column("zol_id", "设备编号", 0, false), Column("name", "设备名称", 180),
                           Column("task_type_name", "计划类别", 120), Column("shutdown_time", "关机时间", 150),
                           Column("up_time", "开机时间", 150), Column("exec_unit", "循环周期", 80),
                           Column("task_memo", "备注", 220)},
                          QStringLiteral("DsTask"));
    const PagerBar bar = AddPagerBar(PageTask, QStringLiteral("Task"));
    c.ComboxTaskPageSize = bar.pageSize;
    c.EdtTaskCurPage = bar.curPage;
    c.LblTaskTotalPage = bar.total;
    c.NavTaskControl = bar.navigator;

    QGroupBox* box = GbxTaskSearch;
    auto* grid = new QGridLayout(box);
    c.DbCbxDevTask = NewLookup(box, "DbCbxDevTask", &c.QueryCondDevTask, "id", "name");
    c.DbCbxTaskType = NewLookup(box, "DbCbxTaskType", &c.QueryCondTaskType, "task_type_id", "task_type_name");
    c.BtnTaskSearch = NewButton(box, "BtnTaskSearch", "查找");
    c.BtnTaskClear = NewButton(box, "BtnTaskClear", "清空");
    AddField(grid, 0, 0, "选择设备：", c.DbCbxDevTask);
    AddField(grid, 0, 2, "任务类别：", c.DbCbxTaskType);
    grid->addWidget(c.BtnTaskSearch, 0, 4);
    grid->addWidget(c.BtnTaskClear, 0, 5);
    grid->setColumnStretch(6, 1);

    connect(c.BtnTaskSearch, &QPushButton::clicked, this, [this] { BtnTaskSearchClick(); });
    connect(c.BtnTaskClear, &QPushButton::clicked, this, [this] { BtnTaskClearClick(); });
    for (QWidget* w : std::initializer_list<QWidget*>{c.DbCbxDevTask, c.DbCbxTaskType})
        OnKeyUp(w, Qt::Key_Return, [this] { DbCbxDevTaskKeyUp(Qt::Key_Return); });

    c.PmenuTaskGrd = NewPopup(GrdTask, "PmenuTaskGrd");
    c.N38 = AddItem(c.PmenuTaskGrd, "N38", "新增任务(&N)");
    c.E2 = AddItem(c.PmenuTaskGrd, "E2", "编辑任务(&M)");
    c.D2 = AddItem(c.PmenuTaskGrd, "D2", "删除已选任务(&D)");
    c.PmenuTaskGrd->addSeparator();
    c.N12 = AddItem(c.PmenuTaskGrd, "N12", "全部选择"); // select all: connected with the grid behaviour
    c.N42 = AddItem(c.PmenuTaskGrd, "N42", "刷新任务列表(&R)");
    c.PmenuTaskGrd->addSeparator();
    c.E3 = AddItem(c.PmenuTaskGrd, "E3", "导出任务列表(&E)"); // export: connected with the exports
    connect(c.N38, &QAction::triggered, this, [this] { N38Click(); });
    connect(c.E2, &QAction::triggered, this, [this] { E2Click(); });
    connect(c.D2, &QAction::triggered, this, [this] { D2Click(); });
    connect(c.N42, &QAction::triggered, this, [this] { N42Click(); });

    // The same menu opens anywhere on the page control where nothing has a menu of its own.
    PageControlMain->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(PageControlMain, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        TaskPage.PmenuTaskGrd->popup(PageControlMain->mapToGlobal(pos));
    });
}

void TMainForm::BtnTaskSearchClick()
{
    const TaskPageControls& c = TaskPage;
    QString sql = TaskSelect;
    if (!IsBlank(c.DbCbxDevTask->Text()))
        sql += QStringLiteral(" and a.zol_id = ") + CurrentId(c.QueryCondDevTask);
    if (!IsBlank(c.DbCbxTaskType->Text()))
        sql += QStringLiteral(" and a.task_type_id=") + CurrentId(c.QueryCondTaskType, "task_type_id");
    sql += QStringLiteral(" order by b.name");
    TaskPage.Sql = sql;
    Pagers[2]->SetSql(sql);
}

void TMainForm::BtnTaskClearClick()
{
    TaskPageControls& c = TaskPage;
    c.DbCbxDevTask->SetKeyValue(QStringLiteral("0"));
    c.DbCbxTaskType->SetKeyValue(QStringLiteral("0"));
    c.QueryCondDevTask.CommandText = TerminalList;
    FormDbMod->ReopenQuery(c.QueryCondDevTask);
    c.QueryCondTaskType.CommandText = TypeList;
    FormDbMod->ReopenQuery(c.QueryCondTaskType);
}

void TMainForm::DbCbxDevTaskKeyUp(int key)
{
    if (key == Qt::Key_Return)
        BtnTaskSearchClick();
}

void TMainForm::PageTaskShow()
{
    if (Pagers[2])
        Pagers[2]->SetSql(TaskPage.Sql);
    FormDbMod->QuerySqlOn(TerminalList, TaskPage.QueryCondDevTask);
    FormDbMod->QuerySqlOn(TypeList, TaskPage.QueryCondTaskType);
}

void TMainForm::PageTaskHide()
{
    FormDbMod->CloseQuery(QueryGrdTask);
    FormDbMod->CloseQuery(TaskPage.QueryCondDevTask);
    FormDbMod->CloseQuery(TaskPage.QueryCondTaskType);
}

void TMainForm::AddTask()
{
    ShowPageTask();
    RunRecordDialog<TFormTaskEdit>(this, FormTaskEdit, [](TFormTaskEdit&) {});
}

// The task menu is also the page control's menu: its edit and delete items do nothing while
// another page is active, so that they never take a key from another page's grid.
void TMainForm::EditTask()
{
    if (GetActivePageIndex() != PageIdxTask)
        return;
    const int id = GetGridRowId();
    RunRecordDialog<TFormTaskEdit>(this, FormTaskEdit, [id](TFormTaskEdit& d) { d.LoadTask(id); });
}

void TMainForm::DeleteTasks()
{
    if (GetActivePageIndex() != PageIdxTask)
        return;
    DeleteGridRows(QStringLiteral("您确定要删除已选计划任务吗？"), [](const QString& key) {
        FormDbMod->ExecSql(QStringLiteral("delete from zol_scheduletask where task_id = ") + key);
    });
}

void TMainForm::ShowRelatedTasks(int devId)
{
    if (devId < 1)
        return;
    ShowPage(PageIdxTask);
    GbxTaskSearch->setVisible(true);
    TaskPage.DbCbxDevTask->SetKeyValue(QString::number(devId));
    BtnTaskSearchClick();
}

void TMainForm::N38Click() { AddTask(); }
void TMainForm::E2Click() { EditTask(); }
void TMainForm::D2Click() { DeleteTasks(); }
void TMainForm::N42Click() { RefreshActivePage(); }
