// The database module against the real server: creation, the four operations, their console
// log lines, quoting, concurrent callers and a dropped connection.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "platform/ProcessExit.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <atomic>
#include <thread>

namespace {

struct ProcessEnded {
    int code;
};

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
        SetProcessExitHandler({});
    }
    static int Lines(const QString& log, const QString& text) { return log.count(text); }
};

} // namespace

TEST(SqlEscape, EscapesAsTheMysqlClientDoes)
{
    EXPECT_EQ(SqlEscape("O'Brien\\ 张三"), "O\\'Brien\\\\ 张三");
    EXPECT_EQ(SqlEscape(QString("a\nb\rc") + QChar(0) + "d" + QChar(0x1a) + "\""),
              "a\\nb\\rc\\0d\\Z\\\"");
    EXPECT_EQ(SqlEscape("普通文本 100%_"), "普通文本 100%_");
}

TEST_F(DbModTest, BlankDataSourceConnectsToZolAndSetsTheIdleTimeout)
{
    MainForm->IniWriteString("DataSource", "   ");
    TFormDbMod db;
    EXPECT_TRUE(db.ConnectionString().endsWith("Data Source=zol"));
    EXPECT_EQ(db.ConnectionString(), "Provider=MSDASQL.1;Persist Security Info=False;Data Source=zol");
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(Lines(log, "执行更新SQL:set interactive_timeout=24*3600"), 1) << log.toStdString();
    EXPECT_EQ(db.QuerySql("select @@interactive_timeout as t").AsInteger("t"), 86400);
}

TEST_F(DbModTest, UnreachableDataSourceShowsTheErrorBoxAndEndsTheProcess)
{
    MainForm->IniWriteString("DataSource", "no_such_source");
    ScriptedAnswerer answerer;
    SetProcessExitHandler([](int code) { throw ProcessEnded{code}; });
    try {
        TFormDbMod db;
        FAIL() << "creation must end the process";
    } catch (const ProcessEnded& e) {
        EXPECT_EQ(e.code, 0);
    }
    ASSERT_EQ(answerer.Count(), 1);
    EXPECT_EQ(answerer.Last().caption, "错误");
    EXPECT_EQ(answerer.Last().text, "连接数据库服务失败!");
    EXPECT_EQ(answerer.Last().icon, MsgIcon::Error);
}

TEST_F(DbModTest, ExecSqlLogsTheStatementAndReturnsRowsAffected)
{
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_user (name) values ('甲'), ('乙')"), 2);
    EXPECT_EQ(FormDbMod->ExecSql("update zol_user set remark = 'x' where id = -1"), 0);
    const QString log = ConsoleDb::LogText();
    EXPECT_TRUE(log.contains(QRegularExpression(
        "^  调试 \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d : 执行更新SQL:insert into zol_user "
        "\\(name\\) values \\('甲'\\), \\('乙'\\)$",
        QRegularExpression::MultilineOption)))
        << log.toStdString();
    EXPECT_EQ(Lines(log, "执行SQL语句出错"), 0);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), "2");
}

TEST_F(DbModTest, FailingStatementIsLoggedAndReturnsZero)
{
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_nothing values (1)"), 0);
    const QString log = ConsoleDb::LogText();
    EXPECT_TRUE(log.contains(QRegularExpression(
        "^  错误 [-\\d :]+ : 执行SQL语句出错,原因:\\[42S02\\] .*zol_nothing",
        QRegularExpression::MultilineOption)))
        << log.toStdString();
    // The connection is still usable afterwards.
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_user (name) values ('after')"), 1);
}

