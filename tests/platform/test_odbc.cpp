// The ODBC layer against the real server: connection strings, errors, values, Chinese text.
#include "platform/Odbc.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class OdbcTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestDb::CreateFresh(); }
    void SetUp() override
    {
        TestDb::Truncate();
        con.Open("DSN=zol");
    }
    // Expects the statement to fail with an OdbcError whose message starts with state.
    static void ExpectState(const std::function<void()>& run, const QString& state, const QString& part)
    {
        try {
            run();
            ADD_FAILURE() << "no OdbcError, expected " << state.toStdString();
        } catch (const OdbcError& e) {
            EXPECT_TRUE(e.Message.startsWith("[" + state + "] ")) << e.Message.toStdString();
            EXPECT_TRUE(e.Message.contains(part)) << e.Message.toStdString();
        }
    }
    OdbcConnection con;
};

} // namespace

TEST(OdbcConnectionString, ConsoleTextBecomesDsnOthersPassUnchanged)
{
    const QString prefix = "Provider=MSDASQL.1;Persist Security Info=False;Data Source=";
    EXPECT_EQ(OdbcConnectionStringFrom(prefix + "zol"), "DSN=zol");
    EXPECT_EQ(OdbcConnectionStringFrom(prefix + "机房 库"), "DSN=机房 库");
    EXPECT_EQ(OdbcConnectionStringFrom("DSN=zol;UID=a"), "DSN=zol;UID=a");
}

TEST_F(OdbcTest, UnknownDataSourceAndFailingStatementsCarryTheDiagnostics)
{
    OdbcConnection none;
    ExpectState([&] { none.Open("DSN=no_such_source"); }, "IM002", "");
    EXPECT_FALSE(none.IsOpen());
    EXPECT_THROW(none.Execute("select 1"), OdbcError);

    ExpectState([&] { con.Execute("insert into zol_nothing values (1)"); }, "42S02", "zol_nothing");
    DataSet ds;
    ds.Open({"x"}, {{QString("kept")}});
    ExpectState([&] { con.Query("select from where 中文", ds); }, "42000", "中文");
    EXPECT_EQ(ds.AsString("x"), "kept"); // a failed query leaves the set as it was
    EXPECT_EQ(con.Execute("insert into zol_user (name) values ('after an error')"), 1);
}

TEST_F(OdbcTest, ChineseTextRoundTripsUnchangedIncludingLongValues)
{
    // Characters whose UTF-16 low byte is 0xD8-0xDB: the driver's wide data cuts them short.
    const QString awkward = QStringLiteral("这是高级站点四号进给变付默盛忙还");
    const QString longText = awkward.repeated(200).left(1990); // about 6000 bytes: several chunks
    ASSERT_EQ(con.Execute("insert into zol_log (zol_id, content, memo) values (1, '" + longText +
                          "', '" + awkward + "'), (2, '', null)"),
              2);
    DataSet ds;
    con.Query("select content, memo from zol_log order by zol_id", ds);
    EXPECT_EQ(ds.AsString("content"), longText);
    EXPECT_EQ(ds.AsString("memo"), awkward);
    ds.Next();
    EXPECT_FALSE(ds.IsNull("content"));
    EXPECT_TRUE(ds.IsNull("memo"));
    // Stored exactly as sent: checked through the client, not through this layer.
    EXPECT_EQ(TestDb::Scalar("select concat(char_length(content), memo) from zol_log where zol_id = 1"),
              "1990" + awkward);

    // Values ending on and around a chunk boundary; the leading letter puts it inside a character.
    for (int n : {1364, 1365, 1366, 5000}) {
        con.Query(QString("select concat('x', repeat('站', %1)) as v").arg(n), ds);
        EXPECT_EQ(ds.AsString("v"), "x" + QString(n, QChar(0x7AD9))) << n;
    }
}

TEST_F(OdbcTest, ColumnNamesValuesAndAffectedRows)
{
    TestDb::Exec("insert into zol_baseinfo (name, ip, relayIp, port) values "
                 "('甲', '10.0.0.1', '10.1.0.1', 502), ('乙', '10.0.0.2', '', 503);"
                 "insert into zol_temp (zol_id, temp) values (1, 23.5), (2, -1);");
    DataSet ds;
    con.Query("select a.id, a.relayIp, b.temp, null as nothing from zol_baseinfo a "
              "left join zol_temp b on a.id = b.zol_id order by a.id", ds);
    EXPECT_EQ(ds.FieldNames(), QStringList({"id", "relayIp", "temp", "nothing"}));
    EXPECT_EQ(ds.AsString("relayip"), "10.1.0.1");
    EXPECT_DOUBLE_EQ(ds.AsFloat("temp"), 23.5);
    EXPECT_TRUE(ds.IsNull("nothing"));

    EXPECT_EQ(con.Execute("update zol_baseinfo set port = 1"), 2);
    EXPECT_EQ(con.Execute("update zol_baseinfo set port = 1 where id = 99"), 0);
    EXPECT_EQ(con.Execute("delete from zol_baseinfo"), 2);
    con.Query("select id, name from zol_baseinfo", ds);
    EXPECT_TRUE(ds.Active() && ds.IsEmpty());
    EXPECT_EQ(ds.FieldCount(), 2);
    con.Query("set @x = 1", ds); // no result set: an active set without fields
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 0);
}
