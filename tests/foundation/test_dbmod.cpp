// The database module against the real server: operations and their log lines, quoting, a session
// whose mode cannot be set, threads, a lost connection.
#include "console/DevTestSupport.h"
#include "foundation/SqlText.h"
#include "platform/ProcessExit.h"
#include "support/ScriptedAnswerer.h"
#include "support/Thrown.h"

#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const QString DbException = "数据库异常!";

class DbModTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        LogLevel = Consts::LevelDebug;
    }
    void SetUp() override
    {
        TestDb::Truncate();
        ConsoleDb::ClearLog();
    }
};

} // namespace

// A day of idle time for the session itself: the console's ODBC session is not an interactive one.
TEST_F(DbModTest, BlankDataSourceConnectsToZolAndSetsTheIdleTimeout)
{
    MainForm->IniWriteString("DataSource", "   ");
    TFormDbMod db;
    EXPECT_EQ(db.QuerySql("select @@session.wait_timeout as t").AsInteger("t"), 86400);
    MainForm->IniWriteString("DataSource", "");
}

TEST_F(DbModTest, OperationsLogTheirStatementsAndFailures)
{
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_user (name, type) values ('新用户', 3), ('乙', 3)"), 2);
    EXPECT_EQ(FormDbMod->ExecSql("insert into zol_nothing values (1)"), 0);
    DataSet grid;
    EXPECT_EQ(FormDbMod->QuerySqlOn("select name\r\nfrom zol_user\r\nwhere type = 3", grid).RecordCount(), 2);
    TestDb::Exec("insert into zol_user (name, type) values ('丙', 3)");
    FormDbMod->ReopenQuery(grid);
    EXPECT_EQ(QString("%1 %2 ").arg(grid.RecordCount()).arg(grid.RecNo()) + grid.AsString("NAME"), "3 1 新用户");
    FormDbMod->CloseQuery(grid);
    FormDbMod->CloseQuery(grid); // closing twice is harmless
    EXPECT_FALSE(grid.Active());

    EXPECT_EQ(Thrown([] { FormDbMod->QuerySql("select * from zol_nothing"); }), DbException);
    grid.Open({"kept"}, {{QString("1")}});
    EXPECT_EQ(Thrown([&] { FormDbMod->QuerySqlOn("select from where 中文", grid); }), DbException);
    EXPECT_FALSE(grid.Active()); // closed before the statement ran, not reopened

    QString log = ConsoleDb::LogText();
    EXPECT_TRUE(log.contains(QRegularExpression("原因:\\[42000\\] .*中文"))) << log.toStdString();
    log.replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"), "T");
    log.replace(QRegularExpression("(原因:\\[\\w+\\]) .*"), "\\1 …");
    const QString query = "  调试 T : 执行查询SQL:select name\nfrom zol_user\nwhere type = 3\n";
    EXPECT_EQ(log, "  调试 T : 执行更新SQL:insert into zol_user (name, type) values ('新用户', 3), ('乙', 3)\n"
                   "  调试 T : 执行更新SQL:insert into zol_nothing values (1)\n"
                   "  错误 T : 执行SQL语句出错,原因:[42S02] …\n" +
                   query + query + "\n" + // reopening logs the statement as lines, each ended
                   "  调试 T : 执行查询SQL:select * from zol_nothing\n"
                   "  错误 T : 执行SQL语句出错,原因:[42S02] …\n"
                   "  调试 T : 执行查询SQL:select from where 中文\n"
                   "  错误 T : 执行SQL语句出错,原因:[42000] …")
        << log.toStdString();
}

// Server defaults that end an idle session in seconds and read a backslash as a plain character, set
// only while the sessions connect (other tests share the server): once an idle plain session has
// gone, the console still stores and finds a text escaped as the mysql client does, exactly.
TEST_F(DbModTest, IdleConsoleAndItsQuotingOutlastTheServersDefaults)
{
    OdbcConnection observer;
    observer.Open("DSN=zol");
    DataSet defaults;
    observer.Query("select @@global.wait_timeout as idle, @@global.sql_mode as mode", defaults);
    const QString restore = "set global wait_timeout=" + defaults.AsString("idle") + ", global sql_mode='" +
                            SqlEscape(defaults.AsString("mode")) + "'";
    std::unique_ptr<TFormDbMod> console;
    OdbcConnection plain;
    try {
        TestDb::ExecAsRoot("set global wait_timeout=2, global sql_mode=concat(@@global.sql_mode, ',NO_BACKSLASH_ESCAPES')");
        console = std::make_unique<TFormDbMod>();
        plain.Open("DSN=zol");
    } catch (...) {
        TestDb::ExecAsRoot(restore);
        throw;
    }
    TestDb::ExecAsRoot(restore);
    DataSet id;
    plain.Query("select connection_id() as id", id);
    const QString gone = "select count(*) as n from information_schema.processlist where id = " + id.AsString("id");
    constexpr int IdleEndsWithinMs = 60000;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        DataSet n;
        observer.Query(gone, n);
        return n.AsInteger("n") == 0;
    }, IdleEndsWithinMs));

    const QString awkward = QString("O'Brien\\ 张三 \"引号\" 100%_\n第二行\r") + QChar(0x1a) + QChar(0) + "这是高";
    const QString quoted = "'" + SqlEscape(awkward) + "'";
    ASSERT_EQ(console->ExecSql("insert into zol_user (name) values (" + quoted + ")"), 1);
    EXPECT_EQ(TestDb::Scalar("select hex(name) from zol_user"), awkward.toUtf8().toHex().toUpper());
    EXPECT_EQ(console->QuerySql("select name from zol_user where name = " + quoted).AsString("name"), awkward);
}

