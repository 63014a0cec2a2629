// The record commands from the real main window: deletes with their confirmations and statements,
// New/Edit/Delete by page, the record popups, the related-records items and the tree's double click.
#include "console/RecordTestSupport.h"
#include "windows/DevEdit.h"
#include "windows/UserInsert.h"
#include "windows/UserUpdate.h"

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

class RecordCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ShowConsole();
        LogLevel = Consts::LevelDebug;
        TimeOut = 300; // the network check of a saved terminal
    }
    void SetUp() override
    {
        Reset();
        ConsoleDb::ClearLog();
    }
    static TMainForm& F() { return *MainForm; }
    static QString N(int id) { return QString::number(id); }
    // The data-changing statements and the count statements (one per refresh) run since the last call.
    static QStringList Run()
    {
        QStringList run;
        for (const QString& line : ConsoleDb::LogText().split('\n')) {
            if (line.contains("执行更新SQL:"))
                run << line.section("执行更新SQL:", 1);
            else if (line.contains("select count(*)"))
                run << "refresh";
        }
        ConsoleDb::ClearLog();
        return run;
    }
    // Reloads the device grid and the tree from the database.
    static void ReloadDevices()
    {
        F().ShowPageDev();
        F().RefreshActivePage();
        F().BuildDevTree();
    }

    ScriptedAnswerer answers_;
};

} // namespace

// The terminal row before its status row, its node counted out of its group; its records stay in
// their tables. A row the database refuses to delete keeps its status row and its node. (The
// tree's delete of a terminal is the operator's day.)
TEST_F(RecordCommandsTest, DeletingTerminals)
{
    const int a = AddTerminal("甲", "down");
    AddTerminal("乙", "down");
    const int c = AddTerminal("丙", "down");
    AddOpLog(a, "值班员", "断电", "2013-05-06 08:00:00");
    AddRunLog(a, "运行", "2013-05-06 08:00:00");
    TestDb::Exec(QStringLiteral("delimiter //\ncreate trigger keep_c before delete on zol_baseinfo for each row "
                                "if old.id = %1 then signal sqlstate '45000' set message_text = 'kept'; end if//\n"
                                "delimiter ;\n").arg(c));
    ReloadDevices();
    EXPECT_EQ(Captions(), "正常运行(0) 网络异常(0) 关机状态(3) 关闭电源(0)");
    SelectRows(F().GrdDev, {0, 2}); // 丙 and 甲 by name order: 丙 甲 乙
    Run();
    F().N32->trigger();
    EXPECT_EQ(Run(), QStringList({"delete from zol_baseinfo where id = " + N(c), "delete from zol_baseinfo where id = " + N(a),
                                  "delete from zol_status where zol_id = " + N(a)}));
    EXPECT_EQ(Names(DevTree::GroupDown), QStringList({"乙", "丙"}));
    EXPECT_EQ(Captions(), "正常运行(0) 网络异常(0) 关机状态(2) 关闭电源(0)");
    EXPECT_EQ(Column(F().QueryGrdDev, "name"), QStringList({"丙", "乙"}));
    EXPECT_EQ(TestDb::Scalar("select concat((select count(*) from zol_status), (select count(*) from zol_op_log), "
                             "(select count(*) from zol_log))"), "211");
    EXPECT_EQ(F().LblDevId->text(), N(F().DevGridRowId()));
    TestDb::Exec("drop trigger keep_c");

    F().TreeDev->setCurrentItem(Tree().GroupNode(DevTree::GroupDown));
    F().MenuItem5->trigger(); // a group node: nothing
    EXPECT_EQ(Run(), QStringList());
    EXPECT_EQ(Boxes(answers_), QStringList(2, "确认|您确定要删除已选设备吗？|4|1"));
}

