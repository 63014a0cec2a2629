// The operation-record page: grid, pager bar, search box, search, show and hide, and its commands.
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
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

using namespace RecordPageKit;

namespace {
const QString InsSelect = QStringLiteral(
    "select a.id,a.user_id,a.user_name,a.zol_id,b.name,a.operation,a.optime,a.memo,case status when "
    "'0' then '操作失败      ' when '1' then '操作成功      'end as status from zol_op_log a ,  "
    "zol_baseinfo b where  a.zol_id = b.id ");
const QString InsOrder = QStringLiteral(" order by optime desc");
const QString TerminalList = QStringLiteral("select * from zol_baseinfo");
} // namespace

void TMainForm::BuildPageIns()
{
    InsPageControls& c = InsPage;
    c.Sql = InsSelect + QStringLiteral("order by optime desc");
    QueryGrdIns.CommandText = c.Sql;
    c.DsIns = AttachGrid(GrdIns, &QueryGrdIns,
                         {Column("id", "编号", 0, false), Column("", "序号", 40),
                          Column("zol_id", "设备编号", 0, false), Column("name", "设备名称", 180),
                          Column("operation", "操作内容", 260), Column("user_name", "操作员", 100),
                          Column("optime", "操作时间", 150), Column("status", "状态", 100),
                          Column("memo", "备注", 200)},
                         QStringLiteral("DsIns"));
    const PagerBar bar = AddPagerBar(PageIns, QStringLiteral("Ins"));
    c.ComboxInsPageSize = bar.pageSize;
    c.EdtInsCurPage = bar.curPage;
    c.LblInsTotalPage = bar.total;
    c.NavInsControl = bar.navigator;

    QGroupBox* box = GbxInsSearch;
    auto* grid = new QGridLayout(box);
    c.DbCbxDevIns = NewLookup(box, "DbCbxDevIns", &c.QueryCondDevIns, "id", "name");
    c.EdtInsOperation = NewEdit(box, "EdtInsOperation");
    c.EdtInsUserName = NewEdit(box, "EdtInsUserName");
    c.CbxInsTime = NewCheckBox(box, "CbxInsTime", "指定时间");
    c.DtpInsStart = NewDatePicker(box, "DtpInsStart");
    c.DtpInsEnd = NewDatePicker(box, "DtpInsEnd");
    c.BtnInsSearch = NewButton(box, "BtnInsSearch", "查找");
    c.BtnInsClear = NewButton(box, "BtnInsClear", "清空");
    AddField(grid, 0, 0, "设备名称：", c.DbCbxDevIns);
    AddField(grid, 0, 2, "操作内容：", c.EdtInsOperation);
    AddField(grid, 0, 4, "操 作 员：", c.EdtInsUserName);
    AddDateRange(grid, 1, 1, c.CbxInsTime, c.DtpInsStart, c.DtpInsEnd);
    grid->addWidget(c.BtnInsSearch, 0, 6);
    grid->addWidget(c.BtnInsClear, 1, 6);
    grid->setColumnStretch(7, 1);

    connect(c.BtnInsSearch, &QPushButton::clicked, this, [this] { BtnInsSearchClick(); });
    connect(c.BtnInsClear, &QPushButton::clicked, this, [this] { BtnInsClearClick(); });
    connect(c.CbxInsTime, &QCheckBox::clicked, this, [this] { CbxInsTimeClick(); });
    for (QWidget* w : std::initializer_list<QWidget*>{c.DbCbxDevIns, c.EdtInsOperation, c.EdtInsUserName,
                                                      c.DtpInsStart, c.DtpInsEnd})
        OnKeyUp(w, Qt::Key_Return, [this] { DbCbxDevInsKeyUp(Qt::Key_Return); });
    OnEnter(c.EdtInsOperation, [this] { EdtDevNameEnter(); });
    OnEnter(c.EdtInsUserName, [this] { EdtDevMacEnter(); });

    c.PmenuInsGrd = NewPopup(GrdIns, "PmenuInsGrd");
    c.N23 = AddItem(c.PmenuInsGrd, "N23", "删除已选日志记录(&D)");
    c.PmenuInsGrd->addSeparator();
    c.N10 = AddItem(c.PmenuInsGrd, "N10", "全部选择"); // select all: connected with the grid behaviour
    c.F2 = AddItem(c.PmenuInsGrd, "F2", "刷新操作日志列表(&R)");
    c.PmenuInsGrd->addSeparator();
    c.N37 = AddItem(c.PmenuInsGrd, "N37", "导出操作日志列表(&E)"); // export: connected with the exports
    connect(c.N23, &QAction::triggered, this, [this] { N23Click(); });
    connect(c.F2, &QAction::triggered, this, [this] { F2Click(); });
}

