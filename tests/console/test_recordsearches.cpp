// The searches of the six search boxes against the real server: the exact statement each hands to
// its pager (or opens on the device grid) for a full and an empty box, the rows that come back,
// the temperature condition, the clear buttons, and the key and focus handlers.
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
    // The statement the page's pager received, after checking that it holds it lowered.
    static QString Received(const QString& pageSql, int slot)
    {
        EXPECT_EQ(F().Pagers[slot]->GetSql(), TPagerNavigator::LowerAscii(pageSql));
        return pageSql;
    }
    static QStringList Ids(const DataSet& rows, const QString& field = "id") { return Column(rows, field); }
    static QString N(int id) { return QString::number(id); }

    int a_ = 0, b_ = 0, c_ = 0;
    ScriptedAnswerer answers_;
};

} // namespace

// Trimmed texts; contains for name and position, starts with for address and MAC. A backslash in a
// name matches a backslash.
TEST_F(RecordSearchTest, DeviceSearch)
{
    DevSearchControls& c = F().DevSearch;
    c.EdtDevName->setText("  北区 ");
    c.EdtDevIp->setText("10.1");
    c.EdtDevMac->setText("AA");
    c.EdtDevPos->setText("大厅");
    c.BtnSearchDev->click();
    EXPECT_EQ(F().QueryGrdDev.CommandText,
              "select * from zol_baseinfo where 1=1  and name like '%北区%' and  ip like '10.1%' and mac  like 'AA%'"
              " and position like '%大厅%' order by zol_baseinfo.name");
    EXPECT_EQ(Ids(F().QueryGrdDev), QStringList({N(a_), N(c_)}));
    EXPECT_EQ(F().LblDevId->text(), N(a_)); // the detail box follows the grid's first row

    c.EdtDevName->setText("区\\丙");
    c.BtnSearchDev->click();
    EXPECT_EQ(Ids(F().QueryGrdDev), QStringList{N(c_)});

    c.BtnClearDev->click();
    EXPECT_EQ(F().QueryGrdDev.RecordCount(), 1); // clearing runs no search
    c.BtnSearchDev->click();
    EXPECT_EQ(F().QueryGrdDev.CommandText, "select * from zol_baseinfo where 1=1  order by zol_baseinfo.name");
    EXPECT_EQ(Ids(F().QueryGrdDev), QStringList({N(a_), N(c_), N(b_)}));
    F().RefreshActivePage(); // the device grid keeps its search
    EXPECT_EQ(F().QueryGrdDev.CommandText, "select * from zol_baseinfo where 1=1  order by zol_baseinfo.name");
}

// Texts as typed (starts with), the terminal chosen in the lookup box, the day range compared as text.
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
    EXPECT_TRUE(c.DtpInsStart->isEnabled() && c.DtpInsEnd->isEnabled());
    c.DtpInsStart->setDate(QDate(2013, 5, 6));
    c.DtpInsEnd->setDate(QDate(2013, 5, 7));
    c.BtnInsSearch->click();
    EXPECT_EQ(Received(c.Sql, 1),
              "select a.id,a.user_id,a.user_name,a.zol_id,b.name,a.operation,a.optime,a.memo,case status when '0' "
              "then '操作失败      ' when '1' then '操作成功      'end as status from zol_op_log a ,  zol_baseinfo b "
              "where  a.zol_id = b.id  and a.zol_id = " + N(a_) + " and a.user_name like '值班%'  and a.operation like "
              "'远程设备断%' and a.optime >= '2013-05-06 00:00:00' and a.optime <='2013-05-07 23:59:59'  order by optime desc");
    EXPECT_EQ(Ids(F().QueryGrdIns), QStringList({N(late), N(hit)}));
    EXPECT_EQ(Column(F().QueryGrdIns, "status"), QStringList({"操作失败      ", "操作成功      "}));

    c.EdtInsUserName->setText("值班员 "); // a blank typed at the end stays in the pattern
    c.BtnInsSearch->click();
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 0);

    c.BtnInsClear->click();
    EXPECT_TRUE(c.DbCbxDevIns->Text().isEmpty() && c.EdtInsOperation->text().isEmpty());
    EXPECT_FALSE(c.CbxInsTime->isChecked() || c.DtpInsStart->isEnabled() || c.DtpInsEnd->isEnabled());
    EXPECT_EQ(c.DtpInsStart->date(), QDate(2013, 5, 6)); // the pickers keep their dates
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 0);       // and the grid its rows until the next search
    c.BtnInsSearch->click();
    EXPECT_EQ(Received(c.Sql, 1).right(44), "where  a.zol_id = b.id  order by optime desc");
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 6);
}

