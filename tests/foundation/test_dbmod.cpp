// The database module against the real server: creation, the four operations, their console
// log lines, quoting, concurrent callers and a dropped connection.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "support/ConsoleDb.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <atomic>
#include <thread>

namespace {

class DbModTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override
    {
        TestDb::Truncate();
        LogLevel = Consts::LevelDebug;
        ConsoleDb::ClearLog();
    }
    void TearDown() override
    {
        LogLevel = Consts::InitialLogLevel;
        MainForm->IniWriteString("DataSource", "");
    }
    // Expects run to raise "数据库异常!".
    template <typename F> static void ExpectDbException(F run)
    {
        try {
            run();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "数据库异常!");
        }
    }
};

} // namespace

TEST(SqlEscape, EscapesAsTheMysqlClientDoes)
{
    EXPECT_EQ(SqlEscape("O'Brien\\ 张三 100%_"), "O\\'Brien\\\\ 张三 100%_");
    EXPECT_EQ(SqlEscape(QString("a\nb\rc") + QChar(0) + "d" + QChar(0x1a) + "\""),
              "a\\nb\\rc\\0d\\Z\\\"");
}

// An unreachable data source (box and end of the process) is covered by the start-up tests.
TEST_F(DbModTest, BlankDataSourceConnectsToZolAndSetsTheIdleTimeout)
{
    MainForm->IniWriteString("DataSource", "   ");
    TFormDbMod db;
    EXPECT_EQ(db.ConnectionString(), "Provider=MSDASQL.1;Persist Security Info=False;Data Source=zol");
    EXPECT_EQ(ConsoleDb::LogText().count("执行更新SQL:set interactive_timeout=24*3600"), 1);
    EXPECT_EQ(db.QuerySql("select @@interactive_timeout as t").AsInteger("t"), 86400);
}

TEST_F(DbModTest, ExecSqlLogsTheStatementAndReturnsRowsAffectedOrZeroOnFailure)
{
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_user (name) values ('甲'), ('乙')"), 2);
    EXPECT_EQ(FormDbMod->ExecSql("update zol_user set remark = 'x' where id = -1"), 0);
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_nothing values (1)"), 0);
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_user (name) values ('after')"), 1);
    const QString log = ConsoleDb::LogText();
    const auto hasLine = [&](const QString& pattern) {
        return log.contains(QRegularExpression(pattern, QRegularExpression::MultilineOption));
    };
    EXPECT_TRUE(hasLine("^  调试 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d : 执行更新SQL:insert into "
                        "zol_user \\(name\\) values \\('甲'\\), \\('乙'\\)$"))
        << log.toStdString();
    EXPECT_TRUE(hasLine("^  错误 [-\\d :]+ : 执行SQL语句出错,原因:\\[42S02\\] .*zol_nothing"));
    EXPECT_EQ(log.count("执行SQL语句出错"), 1);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), "3");
}

TEST_F(DbModTest, QueriesOpenReopenCloseAndFailWithDatabaseException)
{
    DataSet grid;
    FormDbMod->QuerySqlOn("select name\r\nfrom zol_user\r\nwhere type = 3", grid);
    EXPECT_TRUE(grid.Active() && grid.Eof());
    TestDb::Exec("insert into zol_user (name, type) values ('新用户', 3), ('乙', 3)");
    ConsoleDb::ClearLog();
    FormDbMod->ReopenQuery(grid);
    EXPECT_EQ(grid.RecNo(), 1);
    EXPECT_EQ(grid.AsString("NAME"), "新用户");
    EXPECT_EQ(grid.CommandText, "select name\r\nfrom zol_user\r\nwhere type = 3");
    EXPECT_TRUE(ConsoleDb::LogText().endsWith(" : 执行查询SQL:select name\nfrom zol_user\nwhere type = 3\n"))
        << ConsoleDb::LogText().toStdString();
    FormDbMod->CloseQuery(grid);
    FormDbMod->CloseQuery(grid); // closing twice is harmless
    EXPECT_FALSE(grid.Active());

    ConsoleDb::ClearLog();
    ExpectDbException([] { FormDbMod->QuerySql("select * from zol_nothing"); });
    grid.Open({"kept"}, {{QString("1")}});
    ExpectDbException([&] { FormDbMod->QuerySqlOn("select from where 中文", grid); });
    EXPECT_FALSE(grid.Active()); // closed before the statement ran, not reopened
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(log.count("执行查询SQL:select * from zol_nothing"), 1);
    EXPECT_EQ(log.count("执行SQL语句出错,原因:[42S02]"), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QRegularExpression("执行SQL语句出错,原因:\\[42000\\] .*中文"))) << log.toStdString();
}

TEST_F(DbModTest, QuotesBackslashesAndChineseAreStoredExactly)
{
    const QString awkward = QString("O'Brien\\ 张三 \"引号\"\n第二行\r") + QChar(0x1a) + "这是高";
    ASSERT_EQ(FormDbMod->ExecSql("insert into zol_user (name, remark) values ('" +
                                 SqlEscape(awkward) + "', '\\'')"),
              1);
    EXPECT_EQ(TestDb::Scalar("select hex(name) from zol_user"),
              QString::fromLatin1(awkward.toUtf8().toHex().toUpper()));
    DataSet q = FormDbMod->QuerySql("select name from zol_user where name = '" + SqlEscape(awkward) + "'");
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.AsString("name"), awkward);
}

TEST_F(DbModTest, ConcurrentCallersNeverSeeEachOthersResults)
{
    constexpr int Threads = 8, Rounds = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([t, &failures] {
            const QString tag = QString("线程%1").arg(t);
            for (int i = 0; i < Rounds; ++i) {
                try {
                    failures += FormDbMod->ExecSql("insert into zol_user (name, remark) values ('" +
                                                   SqlEscape(tag + "'" + QString::number(i)) +
                                                   "', '" + tag + "')") != 1;
                    DataSet mine = FormDbMod->QuerySql("select name, repeat('" + tag + "', 500) as pad "
                                                       "from zol_user where remark = '" + tag + "'");
                    failures += mine.RecordCount() != i + 1 || mine.AsString("pad") != tag.repeated(500);
                    for (mine.First(); !mine.Eof(); mine.Next())
                        failures += !mine.AsString("name").startsWith(tag + "'");
                } catch (...) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& w : workers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), QString::number(Threads * Rounds));
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(log.count("执行更新SQL:insert into zol_user"), Threads * Rounds);
    EXPECT_EQ(log.count("执行SQL语句出错"), 0);
}

TEST_F(DbModTest, DroppedConnectionIsReportedAndNotReestablished)
{
    TFormDbMod db;
    db.DropConnectionForTest();
    ConsoleDb::ClearLog();
    EXPECT_EQ(db.ExecSql("insert into zol_user (name) values ('lost')"), 0);
    ExpectDbException([&] { db.QuerySql("select 1 as one"); });
    ExpectDbException([&] { db.QuerySql("select 1 as one"); });
    EXPECT_EQ(ConsoleDb::LogText().count("执行SQL语句出错,原因:"), 3) << ConsoleDb::LogText().toStdString();
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), "0");
    // The shared module's own connection is unaffected.
    EXPECT_EQ(FormDbMod->QuerySql("select 1 as one").AsInteger("one"), 1);
}
