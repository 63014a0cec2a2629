// The database schema: four-byte Chinese text and the values the console's statements rely on.
#include "support/TestDb.h"

#include <gtest/gtest.h>

TEST(Schema, ChineseTextAndTheValuesTheStatementsRelyOn)
{
    TestDb::CreateFresh();
    // Characters whose UTF-16 low byte is 0xD8-0xDB (高 诚 付 忘 烘), one outside the BMP.
    const QString chinese = "一号终端 高诚付忘烘 𠀀 \\'引号\\'";
    // Quoted digits into the integer type column, the literal null for an absent up_time, negative
    // temperatures, the operation status defaulting to failed.
    TestDb::Exec("insert into zol_baseinfo (name, ip) values ('" + chinese + "', '127.0.0.1');"
                 "insert into zol_user (name, landname, password, type, remark) values ('管理员', 'admin', '', '1', '');"
                 "insert into zol_scheduletask (zol_id, task_type_id, shutdown_time, up_time, exec_unit, task_memo)"
                 " values (1, 1, '2024-01-02 22:00:00', null, '天', '');"
                 "insert into zol_temp (zol_id, temp) values (1, -12.5), (2, 45.3);"
                 "insert into zol_op_log (zol_id, operation) values (1, '关机')");
    EXPECT_EQ(TestDb::Rows("select name from zol_baseinfo where name like '%忘烘%' union all select type from zol_user "
                           "union all select up_time from zol_scheduletask union all select status from zol_op_log"),
              QStringList({"一号终端 高诚付忘烘 𠀀 '引号'", "1", "NULL", "0"}));
    EXPECT_EQ(TestDb::Rows("select temp from zol_temp order by zol_id"), QStringList({"-12.5", "45.3"}));
    EXPECT_EQ(TestDb::Scalar("select group_concat(column_name) from information_schema.columns where table_schema = "
                             "database() and data_type in ('varchar', 'text') and character_set_name <> 'utf8mb4'"),
              "NULL");
}
