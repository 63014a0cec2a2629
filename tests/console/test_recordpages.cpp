// The record pages of the real main window against the real server. Their commands: deletes with
// their confirmations and statements, New/Edit/Delete by page, the record popups, the related-records
// items and the tree's double click. Their searches: the rows each of the six search boxes brings
// back, the temperature condition, the clear buttons, and the memo's Return key.
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

// The searches start from three terminals.
class RecordSearchTest : public RecordCommandsTest {
protected:
    void SetUp() override
    {
        RecordCommandsTest::SetUp();
        a_ = Insert("insert into zol_baseinfo (name, ip, mac, position) values ('北区-甲', '10.1.1.5', 'AA-01', '一楼大厅')");
        b_ = Insert("insert into zol_baseinfo (name, ip, mac, position) values ('南区-乙', '10.2.0.7', 'BB-02', '二楼')");
        c_ = Insert("insert into zol_baseinfo (name, ip, mac, position) values ('北区\\\\丙', '10.10.9.9', 'AA-03', '大厅 100%')");
    }

    int a_ = 0;
    int b_ = 0;
    int c_ = 0;
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

// Trimmed texts; contains for name and position, starts with for address and MAC. A backslash,
// "%" and "_" match themselves. Clearing runs no search; a refresh keeps the search. Moving into
// an edit with the mouse or Tab empties it; the window coming back or a closed popup does not.
TEST_F(RecordSearchTest, DeviceSearch)
{
    DevSearchControls& c = F().DevSearch;
    c.EdtDevName->setText("  北区 ");
    c.EdtDevIp->setText("10.1");
    c.EdtDevMac->setText("AA");
    c.EdtDevPos->setText("大厅");
    c.BtnSearchDev->click();
    EXPECT_EQ(Column(F().QueryGrdDev, "id"), QStringList({N(a_), N(c_)}));

    c.EdtDevName->setText("区\\丙");
    c.BtnSearchDev->click();
    F().RefreshActivePage();
    EXPECT_EQ(Column(F().QueryGrdDev, "id"), QStringList{N(c_)});

    c.EdtDevName->clear();
    c.EdtDevPos->setText("%");
    c.EdtDevIp->setText("10._");
    c.BtnSearchDev->click();
    EXPECT_EQ(F().QueryGrdDev.RecordCount(), 0);
    c.EdtDevIp->setText("10.1");
    c.BtnSearchDev->click();
    EXPECT_EQ(Column(F().QueryGrdDev, "id"), QStringList{N(c_)});

    c.BtnClearDev->click();
    EXPECT_EQ(F().QueryGrdDev.RecordCount(), 1);
    c.BtnSearchDev->click();
    EXPECT_EQ(Column(F().QueryGrdDev, "id"), QStringList({N(a_), N(c_), N(b_)}));

    F().GbxDevSearch->show();
    c.EdtDevName->setText("北区");
    c.EdtDevIp->setText("10.1");
    QTest::mouseClick(c.EdtDevName, Qt::LeftButton);
    EXPECT_EQ(c.EdtDevName->text(), "");
    c.EdtDevName->setText("北区");
    QTest::keyClick(c.EdtDevName, Qt::Key_Tab);
    ASSERT_TRUE(c.EdtDevIp->hasFocus());
    EXPECT_EQ(c.EdtDevIp->text(), "");
    c.EdtDevIp->setText("10.1");
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::setActiveWindow(MainForm);
    F().PmenuDevGrd->popup(QPoint(10, 10));
    F().PmenuDevGrd->hide();
    ASSERT_TRUE(c.EdtDevIp->hasFocus());
    EXPECT_EQ(c.EdtDevName->text() + c.EdtDevIp->text(), "北区10.1");
}

// Texts as typed (starts with), the terminal chosen in the lookup box, the day range compared as
// text, newest first, the status as words.
TEST_F(RecordSearchTest, OperationRecordSearch)
{
    const int hit = AddOpLog(a_, "值班员", "远程设备断电", "2013-05-06 00:00:00");
    const int late = AddOpLog(a_, "值班员", "远程设备断电", "2013-05-07 23:59:59", "0");
    AddOpLog(a_, "值班员", "远程设备断电", "2013-05-08 00:00:00");
    AddOpLog(a_, "管理员", "远程设备断电", "2013-05-06 10:00:00");
    AddOpLog(b_, "值班员", "远程设备断电", "2013-05-06 10:00:00");
    AddOpLog(a_, "值班员", "远程设备启动", "2013-05-06 10:00:00");
    F().I2->trigger();
    InsPageControls& c = F().InsPage;
    c.DbCbxDevIns->SetKeyValue(N(a_));
    c.EdtInsUserName->setText("值班");
    c.EdtInsOperation->setText("远程设备断");
    c.CbxInsTime->click();
    c.DtpInsStart->setDate(QDate(2013, 5, 6));
    c.DtpInsEnd->setDate(QDate(2013, 5, 7));
    c.BtnInsSearch->click();
    EXPECT_EQ(Column(F().QueryGrdIns, "id"), QStringList({N(late), N(hit)}));
    EXPECT_EQ(Column(F().QueryGrdIns, "status"), QStringList({"操作失败      ", "操作成功      "}));

    c.EdtInsUserName->setText("值班员 "); // a blank typed at the end stays in the pattern
    c.BtnInsSearch->click();
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 0);

