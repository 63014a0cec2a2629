// The database schema: Chinese text outside the basic plane in every text column.
#include "support/TestDb.h"

#include <gtest/gtest.h>

TEST(Schema, FourByteChineseTextInEveryTextColumn)
{
    TestDb::CreateFresh();
    // Characters whose UTF-16 low byte is 0xD8-0xDB (高 诚 付 忘 烘), one outside the BMP.
    const QString chinese = "一号终端 高诚付忘烘 𠀀";
    TestDb::Exec("insert into zol_baseinfo (name, ip) values ('" + chinese + "', '127.0.0.1')");
    EXPECT_EQ(TestDb::Scalar("select name from zol_baseinfo where name like '%忘烘%'"), chinese);
    EXPECT_EQ(TestDb::Scalar("select group_concat(column_name) from information_schema.columns where table_schema = "
                             "database() and data_type in ('varchar', 'text') and character_set_name <> 'utf8mb4'"),
              "NULL");
}