TEST_F(RecordSearchTest, PlannedTaskSearch)
{
    AddTaskTypes();
    const int first = AddTask(a_, 1, "2013-05-06 22:00:00");
    const int restart = AddTask(a_, 2, "2013-05-06 23:00:00", "2013-05-07 00:10:00");
    const int other = AddTask(b_, 2, "2013-05-06 23:00:00", "2013-05-07 00:10:00");
    F().N44->trigger();
    TaskPageControls& c = F().TaskPage;
    c.DbCbxDevTask->SetKeyValue(N(a_));
    c.DbCbxTaskType->SetKeyValue("2");
    c.BtnTaskSearch->click();
    EXPECT_EQ(Received(c.Sql, 2),
              "select a.task_id,a.zol_id,b.name,c.task_type_name,a.shutdown_time, up_time,  exec_unit , task_memo from "
              "zol_scheduletask a , zol_baseinfo b ,zol_tasktype c  where a.zol_id = b.id and a.task_type_id = "
              "c.task_type_id and a.zol_id = " + N(a_) + " and a.task_type_id=2 order by b.name");
    EXPECT_EQ(Ids(F().QueryGrdTask, "task_id"), QStringList{N(restart)});

    c.BtnTaskClear->click();
    EXPECT_TRUE(c.DbCbxDevTask->Text().isEmpty() && c.DbCbxTaskType->Text().isEmpty());
    c.BtnTaskSearch->click();
    EXPECT_TRUE(Received(c.Sql, 2).endsWith("a.task_type_id = c.task_type_id order by b.name"));
    EXPECT_EQ(Column(F().QueryGrdTask, "name"), QStringList({"北区-甲", "北区-甲", "南区-乙"})); // by name
    QStringList ids = Ids(F().QueryGrdTask, "task_id");
    ids.sort();
    EXPECT_EQ(ids, QStringList({N(first), N(restart), N(other)}));
}

// The memo's whole text, line break included, in a contains pattern; the range on the run time.
TEST_F(RecordSearchTest, RunLogSearch)
{
    const int two = AddRunLog(a_, "第一行\n第二行 完成", "2013-05-06 12:00:00");
    AddRunLog(a_, "第一行 完成", "2013-05-06 12:00:00");
    AddRunLog(b_, "第一行\n第二行", "2013-05-06 12:00:00");
    F().L1->trigger();
    LogPageControls& c = F().LogPage;
    EXPECT_EQ(std::pair(c.DtpLogStart->date(), c.DtpLogEnd->date()), std::pair(QDate::currentDate(), QDate::currentDate()));
    c.DbCbxDevLog->SetKeyValue(N(a_));
    c.MemoLog->setPlainText("一行\n第二");
    c.CbxLogTime->click();
    c.DtpLogStart->setDate(QDate(2013, 5, 6));
    c.DtpLogEnd->setDate(QDate(2013, 5, 6));
    c.BtnLogSearch->click();
    EXPECT_EQ(Received(c.Sql, 0),
              "select * from Zol_log a , zol_baseinfo b where a.zol_id = b.id and a.zol_id = " + N(a_) +
                  " and a.content like '%一行\\n第二%' and a.updatetime >= '2013-05-06 00:00:00' and a.updatetime "
                  "<='2013-05-06 23:59:59' order by updatetime desc");
    EXPECT_EQ(Ids(F().QueryGrdLog), QStringList{N(two)});

    c.BtnLogClear->click();
    EXPECT_TRUE(c.DbCbxDevLog->Text().isEmpty() && c.MemoLog->toPlainText().isEmpty() && !c.DtpLogEnd->isEnabled());
    c.BtnLogSearch->click();
    EXPECT_EQ(Received(c.Sql, 0), "select * from Zol_log a , zol_baseinfo b where a.zol_id = b.id order by updatetime desc");
    EXPECT_EQ(F().QueryGrdLog.RecordCount(), 3);
}

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
    EXPECT_EQ(Received(c.Sql, 3),
              "select id,name,landname,password,case type when 1 then '管理员      ' when 2 then '普通用户      ' end as "
              "type ,remark from zol_user where 1=1  and name like '%张%' and  landname like 'zu%' and id  = " + N(user) +
                  " and type =2 order by id ");
    EXPECT_EQ(Ids(F().QueryGrdUser), QStringList{N(user)});
    EXPECT_EQ(Column(F().QueryGrdUser, "type"), QStringList{"普通用户      "});

    QTest::keyClicks(c.EdtUserId, "1a'");
    EXPECT_EQ(c.EdtUserId->text(), N(user) + "1"); // digits only
    c.BtnUserClear->click();
    EXPECT_EQ(c.EdtUserName->text() + c.EdtUserLoginName->text() + c.EdtUserId->text() + c.CbxUserType->currentText(), "");
    c.CbxUserType->setCurrentIndex(1);
    c.BtnSearchUser->click();
    EXPECT_TRUE(Received(c.Sql, 3).endsWith("from zol_user where 1=1  and type =1 order by id "));
    EXPECT_EQ(Ids(F().QueryGrdUser), QStringList{N(admin)});
    c.CbxUserType->setCurrentIndex(0); // the empty item adds nothing
    c.BtnSearchUser->click();
    EXPECT_TRUE(Received(c.Sql, 3).endsWith("from zol_user where 1=1  order by id "));
    EXPECT_EQ(F().QueryGrdUser.RecordCount(), 3);
}