// A session on which the mode cannot be set is not used. A data source whose sessions begin by
// reading a backslash as a plain character, as on a server with that default, for an account that
// the server lets run only so many statements an hour; it connects with a limit one higher each
// time, so that at one of them the statement that drops the flag is refused. Each console ends
// as a failed connection does, or, its statements counted from zero again, stores and finds a
// quoted quote and backslash exactly.
TEST_F(DbModTest, SessionThatKeepsPlainBackslashesIsNotUsed)
{
    struct ProcessEnded {};
    const QString account = "'zol_few'@'127.0.0.1'";
    const QString database = TestDb::Scalar("select database()");
    // Accounts are the server's to manage: as root, through its socket.
    TestDb::ExecAsRoot("drop user if exists " + account + "; create user " + account + " identified by 'few';"
                       "grant all on " + database + ".* to " + account);
    QFile ini(qEnvironmentVariable("ODBCSYSINI") + "/odbc.ini");
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write(QString("\n[zol_few]\nDriver=MariaDB Unicode\nSERVER=127.0.0.1\nPORT=%1\nDATABASE=%2\nUSER=zol_few\n"
                      "PASSWORD=few\nCHARSET=utf8mb4\nINITSTMT=set session sql_mode='NO_BACKSLASH_ESCAPES'\n")
                  .arg(qEnvironmentVariable("ZOL_TEST_MYSQL_PORT"), database)
                  .toUtf8());
    ini.close();
    ScriptedAnswerer boxes;
    struct Restore {
        Restore()
        {
            SetProcessExitHandler([](int) { throw ProcessEnded{}; });
            MainForm->IniWriteString("DataSource", "zol_few");
        }
        ~Restore()
        {
            SetProcessExitHandler({});
            MainForm->IniWriteString("DataSource", "");
        }
    } restore;
    const QString awkward = "O'Brien\\ 张三";
    const QString quoted = "'" + SqlEscape(awkward) + "'";
    constexpr int MostStatements = 30; // far more than connecting takes
    QStringList outcomes;
    for (int limit = 1; limit <= MostStatements && !outcomes.endsWith("stored"); ++limit) {
        TestDb::ExecAsRoot(QString("alter user %1 with max_queries_per_hour %2; flush user_resources").arg(account).arg(limit));
        std::unique_ptr<TFormDbMod> console;
        try {
            console = std::make_unique<TFormDbMod>();
        } catch (const ProcessEnded&) {
            outcomes << "ended";
            continue;
        }
        TestDb::ExecAsRoot("flush user_resources");
        try {
            console->ExecSql("insert into zol_user (name) values (" + quoted + ")");
            const DataSet found = console->QuerySql("select name from zol_user where name = " + quoted);
            outcomes << (found.AsString("name") == awkward ? "stored" : "unsafe");
        } catch (const Exception&) {
            outcomes << "unsafe";
        }
    }
    ASSERT_FALSE(outcomes.isEmpty());
    EXPECT_EQ(outcomes.join(' '), (QStringList(outcomes.size() - 1, "ended") << "stored").join(' '));
    EXPECT_EQ(boxes.Count(), outcomes.size() - 1);
    EXPECT_EQ(Describe(boxes.Last()), Describe({"错误", "连接数据库服务失败!", MsgIcon::Error, MsgButtons::Ok}));
    const QString log = ConsoleDb::LogText();
    EXPECT_TRUE(log.contains(QRegularExpression("原因:.*max_queries_per_hour"))) << log.toStdString();
    TestDb::ExecAsRoot("drop user " + account);
}

TEST_F(DbModTest, ConcurrentCallersNeverSeeEachOthersResults)
{
    constexpr int Threads = 8;
    constexpr int Rounds = 25;
    std::atomic<int> failures{0};
    std::vector<std::jthread> workers;
    for (int t = 0; t < Threads; ++t)
        workers.emplace_back([t, &failures] {
            const QString tag = QString("线程%1").arg(t);
            for (int i = 0; i < Rounds; ++i) {
                try {
                    failures += FormDbMod->ExecSql("insert into zol_user (name, remark) values ('" + tag + "\\'" +
                                                   QString::number(i) + "', '" + tag + "')") != 1;
                    DataSet mine = FormDbMod->QuerySql("select name, repeat('" + tag + "', 500) as pad "
                                                       "from zol_user where remark = '" + tag + "'");
                    failures += mine.RecordCount() != i + 1 || mine.AsString("pad") != tag.repeated(500);
                    for (mine.First(); !mine.Eof(); mine.Next())
                        failures += !mine.AsString("name").startsWith(tag + "'");
                } catch (...) { ++failures; }
            }
        });
    workers.clear(); // joins
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), QString::number(Threads * Rounds));
}

TEST_F(DbModTest, DroppedConnectionIsReportedAndNotReestablished)
{
    TFormDbMod db;
    db.DropConnectionForTest();
    ConsoleDb::ClearLog();
    EXPECT_EQ(db.ExecSql("insert into zol_user (name) values ('lost')"), 0);
    EXPECT_EQ(Thrown([&] { db.QuerySql("select 1 as one"); }), DbException);
    EXPECT_EQ(Thrown([&] { db.QuerySql("select 1 as one"); }), DbException);
    EXPECT_EQ(ConsoleDb::LogText().count("执行SQL语句出错,原因:"), 3) << ConsoleDb::LogText().toStdString();
    // The shared module's own connection is unaffected.
    EXPECT_EQ(FormDbMod->QuerySql("select 1 as one").AsInteger("one"), 1);
}
