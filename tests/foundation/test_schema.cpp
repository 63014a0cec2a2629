// The database schema: the nine tables and their columns, Chinese text, server-assigned keys.
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

class SchemaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestDb::CreateFresh(); }
    void SetUp() override { TestDb::Truncate(); }
};

// Every table with its columns in their stored order.
const QMap<QString, QString> kTables{
    {"zol_baseinfo", "id,name,ip,mac,position,memo,relayIp,port"},
    {"zol_status", "zol_id,status,updatetime"},
    {"zol_temp", "zol_id,temp"},
    {"zol_temp_log", "id,zol_id,temp,updatetime,memo"},
    {"zol_log", "id,zol_id,content,updatetime,memo"},
    {"zol_op_log", "id,zol_id,user_id,user_name,optime,operation,status,memo"},
    {"zol_scheduletask", "task_id,zol_id,task_type_id,shutdown_time,up_time,exec_unit,task_memo"},
    {"zol_tasktype", "task_type_id,task_type_name"},
    {"zol_user", "id,name,landname,password,type,remark"},
};

// Characters whose UTF-16 low byte is 0xD8-0xDB (高 诚 付 忘 烘), one outside the BMP, quotes.
const QString kChinese = QString::fromUtf8("一号终端 高诚付忘烘 𠀀 '引号' \"双引号\"");

} // namespace

TEST_F(SchemaTest, NineTablesWithTheirColumns)
{
    QStringList rows = TestDb::Rows(
        "SELECT table_name, GROUP_CONCAT(column_name ORDER BY ordinal_position SEPARATOR ',') "
        "FROM information_schema.columns WHERE table_schema = DATABASE() "
        "GROUP BY table_name ORDER BY table_name");
    QMap<QString, QString> actual;
    for (const QString& row : rows) {
        QStringList parts = row.split('\t');
        ASSERT_EQ(parts.size(), 2) << row.toStdString();
        actual.insert(parts[0], parts[1]);
    }
    EXPECT_EQ(actual, kTables);
    EXPECT_FALSE(actual.contains("zol_instruction"));
}

TEST_F(SchemaTest, TextColumnsHoldFourByteUtf8)
{
    QStringList wrong = TestDb::Rows(
        "SELECT CONCAT(table_name, '.', column_name, ' ', character_set_name) "
        "FROM information_schema.columns WHERE table_schema = DATABASE() "
        "AND data_type IN ('varchar', 'char', 'text') AND character_set_name <> 'utf8mb4'");
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(", ").toStdString();
}

TEST_F(SchemaTest, ChineseTextRoundTrips)
{
    // The client gets the text with a quote escaped; every stored character must come back.
    QString quoted = kChinese;
    quoted.replace("'", "\\'");
    TestDb::Exec("INSERT INTO zol_baseinfo (name, ip, mac, position, memo, relayIp, port) VALUES ('" +
                 quoted + "', '127.0.0.1', '', '" + quoted + "', '', '127.0.0.1', 5000)");
    TestDb::Exec("INSERT INTO zol_op_log (zol_id, user_id, user_name, optime, operation, status, memo)"
                 " VALUES (1, 1, '管理员', '2024-01-02 03:04:05', '" + quoted + "', '1', '')");
    EXPECT_EQ(TestDb::Scalar("SELECT name FROM zol_baseinfo"), kChinese);
    EXPECT_EQ(TestDb::Scalar("SELECT position FROM zol_baseinfo"), kChinese);
    EXPECT_EQ(TestDb::Scalar("SELECT operation FROM zol_op_log"), kChinese);
    // Searches compare Chinese parts of a text.
    EXPECT_EQ(TestDb::Scalar("SELECT COUNT(*) FROM zol_baseinfo WHERE name LIKE '%忘烘%'"), "1");
    EXPECT_EQ(TestDb::Scalar("SELECT COUNT(*) FROM zol_baseinfo WHERE name LIKE '一号%'"), "1");
}

TEST_F(SchemaTest, ServerAssignsIdsAndTaskIds)
{
    // One client session, so LAST_INSERT_ID belongs to the insert just before it.
    auto insertAndId = [](const QString& insert) {
        QStringList rows = TestDb::Rows(insert + "; SELECT LAST_INSERT_ID();");
        return rows.isEmpty() ? 0 : rows.last().toInt();
    };
    const QString terminal = "INSERT INTO zol_baseinfo (name, ip) VALUES ('终端', '127.0.0.1')";
    int first = insertAndId(terminal);
    int second = insertAndId(terminal);
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);

    const QString task = "INSERT INTO zol_scheduletask (zol_id, task_type_id, shutdown_time, up_time,"
                         " exec_unit, task_memo) VALUES (1, 1, '2024-01-02 22:00:00', null, '天', '')";
    int task1 = insertAndId(task);
    int task2 = insertAndId(task);
    EXPECT_GT(task1, 0);
    EXPECT_GT(task2, task1);

    EXPECT_GT(insertAndId("INSERT INTO zol_user (name, landname, password, type, remark)"
                          " VALUES ('张三', 'zhang', '', '2', '')"), 0);
    EXPECT_GT(insertAndId("INSERT INTO zol_op_log (zol_id, operation) VALUES (1, '关机')"), 0);
}

TEST_F(SchemaTest, ValuesTheStatementsRelyOn)
{
    // Quoted digits into the integer type column, the literal null for an absent up_time,
    // negative temperatures, the operation status defaulting to failed.
    TestDb::Exec("INSERT INTO zol_user (name, landname, password, type, remark)"
                 " VALUES ('管理员', 'admin', '0123456789abcdef0123456789abcdef', '1', '')");
    EXPECT_EQ(TestDb::Scalar("SELECT type FROM zol_user"), "1");
    TestDb::Exec("INSERT INTO zol_scheduletask (zol_id, task_type_id, shutdown_time, up_time, exec_unit,"
                 " task_memo) VALUES (1, 1, '2024-01-02 22:00:00', null, '天', '')");
    EXPECT_EQ(TestDb::Scalar("SELECT up_time FROM zol_scheduletask"), "NULL");
    TestDb::Exec("INSERT INTO zol_temp (zol_id, temp) VALUES (1, -12.5), (2, 45.3)");
    EXPECT_EQ(TestDb::Rows("SELECT temp FROM zol_temp ORDER BY zol_id"), QStringList({"-12.5", "45.3"}));
    TestDb::Exec("INSERT INTO zol_op_log (zol_id, operation) VALUES (1, '关机')");
    EXPECT_EQ(TestDb::Scalar("SELECT status FROM zol_op_log"), "0");
}

TEST_F(SchemaTest, DataSourceZolReachesTheFreshDatabase)
{
    // The fixture's ODBC files name the data source "zol" for this database (narrow calls, UTF-8).
    TestDb::Exec("INSERT INTO zol_baseinfo (name, ip) VALUES ('" + QString::fromUtf8("高诚付忘烘") +
                 "', '127.0.0.1')");
    QProcess isql;
    isql.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    isql.start("isql", {"-b", "-d|", "zol"});
    ASSERT_TRUE(isql.waitForStarted(10000)) << "isql (unixodbc) is missing";
    isql.write("SELECT DATABASE(), name FROM zol_baseinfo\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(30000));
    QString out = QString::fromUtf8(isql.readAllStandardOutput()).trimmed();
    EXPECT_EQ(out, TestDb::Name() + "|" + QString::fromUtf8("高诚付忘烘"))
        << QString::fromUtf8(isql.readAllStandardError()).toStdString();
}
