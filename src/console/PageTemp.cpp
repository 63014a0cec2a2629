// The temperature-record page: grid, pager bar, search box with its temperature condition, search,
// show and hide, and its commands.
#include "console/MainForm.h"

#include "console/RecordPageKit.h"
#include "foundation/DbMod.h"
#include "foundation/TPagerNavigator.h"
#include "platform/DbLookupCombo.h"
#include "platform/EventHooks.h"
#include "platform/TrimBlanks.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>

using namespace RecordPageKit;

namespace {
const QString TempSelect =
    QStringLiteral("select a.name,b.* from zol_temp_log b, zol_baseinfo a where b.zol_id = a.id");
const QString TempOrder = QStringLiteral(" order by updatetime desc");
const QString TerminalList = QStringLiteral("select * from zol_baseinfo");
constexpr int TempValueWidth = 133;
constexpr int TempRangeWidth = 55;
constexpr int CondBoxWidth = 90;
constexpr int ItemRange = 5; // 区间

// The stored temperature as the grid shows it: the server's text of the single-precision value
// (45.3, not 45.2999992370605), read back as a number. Compared as stored, a row shown at 36.6
// would not equal 36.6, nor would one shown at 36.2 be at most 36.2.
const QString AndShownTemp = QStringLiteral("  and (cast(b.temp as char) + 0e0)");
// The comparison each item of CbxCondTemp makes, followed by the first value as typed.
const char* const TempComparisons[] = {" < ", " <= ", " = ", " > ", " >= "};

// The value goes into the statement as typed, so only a plain decimal number counts as one.
bool IsTemperature(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    return plain.match(TrimBlanks(text)).hasMatch();
}
} // namespace