// Each record page's own delete item: the page's question, then the selected rows by the page's
// statement and one refresh, and the rows are gone. Cancel: nothing. The file menu's Delete without
// a selection: the current row; on an empty grid: nothing.
TEST_F(RecordCommandsTest, DeleteOnEveryPage)
{
    const int dev = AddTerminal("甲");
    AddTaskTypes();
    const int op1 = AddOpLog(dev, "值班员", "断电", "2013-05-01 08:00:00");
    const int op2 = AddOpLog(dev, "值班员", "断电", "2013-05-02 08:00:00");
    const int op3 = AddOpLog(dev, "值班员", "断电", "2013-05-03 08:00:00");
    const int task = AddTask(dev, 1, "2013-05-06 22:00:00");
    const int run = AddRunLog(dev, "运行", "2013-05-06 08:00:00");
    const int user = AddUser("值班员", "duty", 2);
    const int t1 = AddTempLog(dev, "30", "2013-05-06 08:00:00");
    const int t2 = AddTempLog(dev, "31", "2013-05-06 09:00:00");
    F().I2->trigger();
    SelectRows(F().GrdIns, {0, 1});
    Run();
    answers_.Answer(MsgResult::Cancel);
    F().InsPage.N23->trigger();
    EXPECT_EQ(Run(), QStringList());
    const std::vector<std::tuple<QAction*, QAction*, QString, QStringList>> pages = {
        {F().I2, F().InsPage.N23, "您确定要删除已选记录吗？",
         {"delete from zol_op_log where id = " + N(op3), "delete from zol_op_log where id = " + N(op2)}}, // newest first
        {F().N44, F().TaskPage.D2, "您确定要删除已选计划任务吗？", {"delete from zol_scheduletask where task_id = " + N(task)}},
        {F().L1, F().LogPage.N22, "您确定要删除已选记录吗？", {"delete from zol_log where id = " + N(run)}},
        {F().N58, F().UserPage.MenuItem16, "您确定要删除已选用户吗？", {"delete from zol_user where id=" + N(user)}},
        {F().N52, F().TempPage.MenuItem18, "您确定要删除已选温度记录吗？",
         {"delete from zol_temp_log where id = " + N(t2), "delete from zol_temp_log where id = " + N(t1)}}};
    for (const auto& [page, item, question, statements] : pages) {
        page->trigger();
        SelectRows(F().GetActiveGrid(), {0, 1});
        Run();
        item->trigger();
        EXPECT_EQ(Run(), statements + QStringList{"refresh"});
        EXPECT_EQ(Describe(answers_.Last()), "确认|" + question + "|4|1");
    }
    EXPECT_EQ(TestDb::Scalar("select concat((select count(*) from zol_op_log), (select count(*) from zol_scheduletask), "
                             "(select count(*) from zol_log), (select count(*) from zol_user), "
                             "(select count(*) from zol_temp_log))"),
              "10000");
    F().I2->trigger();
    F().GrdIns->clearSelection();
    Run();
    F().D1->trigger();
    EXPECT_EQ(Run(), QStringList({"delete from zol_op_log where id = " + N(op1), "refresh"}));
    F().BtnDelClick();
    EXPECT_EQ(Run(), QStringList());
    EXPECT_EQ(answers_.Count(), 8);
}