// Each item's comparison with the value as typed; 区间 takes the first box as the upper bound; a
// first value of zero adds nothing; no item, nothing; a value that is no plain number warns and
// leaves the statement and the grid as they were.
TEST_F(RecordSearchTest, TemperatureSearch)
{
    for (const char* t : {"20", "25", "30", "35"})
        AddTempLog(a_, t, "2013-05-06 12:00:00");
    AddTempLog(b_, "25", "2013-05-06 12:00:00");
    F().N52->trigger();
    TempPageControls& c = F().TempPage;
    EXPECT_EQ(c.EdtTempValue->alignment() & Qt::AlignRight, Qt::AlignRight);
    c.DbCbxDevTemp->SetKeyValue(N(a_));
    const QString base = "select a.name,b.* from zol_temp_log b, zol_baseinfo a where b.zol_id = a.id and b.zol_id = " + N(a_);
    for (const auto& [item, first, second, condition, temps] : std::vector<std::tuple<int, QString, QString, QString, QStringList>>{
             {0, "25", "", "  and b.temp  < 25", {"20"}},
             {1, "25", "", "  and b.temp  <= 25", {"20", "25"}},
             {2, "25", "", "  and b.temp  = 25", {"25"}},
             {3, "25", "", "  and b.temp  > 25", {"30", "35"}},
             {4, "+25.0", "", "  and b.temp  >= +25.0", {"25", "30", "35"}},
             {5, "30", "25", "  and b.temp  <= 30 and b.temp >=25", {"25", "30"}},
             {5, "25", "30", "  and b.temp  <= 25 and b.temp >=30", {}},
             {0, "0.0", "", "", {"20", "25", "30", "35"}},
             {-1, "25", "x", "", {"20", "25", "30", "35"}}}) {
        c.CbxCondTemp->setCurrentIndex(item);
        EXPECT_EQ(!c.EdtTempValue2->isHidden() && !c.LblTempRange->isHidden(), item == 5);
        EXPECT_EQ(c.EdtTempValue->width(), item == 5 ? 55 : 133);
        c.EdtTempValue->setText(first);
        c.EdtTempValue2->setText(second);
        c.BtnTempSearch->click();
        EXPECT_EQ(Received(c.Sql, 4), base + condition + " order by updatetime desc") << item;
        QStringList got = Column(F().QueryGrdTemp, "temp");
        got.sort();
        EXPECT_EQ(got, temps) << item << first.toStdString();
    }
    const QString kept = c.Sql;
    for (const auto& [item, first, second] : std::vector<std::tuple<int, QString, QString>>{
             {0, "abc", ""}, {3, "inf", ""}, {3, "1e5", ""}, {5, "30", ""}, {5, "30", "nan"}}) {
        c.CbxCondTemp->setCurrentIndex(item);
        c.EdtTempValue->setText(first);
        c.EdtTempValue2->setText(second);
        c.BtnTempSearch->click();
    }
    EXPECT_EQ(Boxes(answers_), QStringList(5, "警告|请输有效的温度或温度范围！|2|0"));
    EXPECT_EQ(c.Sql, kept);
    EXPECT_EQ(F().QueryGrdTemp.RecordCount(), 4);

    c.CbxTempTime->click();
    c.DtpTempStart->setDate(QDate(2013, 5, 7));
    c.BtnTempClear->click();
    EXPECT_EQ(std::tuple(c.CbxCondTemp->currentIndex(), c.EdtTempValue->text(), c.EdtTempValue2->text()),
              std::tuple(-1, QString(), QString("nan"))); // the second value keeps its text, hidden
    EXPECT_FALSE(!c.EdtTempValue2->isHidden() || c.CbxTempTime->isChecked() || c.DtpTempStart->isEnabled());
    c.CbxTempTime->click();
    c.BtnTempSearch->click();
    EXPECT_EQ(Received(c.Sql, 4), "select a.name,b.* from zol_temp_log b, zol_baseinfo a where b.zol_id = a.id and "
                                  "b.updatetime >= '2013-05-07 00:00:00' and b.updatetime <='" +
                                      QDate::currentDate().toString("yyyy-MM-dd") + " 23:59:59" + "' order by updatetime desc");
    c.CbxTempTime->click();
    c.BtnTempSearch->click();
    EXPECT_EQ(Received(c.Sql, 4), "select a.name,b.* from zol_temp_log b, zol_baseinfo a where b.zol_id = a.id order by updatetime desc");
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
    c.ComboxInsPageSize->setCurrentText("1"); // means 500
    F().ShowPageDev();
    EXPECT_FALSE(F().QueryGrdIns.Active() || c.QueryCondDevIns.Active());
    EXPECT_TRUE(c.DbCbxDevIns->Text().isEmpty()); // nothing to show while its list is closed
    F().ShowPageIns();
    EXPECT_EQ(F().QueryGrdIns.RecordCount(), 3);
    EXPECT_EQ(c.DbCbxDevIns->Text(), "北区-甲"); // the box kept its terminal
    EXPECT_EQ(c.QueryCondDevIns.AsInteger("id"), a_);
    EXPECT_EQ(c.LblInsTotalPage->text(), "共3条  共 1 页");
}