void TMainForm::BuildPageTemp()
{
    TempPageControls& c = TempPage;
    c.Sql = QStringLiteral("select a.name,b.* from zol_temp_log b, zol_baseinfo a where b.zol_id = a.id "
                           "order by updatetime desc");
    QueryGrdTemp.CommandText = c.Sql;
    c.DsTemp = AttachGrid(GrdTemp, &QueryGrdTemp,
                          {Column("id", "日志编号", 0, false), Column("", "序号", 40),
                           Column("zol_id", "设备编号", 0, false), Column("name", "设备名称", 180),
                           Column("temp", "温度（℃）", 100), Column("updatetime", "更新时间", 150),
                           Column("memo", "备注", 240)},
                          QStringLiteral("DsTemp"));
    const PagerBar bar = AddPagerBar(PageTemp, QStringLiteral("Temp"));
    c.ComboxTempPageSize = bar.pageSize;
    c.EdtTempCurPage = bar.curPage;
    c.LblTempTotalPage = bar.total;
    c.NavTempControl = bar.navigator;

    QGroupBox* box = GbxTempSearch;
    auto* grid = new QGridLayout(box);
    c.DbCbxDevTemp = NewLookup(box, "DbCbxDevTemp", &c.QueryCondDevTemp, "id", "name");

    auto* temperature = new QGroupBox(QStringLiteral("温度"), box);
    temperature->setObjectName(QStringLiteral("GbxTempCond"));
    auto* row = new QHBoxLayout(temperature);
    c.CbxCondTemp = new QComboBox(temperature);
    c.CbxCondTemp->setObjectName(QStringLiteral("CbxCondTemp"));
    c.CbxCondTemp->addItems({QStringLiteral("小于"), QStringLiteral("小于等于"), QStringLiteral("等于"),
                             QStringLiteral("大于"), QStringLiteral("大于等于"), QStringLiteral("区间")});
    c.CbxCondTemp->setCurrentIndex(-1);
    c.CbxCondTemp->setMinimumWidth(CondBoxWidth);
    c.EdtTempValue = new QLineEdit(temperature);
    c.EdtTempValue->setObjectName(QStringLiteral("EdtTempValue"));
    c.EdtTempValue->setFixedWidth(TempValueWidth);
    c.LblTempRange = new QLabel(QStringLiteral("--"), temperature);
    c.LblTempRange->setObjectName(QStringLiteral("LblTempRange"));
    c.LblTempRange->hide();
    c.EdtTempValue2 = new QLineEdit(temperature);
    c.EdtTempValue2->setObjectName(QStringLiteral("EdtTempValue2"));
    c.EdtTempValue2->setFixedWidth(TempRangeWidth);
    c.EdtTempValue2->hide();
    row->addWidget(c.CbxCondTemp);
    row->addWidget(c.EdtTempValue);
    row->addWidget(c.LblTempRange);
    row->addWidget(c.EdtTempValue2);
    row->addWidget(new QLabel(QStringLiteral("℃"), temperature));

    c.CbxTempTime = NewCheckBox(box, "CbxTempTime", "指定时间");
    c.DtpTempStart = NewDatePicker(box, "DtpTempStart");
    c.DtpTempEnd = NewDatePicker(box, "DtpTempEnd");
    c.BtnTempSearch = NewButton(box, "BtnTempSearch", "查找");
    c.BtnTempClear = NewButton(box, "BtnTempClear", "清空");
    AddField(grid, 0, 0, "选择设备：", c.DbCbxDevTemp);
    grid->addWidget(temperature, 0, 2, 1, 4);
    AddDateRange(grid, 1, 1, c.CbxTempTime, c.DtpTempStart, c.DtpTempEnd);
    grid->addWidget(c.BtnTempSearch, 0, 6);
    grid->addWidget(c.BtnTempClear, 1, 6);
    grid->setColumnStretch(7, 1);

    connect(c.BtnTempSearch, &QPushButton::clicked, this, [this] { BtnTempSearchClick(); });
    connect(c.BtnTempClear, &QPushButton::clicked, this, [this] { BtnTempClearClick(); });
    connect(c.CbxTempTime, &QCheckBox::clicked, this, [this] { CbxTempTimeClick(); });
    connect(c.CbxCondTemp, &QComboBox::currentIndexChanged, this, [this] { CbxCondTempChange(); });
    for (QWidget* w : std::initializer_list<QWidget*>{c.DbCbxDevTemp, c.DtpTempStart, c.DtpTempEnd,
                                                      c.CbxCondTemp, c.EdtTempValue, c.EdtTempValue2})
        OnKeyUp(w, Qt::Key_Return, [this] { DbCbxDevTempKeyUp(Qt::Key_Return); });

    c.PmenuTempGrd = NewPopup(GrdTemp, "PmenuTempGrd");
    c.MenuItem18 = AddItem(c.PmenuTempGrd, "MenuItem18", "删除已选操作温度记录(&D)");
    c.PmenuTempGrd->addSeparator();
    c.MenuItem20 = AddItem(c.PmenuTempGrd, "MenuItem20", "全部选择"); // connected with the grid behaviour
    c.MenuItem21 = AddItem(c.PmenuTempGrd, "MenuItem21", "刷新温度记录列表(&R)");
    c.PmenuTempGrd->addSeparator();
    c.MenuItem23 = AddItem(c.PmenuTempGrd, "MenuItem23", "导出温度记录列表(&E)"); // connected with the exports
    connect(c.MenuItem18, &QAction::triggered, this, [this] { MenuItem18Click(); });
    connect(c.MenuItem21, &QAction::triggered, this, [this] { N43Click(); });
}