    c.BtnInsClear->click();
    c.BtnInsSearch->click();
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 6);
}

// The terminal and the task type chosen in their lookup boxes; the list by terminal name.
TEST_F(RecordSearchTest, PlannedTaskSearch)
{
    AddTaskTypes();
    AddTask(a_, 1, "2013-05-06 22:00:00");
    const int restart = AddTask(a_, 2, "2013-05-06 23:00:00", "2013-05-07 00:10:00");
    AddTask(b_, 2, "2013-05-06 23:00:00", "2013-05-07 00:10:00");
    F().N44->trigger();
    TaskPageControls& c = F().TaskPage;
    c.DbCbxDevTask->SetKeyValue(N(a_));
    c.DbCbxTaskType->SetKeyValue("2");
    c.BtnTaskSearch->click();
    EXPECT_EQ(Column(F().QueryGrdTask, "task_id"), QStringList{N(restart)});

    c.BtnTaskClear->click();
    c.BtnTaskSearch->click();
    EXPECT_EQ(Column(F().QueryGrdTask, "name"), QStringList({"北区-甲", "北区-甲", "南区-乙"}));
}

// The memo's whole text, line break included, in a contains pattern; the range on the run time.
// Return released in the memo adds its line break first and then runs the box's search.
TEST_F(RecordSearchTest, RunLogSearch)
{
    const int two = AddRunLog(a_, "第一行\n第二行 完成", "2013-05-06 12:00:00");
    AddRunLog(a_, "第一行 完成", "2013-05-06 12:00:00");
    AddRunLog(a_, "第一行\n第二行", "2013-05-07 00:00:00");
    AddRunLog(b_, "第一行\n第二行", "2013-05-06 12:00:00");
    F().L1->trigger();
    F().GbxLogSearch->show();
    LogPageControls& c = F().LogPage;
    c.DbCbxDevLog->SetKeyValue(N(a_));
    c.CbxLogTime->click();
    c.DtpLogStart->setDate(QDate(2013, 5, 6));
    c.DtpLogEnd->setDate(QDate(2013, 5, 6));
    c.MemoLog->setPlainText("一行");
    c.MemoLog->moveCursor(QTextCursor::End);
    c.MemoLog->setFocus();
    QTest::keyClick(c.MemoLog, Qt::Key_Return);
    EXPECT_EQ(c.MemoLog->toPlainText(), "一行\n");
    EXPECT_EQ(Column(F().QueryGrdLog, "id"), QStringList{N(two)});

    c.BtnLogClear->click();
    c.BtnLogSearch->click();
    EXPECT_EQ(F().QueryGrdLog.RecordCount(), 4);
}