// Return released in a search control runs its box's search; entering some edits empties one of
// the device search's edits; Return in the run-log memo adds a line break and searches with it.
TEST_F(RecordSearchTest, ReturnSearchesAndEnteringEmptiesDeviceEdits)
{
    F().GbxDevSearch->show();
    DevSearchControls& d = F().DevSearch;
    d.EdtDevIp->setText("10.2");
    QTest::keyRelease(d.EdtDevIp, Qt::Key_Return);
    EXPECT_EQ(Ids(F().QueryGrdDev), QStringList{N(b_)});

    F().L1->trigger();
    F().GbxLogSearch->show();
    AddRunLog(a_, "甲\n乙", "2013-05-06 12:00:00");
    LogPageControls& l = F().LogPage;
    l.MemoLog->setPlainText("甲");
    l.MemoLog->moveCursor(QTextCursor::End);
    l.MemoLog->setFocus();
    QTest::keyClick(l.MemoLog, Qt::Key_Return);
    EXPECT_EQ(l.MemoLog->toPlainText(), "甲\n");
    EXPECT_TRUE(l.Sql.contains("like '%甲\\n%'"));
    EXPECT_EQ(F().QueryGrdLog.RecordCount(), 1);
    QTest::keyRelease(l.DtpLogStart, Qt::Key_Return);
    QTest::keyRelease(l.DbCbxDevLog, Qt::Key_A); // other keys do nothing
    EXPECT_EQ(F().LogPage.Sql.count("like"), 1);

    F().N58->trigger();
    F().GbxUserSearch->show();
    d.EdtDevName->setText("n");
    d.EdtDevIp->setText("i");
    d.EdtDevMac->setText("m");
    QApplication::setActiveWindow(MainForm);
    F().UserPage.EdtUserId->setFocus();
    F().UserPage.EdtUserLoginName->setFocus();
    EXPECT_EQ(d.EdtDevName->text() + d.EdtDevIp->text() + d.EdtDevMac->text(), "m");
}