// Related records from the grid and the tree: the page opens with its box shown, the terminal
// chosen and searched, together with what the box still holds; no terminal: the page opens
// unsearched. A double click on a tree terminal: on a record page with a terminal search, that
// page's search; elsewhere the device page with the grid on the terminal's row and its detail box.
TEST_F(RecordCommandsTest, RelatedRecordsAndTheTreesDoubleClick)
{
    const int a = AddTerminal("甲");
    const int b = AddTerminal("乙");
    AddOpLog(a, "值班员", "远程设备断电", "2013-05-06 08:00:00");
    const int start = AddOpLog(a, "值班员", "远程设备启动", "2013-05-06 09:00:00");
    AddOpLog(b, "值班员", "远程设备启动", "2013-05-06 09:00:00");
    const int temp = AddTempLog(b, "40", "2013-05-06 08:00:00");
    const int run = AddRunLog(b, "运行", "2013-05-06 08:00:00");
    ReloadDevices();
    ASSERT_TRUE(F().QueryGrdDev.Locate("id", N(a)));
    F().N27->trigger();
    EXPECT_EQ(F().GetActivePageIndex(), TMainForm::PageIdxIns);
    EXPECT_FALSE(F().GbxInsSearch->isHidden());
    EXPECT_EQ(F().InsPage.DbCbxDevIns->Text(), "甲");
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 2);

    F().InsPage.EdtInsOperation->setText("远程设备启");
    F().TreeDev->setCurrentItem(NodeOf(a));
    F().MenuItem9->trigger();
    EXPECT_EQ(Column(F().QueryGrdIns, "id"), QStringList{N(start)});

    F().TreeDev->setCurrentItem(NodeOf(b));
    F().N5->trigger();
    EXPECT_EQ(Column(F().QueryGrdTemp, "id"), QStringList{N(temp)});

    F().TreeDev->setCurrentItem(nullptr);
    F().MenuItem10->trigger();
    EXPECT_EQ(F().GetActivePageIndex(), TMainForm::PageIdxTask);
    EXPECT_TRUE(F().GbxTaskSearch->isHidden());

    F().N58->trigger();
    F().TreeDev->setCurrentItem(NodeOf(b));
    F().TreeDevDblClick();
    EXPECT_EQ(F().GetActivePageIndex(), TMainForm::PageIdxDev);
    EXPECT_EQ(std::pair(F().DevGridRowId(), F().LblDevId->text()), std::pair(b, N(b)));
    F().L1->trigger();
    emit F().TreeDev->itemDoubleClicked(NodeOf(b), 0);
    EXPECT_EQ(F().GetActivePageIndex(), TMainForm::PageIdxLog);
    EXPECT_EQ(Column(F().QueryGrdLog, "id"), QStringList{N(run)});
}

// Edit loads the current row's record: an operator's, and on the device page the grid's terminal.
// The operator page is read again when its dialogs close, saved or not. The task popup (also the
// page control's menu) edits and deletes nothing off the task page.
TEST_F(RecordCommandsTest, EditDialogsAndTheTaskPopupOffItsPage)
{
    const int dev = AddTerminal("甲");
    AddTaskTypes();
    AddTask(dev, 1, "2013-05-06 22:00:00");
    AddUser("甲", "a", 1);
    const int second = AddUser("乙", "b", 2);
    F().N58->trigger();
    ASSERT_TRUE(F().QueryGrdUser.Locate("id", N(second)));
    TestDb::Exec("insert into zol_user (name, landname) values ('丙', 'c')");
    Run();
    F().TaskPage.E2->trigger();
    F().TaskPage.D2->trigger();
    EXPECT_EQ(std::pair(answers_.Count(), Run()), std::pair(0, QStringList()));
    WithModal<TFormUserUpdate>([] { F().UserPage.MenuItem15->trigger(); }, [second](TFormUserUpdate& d) {
        EXPECT_EQ(d.Labelid->text(), N(second));
        d.BitBtn2->click();
    });
    EXPECT_EQ(F().QueryGrdUser.RecordCount(), 3);
    WithModal<TFormUserInsert>([] { F().BtnNewClick(); }, [](TFormUserInsert& d) { d.BitBtn2->click(); });
    EXPECT_EQ(Run(), QStringList({"refresh", "refresh"}));

    ReloadDevices();
    WithModal<TFormDevEdit>([] { F().BtnEditClick(); }, [dev](TFormDevEdit& d) {
        EXPECT_EQ(std::pair(d.EditMode(), d.LblDevId->text()), std::pair(true, N(dev)));
        d.BtnCancel->click();
    });
}
