// The device page's search box: its controls, the search, the clear button and the key and focus
// handlers shared with the other pages' edits.
#include "console/MainForm.h"

#include "console/RecordPageKit.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "platform/DataSetModel.h"
#include "platform/EventHooks.h"
#include "platform/TrimBlanks.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace RecordPageKit;

void TMainForm::BuildDevSearch()
{
    DevSearchControls& c = DevSearch;
    auto* grid = new QGridLayout(GbxDevSearch);
    c.EdtDevName = NewEdit(GbxDevSearch, "EdtDevName");
    c.EdtDevIp = NewEdit(GbxDevSearch, "EdtDevIp");
    c.EdtDevMac = NewEdit(GbxDevSearch, "EdtDevMac");
    c.EdtDevPos = NewEdit(GbxDevSearch, "EdtDevPos");
    c.BtnSearchDev = NewButton(GbxDevSearch, "BtnSearchDev", "搜索");
    c.BtnClearDev = NewButton(GbxDevSearch, "BtnClearDev", "清空");
    AddField(grid, 0, 0, "设备名称：", c.EdtDevName);
    AddField(grid, 0, 2, "I P 地址：", c.EdtDevIp);
    AddField(grid, 1, 0, "MAC 地址：", c.EdtDevMac);
    AddField(grid, 1, 2, "地理位置：", c.EdtDevPos);
    grid->addWidget(c.BtnSearchDev, 0, 4);
    grid->addWidget(c.BtnClearDev, 1, 4);
    grid->setColumnStretch(5, 1);

    connect(c.BtnSearchDev, &QPushButton::clicked, this, [this] { BtnSearchDevClick(); });
    connect(c.BtnClearDev, &QPushButton::clicked, this, [this] { BtnClearDevClick(); });
    for (QWidget* edit : {c.EdtDevName, c.EdtDevMac, c.EdtDevPos, c.EdtDevIp})
        OnKeyUp(edit, Qt::Key_Return, [this] { EdtDevNameKeyUp(Qt::Key_Return); });
    OnEnter(c.EdtDevName, [this] { EdtDevNameEnter(); });
    OnEnter(c.EdtDevIp, [this] { EdtDevIpEnter(); });
    OnEnter(c.EdtDevMac, [this] { EdtDevMacEnter(); });
    OnEnter(c.EdtDevPos, [this] { EdtDevPosEnter(); });
}

void TMainForm::BtnSearchDevClick()
{
    const QString name = DevSearch.EdtDevName->text();
    const QString ip = DevSearch.EdtDevIp->text();
    const QString mac = DevSearch.EdtDevMac->text();
    const QString position = DevSearch.EdtDevPos->text();

    QString sql = QStringLiteral("select * from zol_baseinfo where 1=1 ");
    if (!IsBlank(name))
        sql += QStringLiteral(" and name like '%") + SqlLikeText(TrimBlanks(name)) + QStringLiteral("%'");
    if (!IsBlank(ip))
        sql += QStringLiteral(" and  ip like '") + SqlLikeText(TrimBlanks(ip)) + QStringLiteral("%'");
    if (!IsBlank(mac))
        sql += QStringLiteral(" and mac  like '") + SqlLikeText(TrimBlanks(mac)) + QStringLiteral("%'");
    if (!IsBlank(position))
        sql += QStringLiteral(" and position like '%") + SqlLikeText(TrimBlanks(position)) + QStringLiteral("%'");
    sql += QStringLiteral(" order by zol_baseinfo.name");

    FormDbMod->QuerySqlOn(sql, QueryGrdDev);
    if (QueryGrdDev.RecordCount() > 0) {
        // The current cell goes back to the first column the grid shows.
        int column = 0;
        while (column < DsDev->columnCount() - 1 && GrdDev->isColumnHidden(column))
            ++column;
        GrdDev->selectionModel()->setCurrentIndex(DsDev->index(QueryGrdDev.RecNo() - 1, column),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    }
    GrdDevCellClick();
}

void TMainForm::BtnClearDevClick()
{
    DevSearch.EdtDevName->setText(QString());
    DevSearch.EdtDevIp->setText(QString());
    DevSearch.EdtDevMac->setText(QString());
    DevSearch.EdtDevPos->setText(QString());
}

void TMainForm::EdtDevNameKeyUp(int key)
{
    if (key == Qt::Key_Return)
        BtnSearchDevClick();
}

// Entering these edits (and some of the other pages') empties one of the device search's edits.
void TMainForm::EdtDevNameEnter() { DevSearch.EdtDevName->setText(QString()); }
void TMainForm::EdtDevIpEnter() { DevSearch.EdtDevIp->setText(QString()); }
void TMainForm::EdtDevMacEnter() { DevSearch.EdtDevMac->setText(QString()); }
void TMainForm::EdtDevPosEnter() { DevSearch.EdtDevPos->setText(QString()); }
