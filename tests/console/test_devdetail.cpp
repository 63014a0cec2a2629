// The detail box and the device grid: the texts and pictures for a terminal, state moves of the
// terminal on show, the empty box, the grid's columns, current row and selected rows.
#include "console/DevTestSupport.h"
#include "platform/DataSetModel.h"

#include <QGroupBox>

using namespace DevTestSupport;

namespace {

class DevDetailTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->ShowPage(TMainForm::PageIdxDev);
    }
    static int AddWithTemp(const QString& name, const QString& status, const QString& temp)
    {
        const int id = AddTerminal(name, status, "192.168.1.20");
        TestDb::Exec(QStringLiteral("insert into zol_temp (zol_id, temp) values (%1, %2)").arg(id).arg(temp));
        return id;
    }
    static QStringList Box()
    {
        TMainForm* f = MainForm;
        return {f->LblDevId->text(),      f->LblDevName->text(), f->LblDevIp->text(),     f->LblDevMac->text(),
                f->LblDevPos->text(),     f->LblDevActiveIp->text(), f->LblDevPort->text(), f->LblDevStatus->text(),
                f->LblDevNet->text(),     f->LblDevTemp->text()};
    }
    // Power and network texts, then the run, stop, net good and net error pictures as "1010".
    static QString State(TMainForm* f = MainForm)
    {
        QString s = f->LblDevStatus->text() + "/" + f->LblDevNet->text() + " ";
        for (QLabel* img : {f->ImgDevRun, f->ImgDevStop, f->ImgNetSuc, f->ImgNetError})
            s += img->isHidden() ? '0' : '1';
        return s;
    }
};

TEST_F(DevDetailTest, ShownTerminalsTexts)
{
    TMainForm fresh; // MainForm stays the suite's
    EXPECT_EQ(fresh.GbxDevDetail->title(), QStringLiteral("设备详细"));
    EXPECT_EQ(fresh.BtnDevPing->text(), QStringLiteral("检测设备网络状态(&P)"));
    EXPECT_EQ(State(&fresh), "/ 0000");

    const int id = AddWithTemp("一号机", "up", "45.3");
    const int negative = AddWithTemp("负", "down", "-1.5");
    const int whole = AddWithTemp("整数", "down", "36");
    const int noTemp = AddTerminal("无温度", "down");
    const int off = AddTerminal("断电", "poweroff");
    const int word = AddTerminal("其他词", "error"); // running in the tree, yet the stored word is no "up"
    const int bare = AddTerminal("无状态行");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({QString::number(id), "一号机", "192.168.1.20", "AA-BB", "大厅", "10.0.0.9", "4001",
                                  "已启动", "网络良好", "45.2999992370605"}));
    EXPECT_EQ(State(), "已启动/网络良好 1010");
    EXPECT_TRUE(MainForm->BtnDevPing->isEnabled());

    const std::vector<std::tuple<int, QString, QString>> table = {
        {negative, "已关机/已关机 0101", "未知"},  {whole, "已关机/已关机 0101", "36"},
        {noTemp, "已关机/已关机 0101", "0"},       {off, "已关闭电源/已关闭电源 0101", "0"},
        {word, "已关机/网络良好 0110", "0"},       {bare, "已关机/已关闭电源 0101", "0"}};
    for (const auto& [terminal, state, temp] : table) {
        MainForm->ShowDevDetail(terminal);
        EXPECT_EQ(State(), state) << terminal;
        EXPECT_EQ(MainForm->LblDevTemp->text(), temp) << terminal;
    }
}

TEST_F(DevDetailTest, MoveOfShownTerminalUpdatesBothStateTexts)
{
    const int id = AddTerminal("显示中", "up");
    const int other = AddTerminal("其他", "up");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);

    MainForm->UpdateDevNetState(other, Consts::StatusError); // another terminal: box unchanged
    EXPECT_EQ(State(), "已启动/网络良好 1010");
    const std::vector<std::tuple<QString, QString, QString>> table = {
        {"up", Consts::StatusError, "已启动/网络异常 1001"},
        {"poweroff", Consts::StatusUp, "已关闭电源/已关闭电源 0101"},
        {"down", Consts::StatusUp, "已关机/已关机 0101"}};
    for (const auto& [stored, checked, state] : table) {
        SetStored(id, stored);
        MainForm->UpdateDevNetState(id, checked);
        EXPECT_EQ(State(), state) << stored.toStdString();
    }
}

TEST_F(DevDetailTest, DeletedOrNoTerminal)
{
    const int id = AddWithTemp("将删除", "up", "50");
    MainForm->BuildDevTree();
    MainForm->ShowDevDetail(id);
    const QStringList shown = Box();
    MainForm->ShowDevDetail(0);
    MainForm->ShowDevDetail(-3);
    EXPECT_EQ(Box(), shown);

    TestDb::Exec(QStringLiteral("delete from zol_baseinfo where id = %1").arg(id));
    MainForm->ShowDevDetail(id);
    EXPECT_EQ(Box(), QStringList({"", "", "", "", "", "", "未知", "", "", "0"}));
    EXPECT_EQ(State(), "/ 0000");
    EXPECT_FALSE(MainForm->BtnDevPing->isEnabled());

    // With the box empty, any state move writes "0" as the shown id and nothing else.
    MainForm->UpdateDevNetState(AddTerminal("下一个", "up"), Consts::StatusUp);
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