// Trimmed name (contains) and login (starts with), the id box taking digits only, the type item.
TEST_F(RecordSearchTest, OperatorSearch)
{
    const int admin = AddUser("张管理", "zadmin", 1);
    const int user = AddUser("张值班", "zuser", 2);
    AddUser("李值班", "luser", 2);
    F().N58->trigger();
    UserPageControls& c = F().UserPage;
    c.EdtUserName->setText(" 张 ");
    c.EdtUserLoginName->setText(" zu");
    c.EdtUserId->setText(N(user));
    c.CbxUserType->setCurrentIndex(2);
    c.BtnSearchUser->click();
    EXPECT_EQ(Column(F().QueryGrdUser, "id"), QStringList{N(user)});
    EXPECT_EQ(Column(F().QueryGrdUser, "type"), QStringList{"普通用户      "});

    QTest::keyClicks(c.EdtUserId, "1a'");
    EXPECT_EQ(c.EdtUserId->text(), N(user) + "1"); // digits only
    c.BtnUserClear->click();
    c.CbxUserType->setCurrentIndex(1);
    c.BtnSearchUser->click();
    EXPECT_EQ(Column(F().QueryGrdUser, "id"), QStringList{N(admin)});
    c.CbxUserType->setCurrentIndex(0); // the empty item adds nothing
    c.BtnSearchUser->click();
    EXPECT_EQ(F().QueryGrdUser.RecordCount(), 3);
}

// The value as typed against the temperature as the grid shows it (a row shown at 36.6 or 30.2 is at
// that value, at either end of 区间 too); 区间 takes the first box as the upper bound; zero or no
// item adds nothing; no plain number warns, changes nothing, and the Return that closed the warning
// searches no more. Clearing leaves the time range off.
TEST_F(RecordSearchTest, TemperatureSearch)
{
    for (const char* t : {"20", "25", "30.2", "36.6"})
        AddTempLog(a_, t, "2013-05-06 12:00:00");
    AddTempLog(b_, "25", "2013-05-06 12:00:00");
    F().N52->trigger();
    TempPageControls& c = F().TempPage;
    c.DbCbxDevTemp->SetKeyValue(N(a_));
    const std::vector<std::tuple<int, QString, QString, QStringList>> searches = {
        {0, "25", "", {"20"}},
        {4, "+25.0", "", {"25", "30.2", "36.6"}},
        {2, "36.6", "", {"36.6"}},
        {1, "30.2", "", {"20", "25", "30.2"}},
        {5, "30.2", "25", {"25", "30.2"}},
        {5, "40", "36.6", {"36.6"}},
        {5, "25", "30", {}},
        {0, "0.0", "", {"20", "25", "30.2", "36.6"}},
        {-1, "25", "x", {"20", "25", "30.2", "36.6"}}};
    for (const auto& [item, first, second, temps] : searches) {
        c.CbxCondTemp->setCurrentIndex(item);
        EXPECT_EQ(!c.EdtTempValue2->isHidden() && !c.LblTempRange->isHidden(), item == 5);
        c.EdtTempValue->setText(first);
        c.EdtTempValue2->setText(second);
        c.BtnTempSearch->click();
        QStringList got = Column(F().QueryGrdTemp, "temp");
        got.sort();
        EXPECT_EQ(got, temps) << item << first.toStdString();
    }
    const QString kept = c.Sql;
    const std::vector<std::tuple<int, QString, QString>> refused = {
        {0, "abc", ""}, {3, "inf", ""}, {3, "1e5", ""}, {5, "30", ""}, {5, "30", "nan"}};
    for (const auto& [item, first, second] : refused) {
        c.CbxCondTemp->setCurrentIndex(item);
        c.EdtTempValue->setText(first);
        c.EdtTempValue2->setText(second);
        c.BtnTempSearch->click();
    }
    QTest::keyClick(c.EdtTempValue, Qt::Key_Return);
    QTest::keyRelease(c.EdtTempValue, Qt::Key_Return); // its press went to the warning
    EXPECT_EQ(Boxes(answers_), QStringList(6, "警告|请输有效的温度或温度范围！|2|0"));
    EXPECT_EQ(c.Sql, kept);
    EXPECT_EQ(F().QueryGrdTemp.RecordCount(), 4);

    c.CbxTempTime->click(); // today only: none of the rows
    c.BtnTempClear->click();
    EXPECT_TRUE(c.EdtTempValue2->isHidden());
    c.BtnTempSearch->click();
    EXPECT_EQ(F().QueryGrdTemp.RecordCount(), 5);
}

