// The records against the real server: terminal and operator loads, operation-log inserts.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

class RecordsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        MainForm->IniWriteString("SocketPort", "");
        ConsoleDb::ClearLog();
    }
    void TearDown() override
    {
        LogLevel = Consts::InitialLogLevel;
        CurrentUser = nullptr;
    }
    static QString Hex(const QString& s) { return QString::fromLatin1(s.toUtf8().toHex().toUpper()); }
};

} // namespace

TEST_F(RecordsTest, TerminalLoadsItsBaseRowJoinedWithItsStatus)
{
    TestDb::Exec("insert into zol_baseinfo (id, name, ip, mac, position, memo, relayIp, port) values "
                 "(5, '这是高级站', '10.0.0.5', 'AA-BB', '二楼还', '备注给', '10.1.0.5', 502);"
                 "insert into zol_status (zol_id, status, updatetime) values (5, 'poweroff', ' x');");
    MainForm->IniWriteInteger("SocketPort", 7001);
    LogLevel = Consts::LevelDebug;
    DevBean dev(5);
    EXPECT_EQ(dev.Id, 5);
    EXPECT_EQ(dev.Name, "这是高级站");
    EXPECT_EQ(dev.ip, "10.0.0.5");
    EXPECT_EQ(dev.Mac, "AA-BB");
    EXPECT_EQ(dev.position, "二楼还");
    EXPECT_EQ(dev.status, Consts::StatusPowerOff);
    EXPECT_EQ(dev.relayip, "10.1.0.5");
    EXPECT_EQ(dev.port, 502);
    EXPECT_EQ(dev.Memo, "备注给");
    EXPECT_EQ(dev.State, Consts::ProbePending);
    EXPECT_EQ(dev.SocketPort, 7001);
    EXPECT_FALSE(dev.Reported);
    EXPECT_EQ(dev.Elapsed, 0);
    EXPECT_TRUE(ConsoleDb::LogText().split('\n').contains(
        QRegularExpression("^  调试 [-\\d :]+ : 执行查询SQL:select \\* from zol_baseinfo a , zol_status b "
                           "where a\\.id = b\\.zol_id  and a\\.id = 5$")));

    // A changed port setting applies to records built afterwards only.
    MainForm->IniWriteInteger("SocketPort", 7002);
    EXPECT_EQ(dev.SocketPort, 7001);
    EXPECT_EQ(DevBean(5).SocketPort, 7002);
    EXPECT_EQ(DevBean().SocketPort, 7002);
}

TEST_F(RecordsTest, MissingTerminalsGiveTheEmptyRecord)
{
    TestDb::Exec("insert into zol_baseinfo (id, name, ip, port) values (7, '无状态', '10.0.0.7', 9);");
    for (int id : {0, 7, 99}) { // 7 has no status row: not found through the join
        DevBean dev(id);
        EXPECT_EQ(dev.Id, 0) << id;
        EXPECT_TRUE(dev.Name.isEmpty());
        EXPECT_TRUE(dev.ip.isEmpty());
        EXPECT_TRUE(dev.relayip.isEmpty());
        EXPECT_EQ(dev.port, 0);
        EXPECT_EQ(dev.State, Consts::ProbePending);
        EXPECT_EQ(dev.SocketPort, 9521);
    }
    DevBean empty;
    EXPECT_EQ(empty.Id, 0);
    EXPECT_EQ(empty.SocketPort, 9521);
}

TEST_F(RecordsTest, OperatorLoadsByIdentifier)
{
    TestDb::Exec("insert into zol_user (id, name, landname, password, type, remark) values "
                 "(3, '张三', 'zhangsan', 'x', 1, '值班')");
    UserBean user(3);
    EXPECT_EQ(user.Id, 3);
    EXPECT_EQ(user.Name, "张三");
    EXPECT_EQ(user.landname, "zhangsan");
    EXPECT_EQ(user.remark, "值班");
    EXPECT_EQ(user.type, 1);
    UserBean missing(4);
    EXPECT_EQ(missing.Id, 0);
    EXPECT_TRUE(missing.Name.isEmpty());
    EXPECT_EQ(missing.type, 0);
}

TEST_F(RecordsTest, SaveFillsTheOperatorAndTimeAndStoresTextsExactly)
{
    UserBean op;
    op.Id = 3;
    op.Name = "O'Brien\\ 张三";
    CurrentUser = &op;

    OperationBean row;
    row.zol_id = 5;
    row.user_name = " \t";
    row.operation = "关机 'all'\\";
    row.memo = "第一行\n第二行";
    EXPECT_EQ(row.Save(), 1);
    EXPECT_EQ(row.user_id, 3);
    EXPECT_EQ(row.user_name, "O'Brien\\ 张三");
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(row.optime).hasMatch())
        << row.optime.toStdString();
    const QStringList stored = TestDb::Rows(
        "select zol_id, user_id, hex(user_name), optime, hex(operation), status, hex(memo) from zol_op_log");
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0], QString("5\t3\t%1\t%2\t%3\t0\t%4")
                             .arg(Hex(op.Name), row.optime, Hex(row.operation), Hex(row.memo)));

    OperationBean own;
    own.zol_id = 6;
    own.user_id = 9;
    own.user_name = "李四";
    own.optime = " ";
    own.status = "1";
    EXPECT_EQ(own.Save(), 1);
    EXPECT_EQ(own.optime, " "); // only an empty time is filled in
    EXPECT_EQ(TestDb::Scalar("select concat(user_id, '|', user_name, '|[', optime, ']|', status) "
                             "from zol_op_log where zol_id = 6"),
              "9|李四|[ ]|1");
}

TEST_F(RecordsTest, SaveWithoutTerminalWritesNothing)
{
    OperationBean row;
    row.operation = "开机";
    EXPECT_EQ(row.Save(), 0);
    row.zol_id = -3;
    EXPECT_EQ(row.Save(), 0);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "0");
    EXPECT_TRUE(row.optime.isEmpty()); // nothing was filled in either
}

TEST_F(RecordsTest, FailingDatabaseRaisesFromLoadsAndSaveReturnsZero)
{
    TFormDbMod dropped;
    dropped.DropConnectionForTest();
    TFormDbMod* shared = FormDbMod;
    FormDbMod = &dropped;
    try {
        DevBean dev(1);
        ADD_FAILURE() << "a failing load must raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "数据库异常!");
    }
    EXPECT_THROW(UserBean(1), Exception);
    OperationBean row;
    row.zol_id = 1;
    EXPECT_EQ(row.Save(), 0);
    FormDbMod = shared;
    EXPECT_TRUE(ConsoleDb::LogText().contains("执行SQL语句出错,原因:"));
}
