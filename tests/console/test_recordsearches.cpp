// The searches of the six search boxes against the real server: the rows each search brings back,
// the temperature condition, the clear buttons, and the memo's Return key.
#include "console/RecordTestSupport.h"

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

class RecordSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ShowConsole(); }
    void SetUp() override
    {
        Reset();
        a_ = Insert("insert into zol_baseinfo (name, ip, mac, position) values ('北区-甲', '10.1.1.5', 'AA-01', '一楼大厅')");
        b_ = Insert("insert into zol_baseinfo (name, ip, mac, position) values ('南区-乙', '10.2.0.7', 'BB-02', '二楼')");
        c_ = Insert("insert into zol_baseinfo (name, ip, mac, position) values ('北区\\\\丙', '10.10.9.9', 'AA-03', '大厅')");
    }
    static TMainForm& F() { return *MainForm; }
    static QString N(int id) { return QString::number(id); }

    int a_ = 0;
    int b_ = 0;
    int c_ = 0;
    ScriptedAnswerer answers_;
};

} // namespace

// Trimmed texts; contains for name and position, starts with for address and MAC. A backslash in a
// name matches a backslash. Clearing runs no search; a refresh keeps the search.
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

    c.BtnClearDev->click();
    EXPECT_EQ(F().QueryGrdDev.RecordCount(), 1);
    c.BtnSearchDev->click();
    EXPECT_EQ(Column(F().QueryGrdDev, "id"), QStringList({N(a_), N(c_), N(b_)}));
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

// The value as typed; 区间 takes the first box as the upper bound; a first value of zero adds
// nothing; no item, nothing; a value that is no plain number warns and leaves the statement and
// the grid as they were. Clearing leaves the time range off.
TEST_F(RecordSearchTest, TemperatureSearch)
{
    for (const char* t : {"20", "25", "30", "35"})
        AddTempLog(a_, t, "2013-05-06 12:00:00");
    AddTempLog(b_, "25", "2013-05-06 12:00:00");
    F().N52->trigger();
    TempPageControls& c = F().TempPage;
    c.DbCbxDevTemp->SetKeyValue(N(a_));
    const std::vector<std::tuple<int, QString, QString, QStringList>> searches = {
        {0, "25", "", {"20"}},
        {4, "+25.0", "", {"25", "30", "35"}},
        {5, "30", "25", {"25", "30"}},
        {5, "25", "30", {}},
        {0, "0.0", "", {"20", "25", "30", "35"}},
        {-1, "25", "x", {"20", "25", "30", "35"}}};
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
    EXPECT_EQ(Boxes(answers_), QStringList(5, "警告|请输有效的温度或温度范围！|2|0"));
    EXPECT_EQ(c.Sql, kept);
    EXPECT_EQ(F().QueryGrdTemp.RecordCount(), 4);

    c.CbxTempTime->click(); // today only: none of the rows
    c.BtnTempClear->click();
    EXPECT_TRUE(c.EdtTempValue2->isHidden());
    c.BtnTempSearch->click();
    EXPECT_EQ(F().QueryGrdTemp.RecordCount(), 5);
}

// Leaving a page closes its list and lookups; coming back shows the first page of its last search.
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
}
