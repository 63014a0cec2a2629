// The ODBC layer against the real server: connection strings, errors, values, Chinese text.
#include "platform/Odbc.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

namespace {

// Characters whose UTF-16 low byte is 0xD8-0xDB: the driver's wide data cuts them short.
const QString Awkward = QStringLiteral("这是高级站点四号进给变付默盛忙还");

class OdbcTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestDb::CreateFresh(); }
    void SetUp() override
    {
        TestDb::Truncate();
        con.Open("DSN=zol");
    }
    OdbcConnection con;
};

} // namespace

TEST(OdbcConnectionString, ConsoleTextBecomesDsnOthersPassUnchanged)
{
    EXPECT_EQ(OdbcConnectionStringFrom(
                  "Provider=MSDASQL.1;Persist Security Info=False;Data Source=zol"),
              "DSN=zol");
    EXPECT_EQ(OdbcConnectionStringFrom(
                  "Provider=MSDASQL.1;Persist Security Info=False;Data Source=机房 库"),
              "DSN=机房 库");
    EXPECT_EQ(OdbcConnectionStringFrom("DSN=zol;UID=a"), "DSN=zol;UID=a");
    EXPECT_EQ(OdbcConnectionStringFrom("DRIVER=x;SERVER=127.0.0.1"), "DRIVER=x;SERVER=127.0.0.1");
}

TEST(OdbcOpen, UnknownDataSourceIsAnOdbcErrorWithItsDiagnostics)
{
    OdbcConnection con;
    try {
        con.Open("DSN=no_such_source");
        FAIL() << "opening an unknown data source must fail";
    } catch (const OdbcError& e) {
        EXPECT_TRUE(e.Message.startsWith("[IM002] ")) << e.Message.toStdString();
    }
    EXPECT_FALSE(con.IsOpen());
    EXPECT_THROW(con.Execute("select 1"), OdbcError);
    DataSet ds;
    EXPECT_THROW(con.Query("select 1", ds), OdbcError);
}

TEST_F(OdbcTest, ChineseTextRoundTripsUnchangedIncludingLongValues)
{
    QString longText;
    while (longText.size() < 1990)
        longText += Awkward;
    longText.truncate(1990);
    ASSERT_EQ(con.Execute("insert into zol_log (zol_id, content, memo) values (1, '" + longText +
                          "', '" + Awkward + "')"),
              1);
    ASSERT_EQ(con.Execute("insert into zol_log (zol_id, content, memo) values (2, '', null)"), 1);

    DataSet ds;
    con.Query("select content, memo from zol_log order by zol_id", ds);
    ASSERT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.AsString("content"), longText); // about 6000 bytes: several chunks
    EXPECT_EQ(ds.AsString("memo"), Awkward);
    ds.Next();
    EXPECT_FALSE(ds.IsNull("content"));
    EXPECT_EQ(ds.AsString("content"), "");
    EXPECT_TRUE(ds.IsNull("memo"));

    // Stored exactly as sent: checked through the client, not through this layer.
    EXPECT_EQ(TestDb::Scalar("select memo from zol_log where zol_id = 1"), Awkward);
    EXPECT_EQ(TestDb::Scalar("select char_length(content) from zol_log where zol_id = 1"), "1990");

    // Values that end on and around a chunk boundary; the leading letter puts the boundary
    // inside a three-byte character.
    for (int n : {1364, 1365, 1366, 5000}) {
        DataSet big;
        con.Query(QString("select concat('x', repeat('站', %1)) as v").arg(n), big);
        EXPECT_EQ(big.AsString("v"), "x" + QString(n, QChar(0x7AD9))) << n;
    }
}

TEST_F(OdbcTest, ColumnNamesValuesAndAffectedRows)
{
    TestDb::Exec("insert into zol_baseinfo (name, ip, relayIp, port) values "
                 "('甲', '10.0.0.1', '10.1.0.1', 502), ('乙', '10.0.0.2', '', 503);"
                 "insert into zol_temp (zol_id, temp) values (1, 23.5), (2, -1);");
    DataSet ds;
    con.Query("select a.id, a.relayIp, b.temp, null as nothing, 0 as id_again from zol_baseinfo a "
              "left join zol_temp b on a.id = b.zol_id order by a.id",
              ds);
    EXPECT_EQ(ds.FieldNames(), QStringList({"id", "relayIp", "temp", "nothing", "id_again"}));
    EXPECT_EQ(ds.AsInteger("ID"), 1);
    EXPECT_EQ(ds.AsString("relayip"), "10.1.0.1");
    EXPECT_DOUBLE_EQ(ds.AsFloat("temp"), 23.5);
    EXPECT_TRUE(ds.IsNull("nothing"));
    ds.Next();
    EXPECT_DOUBLE_EQ(ds.AsFloat("temp"), -1.0);

    EXPECT_EQ(con.Execute("update zol_baseinfo set port = 1"), 2);
    EXPECT_EQ(con.Execute("update zol_baseinfo set port = 1 where id = 99"), 0);
    EXPECT_EQ(con.Execute("delete from zol_baseinfo"), 2);

    DataSet empty;
    con.Query("select * from zol_baseinfo", empty);
    EXPECT_TRUE(empty.Active());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.FieldCount(), 8);

    DataSet notAQuery;
    con.Query("set @x = 1", notAQuery);
    EXPECT_TRUE(notAQuery.Active());
    EXPECT_EQ(notAQuery.FieldCount(), 0);
}

TEST_F(OdbcTest, FailingStatementsCarryTheServersDiagnostics)
{
    try {
        con.Execute("insert into zol_nothing values (1)");
        FAIL();
    } catch (const OdbcError& e) {
        EXPECT_TRUE(e.Message.startsWith("[42S02] ")) << e.Message.toStdString();
        EXPECT_TRUE(e.Message.contains("zol_nothing"));
    }
    DataSet ds;
    ds.Open({"x"}, {{QString("kept")}});
    try {
        con.Query("select from where 中文", ds);
        FAIL();
    } catch (const OdbcError& e) {
        EXPECT_TRUE(e.Message.startsWith("[42000] ")) << e.Message.toStdString();
        EXPECT_TRUE(e.Message.contains("中文")) << e.Message.toStdString();
    }
    EXPECT_EQ(ds.AsString("x"), "kept"); // a failed query leaves the set as it was
    EXPECT_EQ(con.Execute("insert into zol_user (name) values ('after an error')"), 1);
}
