// The ODBC layer against the real server: connection strings, errors, values, Chinese text.
#include "platform/Odbc.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

namespace {

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
    const QString prefix = "Provider=MSDASQL.1;Persist Security Info=False;Data Source=";
    EXPECT_EQ(OdbcConnectionStringFrom(prefix + "zol"), "DSN=zol");
    EXPECT_EQ(OdbcConnectionStringFrom(prefix + "机房 库"), "DSN=机房 库");
    EXPECT_EQ(OdbcConnectionStringFrom("DSN=zol;UID=a"), "DSN=zol;UID=a");
}

TEST(OdbcOpen, UnknownDataSourceIsAnOdbcErrorWithItsDiagnostics)
{
    OdbcConnection none;
    try {
        none.Open("DSN=no_such_source");
        FAIL() << "opening an unknown data source must fail";
    } catch (const OdbcError& e) {
        EXPECT_TRUE(e.Message.startsWith("[IM002] ")) << e.Message.toStdString();
    }
    EXPECT_THROW(none.Execute("select 1"), OdbcError);
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

TEST_F(OdbcTest, ColumnNamesNullsAndStatementsWithoutAResult)
{
    TestDb::Exec("insert into zol_temp (zol_id, temp) values (1, 23.5)");
    DataSet ds;
    con.Query("select zol_id as relayIp, temp, null as nothing from zol_temp", ds);
    EXPECT_EQ(ds.FieldNames(), QStringList({"relayIp", "temp", "nothing"}));
    EXPECT_DOUBLE_EQ(ds.AsFloat("temp"), 23.5);
    EXPECT_TRUE(ds.IsNull("nothing"));
    con.Query("set @x = 1", ds); // no result set: an active set without fields
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 0);
}