// Leaving a page closes its list and lookups; coming back shows the first page of its last search.
// A page size is taken as typed: 20 is below the least size, not 200 completed from it.
TEST_F(RecordSearchTest, ShowingAPageAgainShowsItsLastSearch)
{
    for (int i = 0; i < 3; ++i)
        AddOpLog(a_, "值班员", "断电", QString("2013-05-0%1 08:00:00").arg(i + 1));
    AddOpLog(b_, "值班员", "断电", "2013-05-09 08:00:00");
    F().I2->trigger();
    InsPageControls& c = F().InsPage;
    c.DbCbxDevIns->SetKeyValue(N(a_));
    c.BtnInsSearch->click();
    F().ShowPageDev();
    EXPECT_FALSE(F().QueryGrdIns.Active() || c.QueryCondDevIns.Active());
    F().ShowPageIns();
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 3);
    EXPECT_EQ(c.DbCbxDevIns->Text(), "北区-甲"); // the box kept its terminal
    EXPECT_EQ(c.LblInsTotalPage->text(), "共3条  共 1 页");

    c.ComboxInsPageSize->setCurrentIndex(0);
    c.ComboxInsPageSize->clearEditText();
    c.ComboxInsPageSize->setFocus();
    QTest::keyClicks(c.ComboxInsPageSize, "20");
    EXPECT_EQ(std::pair(c.ComboxInsPageSize->currentText(), F().Pagers[1]->GetPageSize()), std::pair(QString("20"), 500));
}

// Far pages of the three logs, read by key, hold the rows of a plain limit in its order, of the whole
// list and of a search alike (ties in the time, records of a deleted terminal).
TEST_F(RecordSearchTest, EveryPageHoldsTheRowsOfAPlainLimit)
{
    constexpr int Rows = 1030;
    constexpr int Size = 100;
    // Three rows to each time; every seventh row belongs to a terminal deleted since.
    const QString dev = QString("if(seq mod 7 = 0, %1, if(seq mod 2, %2, %3))").arg(c_ + 100).arg(a_).arg(b_);
    const QString time = "concat('2013-05-', lpad(1 + (seq div 3) div 40, 2, '0'), ' ', lpad((seq div 3) mod 40, 2, '0'), ':00:00')";
    TestDb::Exec(QString("insert into zol_op_log (zol_id, user_id, user_name, optime, operation, status, memo) select %1, 1, "
                         "if(seq mod 3, '值班员', '班长'), %2, '断电', '1', '' from seq_1_to_%3;"
                         "insert into zol_log (zol_id, content, updatetime, memo) select %1, if(seq mod 5, '开机', '关机'), %2, '' "
                         "from seq_1_to_%3;"
                         "insert into zol_temp_log (zol_id, temp, updatetime, memo) select %1, seq mod 50, %2, '' from seq_1_to_%3")
                     .arg(dev, time).arg(Rows));
    F().ShowPageIns();
    InsPageControls& ins = F().InsPage;
    LogPageControls& log = F().LogPage;
    TempPageControls& temp = F().TempPage;
    struct List {
        int page;
        QString key;
        std::function<void()> search;
    };
    const std::vector<List> lists = {
        {TMainForm::PageIdxIns, "a.id", [] {}},
        {TMainForm::PageIdxIns, "a.id", [&] { ins.EdtInsUserName->setText("值班"); ins.BtnInsSearch->click(); }},
        {TMainForm::PageIdxLog, "a.id", [] {}},
        {TMainForm::PageIdxLog, "a.id", [&] { log.MemoLog->setPlainText("开"); log.BtnLogSearch->click(); }},
        {TMainForm::PageIdxTemp, "b.id", [] {}},
        {TMainForm::PageIdxTemp, "b.id", [&] { temp.CbxCondTemp->setCurrentIndex(4); temp.EdtTempValue->setText("20");
                                               temp.BtnTempSearch->click(); }},
    };
    for (const List& list : lists) {
        F().PageControlMain->setCurrentIndex(list.page);
        list.search();
        TPagerNavigator& pager = *F().GetActivePager();
        pager.SetPageSize(Size);
        const DataSet& grid = *F().GetActiveQuery();
        ASSERT_GT(pager.GetPageCount(), 4) << list.page;
        const QString statement = pager.GetSql() + ", " + list.key + " desc limit %1," + QString::number(Size);
        for (int page = 1; page <= pager.GetPageCount(); ++page) {
            pager.GoToPage(page);
            const DataSet plain = FormDbMod->QuerySql(statement.arg(pager.GetOffset()));
            EXPECT_EQ(grid.FieldNames(), plain.FieldNames());
            EXPECT_EQ(grid.Rows(), plain.Rows()) << pager.GetSql().toStdString() << " page " << page;
            EXPECT_EQ(grid.CommandText.contains("pager_key"), page > 1) << page;
        }
    }
}
