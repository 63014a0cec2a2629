// The detail box and the device grid: the texts and pictures for a terminal, state moves of the
// terminal on show, the empty box, the grid's columns, current row and selected rows.
#include "console/DevTestSupport.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "platform/DataSetModel.h"
#include "support/ConsoleDb.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace DevTestSupport;

namespace {

bool Shown(QWidget* w) { return !w->isHidden(); }

class DevDetailTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->ShowPage(TMainForm::PageIdxDev);
    }
    static void SetTemp(int id, const QString& temp)
    {
        TestDb::Exec(QStringLiteral("insert into zol_temp (zol_id, temp) values (%1, %2)").arg(id).arg(temp));
    }
    static QStringList Box()
    {
        TMainForm* f = MainForm;
        return {f->LblDevId->text(),     f->LblDevName->text(), f->LblDevIp->text(),
                f->LblDevMac->text(),    f->LblDevPos->text(),  f->LblDevActiveIp->text(),
                f->LblDevPort->text(),   f->LblDevStatus->text(), f->LblDevNet->text(),
                f->LblDevTemp->text()};
    }
    static QString Pictures()
    {
        TMainForm* f = MainForm;
        QString s;
        for (QLabel* img : {f->ImgDevRun, f->ImgDevStop, f->ImgNetSuc, f->ImgNetError})
            s += Shown(img) ? '1' : '0';
        return s;
    }
};

TEST_F(DevDetailTest, BoxLayoutAndStartState)
{
    TMainForm f; // a fresh window: MainForm stays the suite's
    EXPECT_EQ(f.GbxDevDetail->title(), QStringLiteral("设备详细"));
    EXPECT_EQ(f.BtnDevPing->text(), QStringLiteral("检测设备网络状态(&P)"));
    EXPECT_EQ(f.findChild<QLabel*>("LblDevTemp"), f.LblDevTemp);
    EXPECT_EQ(f.findChild<QLabel*>("ImgNetError"), f.ImgNetError);
    for (QLabel* img : {f.ImgDevRun, f.ImgDevStop, f.ImgNetSuc, f.ImgNetError})
        EXPECT_TRUE(img->isHidden());
}

TEST_F(DevDetailTest, RunningTerminalWithTemperature)
{
    const int id = AddTerminal("一号机", "up", "192.168.1.20");
    SetTemp(id, "45.3");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({QString::number(id), "一号机", "192.168.1.20", "AA-BB", "大厅", "10.0.0.9",
                                  "4001", "已启动", "网络良好", "45.2999992370605"}));
    EXPECT_EQ(Pictures(), "1010");
    EXPECT_TRUE(MainForm->BtnDevPing->isEnabled());
}

TEST_F(DevDetailTest, TemperatureTexts)
{
    const int negative = AddTerminal("负", "down");
    SetTemp(negative, "-1.5");
    const int none = AddTerminal("无温度", "down");
    const int whole = AddTerminal("整数", "down");
    SetTemp(whole, "36");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(negative);
    EXPECT_EQ(MainForm->LblDevTemp->text(), QStringLiteral("未知"));
    MainForm->ShowDevDetail(none);
    EXPECT_EQ(MainForm->LblDevTemp->text(), QStringLiteral("0"));
    MainForm->ShowDevDetail(whole);
    EXPECT_EQ(MainForm->LblDevTemp->text(), QStringLiteral("36"));
}

TEST_F(DevDetailTest, PowerTextFromStoredWordNetworkTextFromTree)
{
    const int off = AddTerminal("断电", "poweroff");
    const int down = AddTerminal("关机", "down");
    const int word = AddTerminal("其他词", "error"); // shown as running in the tree
    const int bare = AddTerminal("无状态行");
    MainForm->BuildDevTree();

    MainForm->ShowDevDetail(off);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关闭电源"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("已关闭电源"));
    EXPECT_EQ(Pictures(), "0101");
    MainForm->ShowDevDetail(down);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关机"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("已关机"));
    MainForm->ShowDevDetail(word);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关机"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("网络良好"));
    EXPECT_EQ(Pictures(), "0110");
    MainForm->ShowDevDetail(bare);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关机"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("已关闭电源"));
}

