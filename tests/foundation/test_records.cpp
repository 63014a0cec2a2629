// The records against the real server: terminal loads, operation-log inserts, a failing database.
#include "console/MainForm.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/TestDb.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

class RecordsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        ConsoleDb::ClearLog();
    }
    void TearDown() override { CurrentUser = nullptr; }
    static QString Hex(const QString& s) { return QString::fromLatin1(s.toUtf8().toHex().toUpper()); }
};

// Every field of a terminal record, "|"-separated in declaration order.
QString Fields(const DevBean& d)
{
    return QStringList{QString::number(d.Id), d.Name, d.ip, d.Mac, d.position, d.status, QString::number(d.State),
                       QString::number(d.SocketPort), d.relayip, QString::number(d.port), d.Memo,
                       QString::number(d.Reported), QString::number(d.Elapsed)}
        .join('|');
}

} // namespace

// A terminal is its base row joined with its status row; without either it is empty. Operators
// load through the login dialog's tests.
TEST_F(RecordsTest, TerminalLoadsItsBaseRowJoinedWithItsStatusOrIsEmpty)
{
    TestDb::Exec("insert into zol_baseinfo (id, name, ip, mac, position, memo, relayIp, port) values "
                 "(5, '这是高级站', '10.0.0.5', 'AA-BB', '二楼还', '备注给', '10.1.0.5', 502),"
                 "(7, '无状态', '10.0.0.7', '', '', '', '', 9);"
                 "insert into zol_status (zol_id, status, updatetime) values (5, 'poweroff', ' x');");
    MainForm->IniWriteInteger("SocketPort", 7001);
    EXPECT_EQ(Fields(DevBean(5)), "5|这是高级站|10.0.0.5|AA-BB|二楼还|poweroff|0|7001|10.1.0.5|502|备注给|0|0");
    MainForm->IniWriteString("SocketPort", "");
    for (int id : {0, 7, 99}) // 7 has no status row: not found through the join
        EXPECT_EQ(Fields(DevBean(id)), "0||||||0|9521||0||0|0") << id;
}

// Without a terminal nothing is written; else the current operator and the time are filled in and
// quotes, backslashes and line breaks are stored exactly.
TEST_F(RecordsTest, SaveFillsTheOperatorAndTimeAndStoresTextsExactly)
{
    UserBean op;
    op.Id = 3;
    op.Name = "O'Brien\\ 张三";
    CurrentUser = &op;
    OperationBean row;
    EXPECT_EQ(row.Save(), 0); // no terminal: nothing written, nothing filled in
    EXPECT_TRUE(row.optime.isEmpty());

    row.zol_id = 5;
    row.user_name = " \t";
    row.operation = "关机 'all'\\";
    row.memo = "第一行\n第二行";
    EXPECT_EQ(row.Save(), 1);
    EXPECT_TRUE(QDateTime::fromString(row.optime, "yyyy-MM-dd HH:mm:ss").isValid()) << row.optime.toStdString();
    EXPECT_EQ(TestDb::Scalar("select concat_ws('|', zol_id, user_id, hex(user_name), optime, hex(operation), status, "
                             "hex(memo)) from zol_op_log"),
              QString("5|3|%1|%2|%3|0|%4").arg(Hex(op.Name), row.optime, Hex(row.operation), Hex(row.memo)));
}

TEST_F(RecordsTest, FailingDatabaseRaisesFromLoadsAndSaveReturnsZero)
{
    TFormDbMod dropped;
    dropped.DropConnectionForTest();
    FormDbMod.Open(&dropped);
    EXPECT_EQ(Thrown([] { DevBean dev(1); }), "数据库异常!");
    EXPECT_EQ(Thrown([] { UserBean user(1); }), "数据库异常!");
    OperationBean row;
    row.zol_id = 1;
    EXPECT_EQ(row.Save(), 0);
    FormDbMod.Open(ConsoleDb::Module());
    EXPECT_TRUE(ConsoleDb::LogText().contains("执行SQL语句出错,原因:"));
}