TEST_F(DbModTest, QueriesOpenTheCallersSetAndFailWithDatabaseException)
{
    TestDb::Exec("insert into zol_user (name, type) values ('甲', 1), ('乙', 2)");
    DataSet q = FormDbMod->QuerySql("select name, type from zol_user order by id");
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_EQ(q.AsString("NAME"), "甲");
    EXPECT_EQ(q.CommandText, "select name, type from zol_user order by id");

    DataSet none = FormDbMod->QuerySql("select * from zol_user where id = -1");
    EXPECT_TRUE(none.Active());
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_TRUE(none.Eof());

    ConsoleDb::ClearLog();
    try {
        FormDbMod->QuerySql("select * from zol_nothing");
        FAIL() << "a failing query must raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "数据库异常!");
    }
    DataSet grid;
    grid.Open({"kept"}, {{QString("1")}});
    EXPECT_THROW(FormDbMod->QuerySqlOn("select from", grid), Exception);
    EXPECT_FALSE(grid.Active()); // closed before the statement ran, not reopened
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(Lines(log, "执行查询SQL:select * from zol_nothing"), 1);
    EXPECT_EQ(Lines(log, "执行SQL语句出错,原因:[42S02]"), 1) << log.toStdString();
    EXPECT_EQ(Lines(log, "执行SQL语句出错,原因:[42000]"), 1) << log.toStdString();
}

TEST_F(DbModTest, ReopenQueryRunsTheStoredTextAgainAndLogsItLineByLine)
{
    DataSet grid;
    FormDbMod->QuerySqlOn("select name\r\nfrom zol_user\r\norder by id", grid);
    EXPECT_TRUE(grid.IsEmpty());
    TestDb::Exec("insert into zol_user (name) values ('新用户')");
    ConsoleDb::ClearLog();
    FormDbMod->ReopenQuery(grid);
    ASSERT_EQ(grid.RecordCount(), 1);
    EXPECT_EQ(grid.AsString("name"), "新用户");
    EXPECT_EQ(grid.CommandText, "select name\r\nfrom zol_user\r\norder by id");
    const QString log = ConsoleDb::LogText();
    EXPECT_TRUE(log.endsWith(" : 执行查询SQL:select name\nfrom zol_user\norder by id\n"))
        << log.toStdString();

    FormDbMod->CloseQuery(grid);
    EXPECT_FALSE(grid.Active());
    FormDbMod->CloseQuery(grid); // closing twice is harmless
}

TEST_F(DbModTest, QuotesBackslashesAndControlCharactersAreStoredExactly)
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
    constexpr int Threads = 8;
    constexpr int Rounds = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([t, &failures] {
            const QString tag = QString("线程%1").arg(t);
            for (int i = 0; i < Rounds; ++i) {
                try {
                    if (FormDbMod->ExecSql("insert into zol_user (name, remark) values ('" +
                                           SqlEscape(tag + "'" + QString::number(i)) + "', '" +
                                           tag + "')") != 1)
                        ++failures;
                    DataSet mine = FormDbMod->QuerySql(
                        "select name, repeat('" + tag + "', 500) as pad from zol_user where remark = '" +
                        tag + "' order by id");
                    if (mine.RecordCount() != i + 1 || mine.AsString("pad") != tag.repeated(500))
                        ++failures;
                    for (mine.First(); !mine.Eof(); mine.Next())
                        if (!mine.AsString("name").startsWith(tag + "'"))
                            ++failures;
                    DataSet own;
                    FormDbMod->QuerySqlOn(QString("select %1 as me").arg(t), own);
                    if (own.AsInteger("me") != t || own.CommandText != QString("select %1 as me").arg(t))
                        ++failures;
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
    EXPECT_EQ(Lines(log, "执行更新SQL:insert into zol_user"), Threads * Rounds);
    EXPECT_EQ(Lines(log, "执行SQL语句出错"), 0);
}

TEST_F(DbModTest, DroppedConnectionIsReportedAndNotReestablished)
{
    TFormDbMod db;
    db.DropConnectionForTest();
    ConsoleDb::ClearLog();
    EXPECT_EQ(db.ExecSql("insert into zol_user (name) values ('lost')"), 0);
    try {
        db.QuerySql("select 1 as one");
        FAIL() << "a query on a dropped connection must raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "数据库异常!");
    }
    EXPECT_THROW(db.QuerySql("select 1 as one"), Exception);
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(Lines(log, "执行SQL语句出错,原因:"), 3) << log.toStdString();
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), "0");
    // The shared module's own connection is unaffected.
    EXPECT_EQ(FormDbMod->QuerySql("select 1 as one").AsInteger("one"), 1);
}