void TMainForm::BtnTempSearchClick()
{
    const TempPageControls& c = TempPage;
    QString sql = TempSelect;
    if (!IsBlank(c.DbCbxDevTemp->Text()))
        sql += QStringLiteral(" and b.zol_id = ") + CurrentId(c.QueryCondDevTemp);
    const int item = c.CbxCondTemp->currentIndex();
    const QString first = c.EdtTempValue->text();
    if (!IsBlank(first) && item >= 0) {
        const QString second = c.EdtTempValue2->text();
        if (!IsTemperature(first) || (item == ItemRange && !IsTemperature(second))) {
            ShowWarning(QStringLiteral("请输有效的温度或温度范围！"));
            return;
        }
        // Held as the stored single-precision value; a first value of zero adds no condition.
        const float value = TrimBlanks(first).toFloat();
        if (value != 0.0f) {
            if (item == ItemRange)
                sql += AndShownTemp + QStringLiteral(" <= ") + first + AndShownTemp + QStringLiteral(" >= ") + second;
            else
                sql += AndShownTemp + QString::fromLatin1(TempComparisons[item]) + first;
        }
    }
    if (c.CbxTempTime->isChecked())
        sql += QStringLiteral(" and b.updatetime >= '") + RangeStart(c.DtpTempStart->date()) +
               QStringLiteral("' and b.updatetime <='") + RangeEnd(c.DtpTempEnd->date()) + QStringLiteral("'");
    sql += TempOrder;
    TempPage.Sql = sql;
    Pagers[4]->SetSql(sql);
}

void TMainForm::BtnTempClearClick()
{
    TempPageControls& c = TempPage;
    c.QueryCondDevTemp.CommandText = TerminalList;
    FormDbMod->ReopenQuery(c.QueryCondDevTemp);
    c.DbCbxDevTemp->SetKeyValue(QStringLiteral("0"));
    c.CbxCondTemp->setCurrentIndex(-1);
    c.CbxCondTemp->setMinimumWidth(CondBoxWidth);
    c.EdtTempValue->setText(QString());
    c.CbxTempTime->setChecked(false);
    c.DtpTempStart->setEnabled(false);
    c.DtpTempEnd->setEnabled(false);
    CbxCondTempChange();
}

void TMainForm::CbxTempTimeClick()
{
    EnableDateRange(TempPage.CbxTempTime, TempPage.DtpTempStart, TempPage.DtpTempEnd);
}

void TMainForm::CbxCondTempChange()
{
    const bool range = TempPage.CbxCondTemp->currentIndex() == ItemRange;
    TempPage.EdtTempValue->setFixedWidth(range ? TempRangeWidth : TempValueWidth);
    TempPage.EdtTempValue2->setVisible(range);
    TempPage.LblTempRange->setVisible(range);
}

void TMainForm::DbCbxDevTempKeyUp(int key)
{
    if (key == Qt::Key_Return)
        BtnTempSearchClick();
}

void TMainForm::PageTempShow()
{
    if (Pagers[4])
        Pagers[4]->SetSql(TempPage.Sql);
    FormDbMod->QuerySqlOn(TerminalList, TempPage.QueryCondDevTemp);
    TempPage.EdtTempValue->setAlignment(Qt::AlignRight);
    TempPage.EdtTempValue2->setAlignment(Qt::AlignRight);
    TempPage.DtpTempStart->setDate(QDate::currentDate());
    TempPage.DtpTempEnd->setDate(QDate::currentDate());
}

void TMainForm::PageTempHide()
{
    FormDbMod->CloseQuery(QueryGrdTemp);
    FormDbMod->CloseQuery(TempPage.QueryCondDevTemp);
}

void TMainForm::DeleteTempLogs()
{
    DeleteGridRows(QStringLiteral("您确定要删除已选温度记录吗？"), [](const QString& key) {
        FormDbMod->ExecSql(QStringLiteral("delete from zol_temp_log where id = ") + key);
    });
}

void TMainForm::ShowRelatedTemp(int devId)
{
    if (devId < 1)
        return;
    ShowPage(PageIdxTemp);
    GbxTempSearch->setVisible(true);
    TempPage.DbCbxDevTemp->SetKeyValue(QString::number(devId));
    BtnTempSearchClick();
}

void TMainForm::MenuItem18Click() { DeleteTempLogs(); }
