// The ODBC layer against the real server: connection strings, errors, values, Chinese text.
#include "platform/Odbc.h"
#include "support/FreezingProxy.h"
#include "support/TestDb.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <memory>

TEST(Odbc, ConsoleConnectionTextBecomesDsnAndAnUnknownSourceFails)
{
    EXPECT_EQ(OdbcConnectionStringFrom("Provider=MSDASQL.1;Persist Security Info=False;Data Source=机房 库"),
              "DSN=机房 库");
    OdbcConnection none;
    EXPECT_TRUE(Thrown<OdbcError>([&] { none.Open("DSN=no_such_source"); }).startsWith("[IM002] "));
    EXPECT_THROW(none.Execute("select 1"), OdbcError);
}

TEST(Odbc, ChineseTextAndNulls)
{
    TestDb::CreateFresh();
    OdbcConnection con;
    con.Open("DSN=zol");
    // Characters whose UTF-16 low byte is 0xD8-0xDB: the driver's wide data cuts them short.
    const QString awkward = QStringLiteral("这是高级站点四号进给变付默盛忙还");
    const QString longText = awkward.repeated(200).left(1990); // about 6000 bytes: several chunks
    ASSERT_EQ(con.Execute("insert into zol_log (zol_id, content, memo) values (1, '" + longText + "', '" + awkward +
                          "'), (2, '', null)"), 2);
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

// A server that stops answering while a statement waits for it: the statement fails as a lost
// connection once the connection's wait for data has passed, instead of holding its caller for
// ever; a wait the connection text names does not lift the bound. Thawed, the server answers a
// new connection again.
TEST(Odbc, AStatementToAServerThatStoppedAnsweringFailsAfterTheWait)
{
    constexpr int WaitSeconds = 2;
    constexpr int SlackMs = 8000; // a loaded machine
    TestDb::CreateFresh();
    OdbcTimings::SetIoTimeoutForTest(WaitSeconds);
    const std::shared_ptr<void> shipped(nullptr, [](void*) { OdbcTimings::SetIoTimeoutForTest(0); });
    FreezingProxy proxy(qEnvironmentVariableIntValue("ZOL_TEST_MYSQL_PORT"));
    const QString viaProxy = QStringLiteral("DSN=zol;PORT=%1;READ_TIMEOUT=0;WRITE_TIMEOUT=0").arg(proxy.Port());
    OdbcConnection con;
    con.Open(viaProxy);
    DataSet ds;
    con.Query("select 1 as one", ds);
    EXPECT_EQ(ds.AsString("one"), "1");

    proxy.Freeze();
    QElapsedTimer waited;
    waited.start();
    const QString error = Thrown<OdbcError>([&] { con.Query("select 2 as two", ds); });
    const qint64 ms = waited.elapsed();
    EXPECT_TRUE(error.startsWith("[08S01]") || error.startsWith("[HYT00]")) << error.toStdString();
    EXPECT_GE(ms, WaitSeconds * 1000 - 100);
    EXPECT_LT(ms, WaitSeconds * 1000 + SlackMs);

    proxy.Thaw();
    OdbcConnection again;
    again.Open(viaProxy);
    again.Query("select 3 as three", ds);
    EXPECT_EQ(ds.AsString("three"), "3");
}