TEST_F(DevDetailTest, MoveOfShownTerminalUpdatesBothStateTexts)
{
    const int id = AddTerminal("显示中", "up");
    const int other = AddTerminal("其他", "up");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);

    MainForm->UpdateDevNetState(other, Consts::StatusError); // another terminal: box unchanged
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("网络良好"));

    MainForm->UpdateDevNetState(id, Consts::StatusError);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已启动"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("网络异常"));
    EXPECT_EQ(Pictures(), "1001");

    SetStored(id, "poweroff");
    MainForm->UpdateDevNetState(id, Consts::StatusUp);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关闭电源"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("已关闭电源"));
    EXPECT_EQ(Pictures(), "0101");

    SetStored(id, "down");
    MainForm->UpdateDevNetState(id, Consts::StatusUp);
    EXPECT_EQ(MainForm->LblDevStatus->text(), QStringLiteral("已关机"));
    EXPECT_EQ(MainForm->LblDevNet->text(), QStringLiteral("已关机"));
}

TEST_F(DevDetailTest, DeletedOrNoTerminal)
{
    const int id = AddTerminal("将删除", "up");
    SetTemp(id, "50");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);
    const QStringList shown = Box();

    MainForm->ShowDevDetail(0);
    MainForm->ShowDevDetail(-3);
    EXPECT_EQ(Box(), shown);

    TestDb::Exec(QStringLiteral("delete from zol_baseinfo where id = %1").arg(id));
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({"", "", "", "", "", "", "未知", "", "", "0"}));
    EXPECT_EQ(Pictures(), "0000");
    EXPECT_FALSE(MainForm->BtnDevPing->isEnabled());

    // With the box empty, any state move writes "0" as the shown id and nothing else.
    const int next = AddTerminal("下一个", "up");
    MainForm->UpdateDevNetState(next, Consts::StatusUp);
    EXPECT_EQ(Box(), QStringList({"0", "", "", "", "", "", "未知", "", "", "0"}));
}

TEST_F(DevDetailTest, GridColumnsCurrentRowAndSelection)
{
    const int c = AddTerminal("C-dev", "up");
    const int a = AddTerminal("A-dev", "down");
    const int b = AddTerminal("B-dev");
    MainForm->BuildDevTree();
    FormDbMod->ReopenQuery(MainForm->QueryGrdDev);
    QTableView* grid = MainForm->GrdDev;
    const QList<DataSetColumn>& cols = MainForm->DsDev->Columns();
    ASSERT_EQ(cols.size(), 9);
    EXPECT_TRUE(grid->isColumnHidden(0));
    EXPECT_EQ(cols[1].title, QStringLiteral("序号"));
    EXPECT_EQ(cols[6].title, QStringLiteral("网络控制器IP"));
    EXPECT_EQ(grid->columnWidth(5), 226);
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 2)).toString(), QStringLiteral("A-dev"));

    EXPECT_EQ(MainForm->GetGridRowId(), a); // sorted by name, first row current
    MainForm->QueryGrdDev.SetRecNo(3);
    MainForm->GrdDevCellClick();
    EXPECT_EQ(MainForm->LblDevName->text(), QStringLiteral("C-dev"));
    EXPECT_EQ(MainForm->GetSelectedDevIds(), std::vector<int>({c})); // just the current row

    // Rows picked in the order 3, 1, then 2 without moving the current row there.
    QItemSelectionModel* sel = grid->selectionModel();
    auto row = [grid](int r) { return grid->model()->index(r, 2); };
    sel->setCurrentIndex(row(0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->select(row(1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(MainForm->GetSelectedDevIds(), std::vector<int>({c, a, b}));
    EXPECT_EQ(MainForm->QueryGrdDev.RecNo(), 2) << "current record on the last selected row";
    EXPECT_EQ(DataSetModel::SelectedRows(grid).size(), 3) << "the selection stays";

    sel->clearSelection();
    EXPECT_EQ(MainForm->GetSelectedDevIds(), std::vector<int>({b}));

    MainForm->ShowPage(TMainForm::PageIdxInfo);
    EXPECT_EQ(MainForm->GetGridRowId(), 0);
    MainForm->ShowPage(TMainForm::PageIdxDev);
}

} // namespace
