// The run-log page: grid, pager bar, search box, search, show and hide, and its commands.
#include "console/MainForm.h"

#include "console/RecordPageKit.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "foundation/TPagerNavigator.h"
#include "platform/DbLookupCombo.h"
#include "platform/EventHooks.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

using namespace RecordPageKit;

namespace {
const QString LogSelect = QStringLiteral("select * from Zol_log a , zol_baseinfo b where a.zol_id = b.id");
const QString LogOrder = QStringLiteral(" order by updatetime desc");
const QString TerminalList = QStringLiteral("select * from zol_baseinfo");
constexpr int MemoLogHeight = 44;
} // namespace

void TMainForm::BuildPageLog()
{
    LogPageControls& c = LogPage;
    c.Sql = LogSelect + LogOrder;
    QueryGrdLog.CommandText = c.Sql;
    c.DsLog = AttachGrid(GrdLog, &QueryGrdLog,
                         {Column("id", "日志编号", 0, false), Column("", "序号", 40),
                          Column("zol_id", "设备编号", 0, false), Column("name", "设备名称", 180),
                          Column("content", "操作内容", 360), Column("updatetime", "执行时间", 150),
                          Column("memo", "备注", 200)},
                         QStringLiteral("DsLog"));
    const PagerBar bar = AddPagerBar(PageLog, QStringLiteral("Log"));
    c.ComboxLogPageSize = bar.pageSize;
    c.EdtLogCurPage = bar.curPage;
    c.LblLogTotalPage = bar.total;
    c.NavLogControl = bar.navigator;

    QGroupBox* box = GbxLogSearch;
    auto* grid = new QGridLayout(box);
    c.DbCbxDevLog = NewLookup(box, "DbCbxDevLog", &c.QueryCondDevLog, "id", "name");
    c.MemoLog = new QPlainTextEdit(box);
    c.MemoLog->setObjectName(QStringLiteral("MemoLog"));
    c.MemoLog->setFixedHeight(MemoLogHeight);
    c.MemoLog->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed); // the grid takes the height
    c.CbxLogTime = NewCheckBox(box, "CbxLogTime", "指定时间");
    c.DtpLogStart = NewDatePicker(box, "DtpLogStart");
    c.DtpLogEnd = NewDatePicker(box, "DtpLogEnd");
    c.BtnLogSearch = NewButton(box, "BtnLogSearch", "查找");
    c.BtnLogClear = NewButton(box, "BtnLogClear", "清空");
    AddField(grid, 0, 0, "选择设备：", c.DbCbxDevLog);
    AddField(grid, 0, 2, "日志内容：", c.MemoLog);
    AddDateRange(grid, 1, 1, c.CbxLogTime, c.DtpLogStart, c.DtpLogEnd);
    grid->addWidget(c.BtnLogSearch, 0, 6);
    grid->addWidget(c.BtnLogClear, 1, 6);
    grid->setColumnStretch(7, 1);

    connect(c.BtnLogSearch, &QPushButton::clicked, this, [this] { BtnLogSearchClick(); });
    connect(c.BtnLogClear, &QPushButton::clicked, this, [this] { BtnLogClearClick(); });
    connect(c.CbxLogTime, &QCheckBox::clicked, this, [this] { CbxLogTimeClick(); });
    for (QWidget* w : std::initializer_list<QWidget*>{c.DbCbxDevLog, c.DtpLogStart, c.DtpLogEnd, c.MemoLog})
        OnKeyUp(w, Qt::Key_Return, [this] { DbCbxDevLogKeyUp(Qt::Key_Return); });

    c.PmenuLogGrd = NewPopup(GrdLog, "PmenuLogGrd");
    c.N22 = AddItem(c.PmenuLogGrd, "N22", "删除已选操作结果记录(&D)");
    c.PmenuLogGrd->addSeparator();
    c.N53 = AddItem(c.PmenuLogGrd, "N53", "全部选择"); // select all: connected with the grid behaviour
    c.N43 = AddItem(c.PmenuLogGrd, "N43", "刷新操作结果列表(&R)");
    c.PmenuLogGrd->addSeparator();
    c.N40 = AddItem(c.PmenuLogGrd, "N40", "导出操作结果列表(&E)"); // export: connected with the exports
    connect(c.N22, &QAction::triggered, this, [this] { N22Click(); });
    connect(c.N43, &QAction::triggered, this, [this] { N43Click(); });
}

void TMainForm::BtnLogSearchClick()
{
    const LogPageControls& c = LogPage;
    QString sql = LogSelect;
    if (!IsBlank(c.DbCbxDevLog->Text()))
        sql += QStringLiteral(" and a.zol_id = ") + CurrentId(c.QueryCondDevLog);
    const QString content = c.MemoLog->toPlainText();
    if (!IsBlank(content))
        sql += QStringLiteral(" and a.content like '%") + SqlLikeText(content) + QStringLiteral("%'");
    if (c.CbxLogTime->isChecked())
        sql += QStringLiteral(" and a.updatetime >= '") + RangeStart(c.DtpLogStart->date()) +
               QStringLiteral("' and a.updatetime <='") + RangeEnd(c.DtpLogEnd->date()) + QStringLiteral("'");
    sql += LogOrder;
    LogPage.Sql = sql;
    Pagers[0]->SetSql(sql);
}

void TMainForm::BtnLogClearClick()
{
    LogPageControls& c = LogPage;
    c.QueryCondDevLog.CommandText = TerminalList;
    FormDbMod->ReopenQuery(c.QueryCondDevLog);
    c.DbCbxDevLog->SetKeyValue(QStringLiteral("0"));
    c.MemoLog->clear();
    c.CbxLogTime->setChecked(false);
    c.DtpLogStart->setEnabled(false);
    c.DtpLogEnd->setEnabled(false);
}

void TMainForm::CbxLogTimeClick()
{
    EnableDateRange(LogPage.CbxLogTime, LogPage.DtpLogStart, LogPage.DtpLogEnd);
}

void TMainForm::DbCbxDevLogKeyUp(int key)
{
    if (key == Qt::Key_Return)
        BtnLogSearchClick();
}

void TMainForm::PageLogShow()
{
    if (Pagers[0])
        Pagers[0]->SetSql(LogPage.Sql);
    FormDbMod->QuerySqlOn(TerminalList, LogPage.QueryCondDevLog);
    LogPage.DtpLogStart->setDate(QDate::currentDate());
    LogPage.DtpLogEnd->setDate(QDate::currentDate());
}

void TMainForm::PageLogHide()
{
    FormDbMod->CloseQuery(QueryGrdLog);
    FormDbMod->CloseQuery(LogPage.QueryCondDevLog);
}

void TMainForm::DeleteRunLogs()
{
    DeleteGridRows(QStringLiteral("您确定要删除已选记录吗？"), [](const QString& key) {
        FormDbMod->ExecSql(QStringLiteral("delete from zol_log where id = ") + key);
    });
}

void TMainForm::ShowRelatedRunLog(int devId)
{
    if (devId < 1)
        return;
    ShowPage(PageIdxLog);
    GbxLogSearch->setVisible(true);
    LogPage.DbCbxDevLog->SetKeyValue(QString::number(devId));
    BtnLogSearchClick();
}

void TMainForm::N22Click() { DeleteRunLogs(); }
void TMainForm::N43Click() { RefreshActivePage(); }