void TMainForm::BtnInsSearchClick()
{
    const InsPageControls& c = InsPage;
    QString sql = InsSelect;
    if (!IsBlank(c.DbCbxDevIns->Text()))
        sql += QStringLiteral(" and a.zol_id = ") + CurrentId(c.QueryCondDevIns);
    if (!IsBlank(c.EdtInsUserName->text()))
        sql += QStringLiteral(" and a.user_name like '") + SqlLikeText(c.EdtInsUserName->text()) +
               QStringLiteral("%' ");
    if (!IsBlank(c.EdtInsOperation->text()))
        sql += QStringLiteral(" and a.operation like '") + SqlLikeText(c.EdtInsOperation->text()) +
               QStringLiteral("%'");
    if (c.CbxInsTime->isChecked())
        sql += QStringLiteral(" and a.optime >= '") + RangeStart(c.DtpInsStart->date()) +
               QStringLiteral("' and a.optime <='") + RangeEnd(c.DtpInsEnd->date()) + QStringLiteral("' ");
    sql += InsOrder;
    InsPage.Sql = sql;
    Pagers[1]->SetSql(sql);
}

void TMainForm::BtnInsClearClick()
{
    InsPageControls& c = InsPage;
    FormDbMod->CloseQuery(c.QueryCondDevIns);
    c.QueryCondDevIns.CommandText = TerminalList;
    FormDbMod->ReopenQuery(c.QueryCondDevIns);
    c.DbCbxDevIns->SetKeyValue(QStringLiteral("-1"));
    c.EdtInsOperation->setText(QString());
    c.EdtInsUserName->setText(QString());
    c.CbxInsTime->setChecked(false);
    c.DtpInsStart->setEnabled(false);
    c.DtpInsEnd->setEnabled(false);
}

void TMainForm::CbxInsTimeClick()
{
    EnableDateRange(InsPage.CbxInsTime, InsPage.DtpInsStart, InsPage.DtpInsEnd);
}

void TMainForm::DbCbxDevInsKeyUp(int key)
{
    if (key == Qt::Key_Return)
        BtnInsSearchClick();
}

void TMainForm::PageInsShow()
{
    if (Pagers[1])
        Pagers[1]->SetSql(InsPage.Sql);
    FormDbMod->QuerySqlOn(TerminalList, InsPage.QueryCondDevIns);
}

void TMainForm::PageInsHide()
{
    FormDbMod->CloseQuery(QueryGrdIns);
    FormDbMod->CloseQuery(InsPage.QueryCondDevIns);
}

void TMainForm::DeleteOpLogs()
{
    DeleteGridRows(QStringLiteral("您确定要删除已选记录吗？"), [](const QString& key) {
        FormDbMod->ExecSql(QStringLiteral("delete from zol_op_log where id = ") + key);
    });
}

void TMainForm::ShowRelatedOpLog(int devId)
{
    if (devId < 1)
        return;
    ShowPage(PageIdxIns);
    GbxInsSearch->setVisible(true);
    InsPage.DbCbxDevIns->SetKeyValue(QString::number(devId));
    BtnInsSearchClick();
}

void TMainForm::N23Click() { DeleteOpLogs(); }
void TMainForm::F2Click() { RefreshActivePage(); }
