// The pager against the real server: the count statement, the two statements of a refresh, the
// buttons, totals and page box, the page-size box, pages left behind by a delete, and which
// statements read a later page by its keys, and from which end.
#include "console/DevTestSupport.h"
#include "foundation/TPagerNavigator.h"
#include "platform/DbNavigator.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using namespace DevTestSupport;

namespace {

class PagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        LogLevel = Consts::LevelDebug;
        TestDb::Exec("insert into zol_baseinfo (id, name) values (1, '甲')");
    }
    void SetUp() override
    {
        TestDb::Exec("truncate zol_op_log");
    }
    static QComboBox* SizeBox(QComboBox& box) // filled before the pager listens to it, as the window does
    {
        box.setEditable(true);
        box.addItems({"200", "500", "1000", "2000"});
        box.setCurrentText("500");
        return &box;
    }
    static void AddRows(int n) // times numbered on from the rows there are
    {
        if (n > 0)
            TestDb::Exec(QStringLiteral("insert into zol_op_log (zol_id, optime) select 1, lpad(seq + (select "
                                        "count(*) from zol_op_log), 7, '0') from seq_1_to_%1").arg(n));
    }
    // first, prior, next, last enabled; totals; page box: "0011 共501条  共 2 页 1"
    QString State() const
    {
        QString s;
        for (int b = 0; b < DbNavigator::ButtonCount; ++b)
            s += nav_.ButtonEnabled(b) ? '1' : '0';
        return s + ' ' + total_.text() + ' ' + page_.text();
    }
    // The statements run since the last call, as logged.
    static QStringList Statements()
    {
        QStringList run;
        for (const QString& line : ConsoleDb::LogText().split('\n'))
            if (line.contains("执行查询SQL:"))
                run << line.section("执行查询SQL:", 1);
        ConsoleDb::ClearLog();
        return run;
    }

    QComboBox sizeBox_;
    QLineEdit page_;
    DataSet rows_;
    DbNavigator nav_;
    QLabel total_;
    TPagerNavigator pager_{SizeBox(sizeBox_), &page_, &rows_, &nav_, &total_};
    const QString sql_ = "select * from zol_op_log where zol_id = 1 order by optime";
};

} // namespace

// 0, 500 and 501 rows at the default size: the page count, the buttons and exactly two statements.
TEST_F(PagerTest, RowCountsGivePagesButtonsAndTwoStatements)
{
    for (const auto& [added, state, shown] : std::vector<std::tuple<int, QString, int>>{
             {0, "0000 共0条  共 1 页 1", 0}, {500, "0000 共500条  共 1 页 1", 500}, {1, "0011 共501条  共 2 页 1", 500}}) {
        AddRows(added);
        ConsoleDb::ClearLog();
        pager_.SetSql(sql_);
        EXPECT_EQ(State(), state);
        EXPECT_EQ(rows_.RecordCount(), shown);
        EXPECT_EQ(Statements(), QStringList({"select count(*) as RecCount from zol_op_log where zol_id = 1 ",
                                             sql_ + " limit 0,500"}));
    }
    pager_.NavigatorClick(DbNavigator::Next);
    EXPECT_EQ(State(), "1100 共501条  共 2 页 2");
    EXPECT_EQ(rows_.RecordCount(), 1);
    EXPECT_EQ(rows_.AsString("optime"), "0000501");
    EXPECT_EQ(rows_.CommandText, sql_ + " limit 500,500"); // the grid's query holds the page's statement
    EXPECT_EQ(pager_.GetSql(), sql_);                       // the pager keeps the base statement

    // Three pages: the middle one enables every button; pages out of range are clamped.
    AddRows(500);
    pager_.Reload();
    pager_.NavigatorClick(DbNavigator::Last);
    pager_.NavigatorClick(DbNavigator::Prior);
    EXPECT_EQ(State(), "1111 共1001条  共 3 页 2");
    pager_.GoToPage(9);
    EXPECT_EQ(pager_.GetPageNo(), 3);
    pager_.GoToPage(-4);
    EXPECT_EQ(pager_.GetPageNo(), 1);
}

// Typed sizes: below 100 and non-numbers mean 500, any other number is taken; the size in use
// again runs nothing; every change goes back to page 1.
TEST_F(PagerTest, PageSizeBox)
{
    AddRows(1200);
    pager_.SetSql(sql_);
    pager_.GoToPage(2);
    for (const auto& [typed, size, pages, statements] : std::vector<std::tuple<QString, int, int, int>>{
             {"1000", 1000, 2, 2}, {"50", 500, 3, 2}, {"abc", 500, 3, 0}}) {
        ConsoleDb::ClearLog();
        {
            const QSignalBlocker quiet(sizeBox_);
            sizeBox_.setCurrentText(typed);
        }
        pager_.PageSizeChange();
        EXPECT_EQ(std::tuple(pager_.GetPageSize(), pager_.GetPageCount(), pager_.GetPageNo()), std::tuple(size, pages, 1))
            << typed.toStdString();
        EXPECT_EQ(Statements().size(), statements) << typed.toStdString();
        EXPECT_EQ(sizeBox_.currentText(), typed); // the box is not set to the size used
    }
    // The box's own change event drives it.
    sizeBox_.setCurrentIndex(3);
    EXPECT_EQ(pager_.GetPageSize(), 2000);
}

// Upper-case letters are lowered, line breaks dropped from the count, and the ordering cut off.
// Words inside quoted values are text, not clauses: they neither end the count nor stop paging.
TEST_F(PagerTest, CountStatementFromAStatementOverSeveralLines)
{
    AddRows(3);
    TestDb::Exec("update zol_op_log set operation = 'ORDER from LIMIT 张三', memo = 'it''s' where optime = '0000002'");
    pager_.SetSql("SELECT id, optime\r\nFROM zol_op_log\nWHERE zol_id = 1\r"
                  "AND operation = 'ORDER from LIMIT 张三' and memo <> 'it\\'s order'\nORDER BY optime DESC");
    EXPECT_EQ(pager_.GetCountSql(), "select count(*) as RecCount from zol_op_log where zol_id = 1 "
                                    "and operation = 'order from limit 张三' and memo <> 'it\\'s order' ");
    EXPECT_EQ(total_.text(), "共1条  共 1 页");
    EXPECT_TRUE(rows_.CommandText.endsWith("order by optime desc limit 0,500"));

    pager_.SetSql("select * from zol_op_log order by optime limit 2"); // a statement with its own limit
    EXPECT_EQ(rows_.RecordCount(), 2);
    EXPECT_EQ(rows_.CommandText, "select * from zol_op_log order by optime limit 2");
    const QString count = pager_.GetCountSql();
    pager_.SetSql("select 1"); // no from: nothing happens beyond taking the statement
    EXPECT_EQ(pager_.GetCountSql(), count);
    EXPECT_EQ(rows_.RecordCount(), 2);
}

// Rows deleted behind the current page: next goes to the new last page; when one page is left,
// the way back stays open instead of every button going dark over an empty page.
TEST_F(PagerTest, PageLeftBehindByDeletes)
{
    AddRows(1600);
    pager_.SetSql(sql_);
    pager_.NavigatorClick(DbNavigator::Last);
    TestDb::Exec("delete from zol_op_log where optime > '0000700'");
    pager_.Reload();
    EXPECT_EQ(State(), "1111 共700条  共 2 页 4");
    EXPECT_EQ(rows_.RecordCount(), 0);
    pager_.NavigatorClick(DbNavigator::Next);
    EXPECT_EQ(State(), "1100 共700条  共 2 页 2");
    EXPECT_EQ(rows_.RecordCount(), 200);

    TestDb::Exec("delete from zol_op_log where optime > '0000300'");
    pager_.Reload();
    EXPECT_EQ(State(), "1100 共300条  共 1 页 2");
    pager_.NavigatorClick(DbNavigator::Prior);
    EXPECT_EQ(State(), "0000 共300条  共 1 页 1");
    EXPECT_EQ(rows_.RecordCount(), 300);
}

TEST_F(PagerTest, FailuresReachTheCaller)
{
    EXPECT_THROW(pager_.Reload(), Exception); // no statement yet: an empty count statement
    pager_.SetSql("select * from zol_op_log where zol_id = 1");
    EXPECT_THROW(pager_.SetSql("select * from zol_nothing"), Exception);
}

// Only a two-table join on the key ordered by one column of the first table reads by keys: not with
// "or" (a quoted one aside), a condition on the other table or a second order column.
TEST_F(PagerTest, KeyedReadingOnlyForItsShape)
{
    AddRows(250);
    pager_.SetRowKey("id");
    const QString join = "select a.id, b.name from zol_op_log a, zol_baseinfo b where a.zol_id = b.id";
    for (const auto& [tail, keyed] : std::vector<std::pair<QString, bool>>{
             {" and a.optime <> 'x or (select' order by optime desc", true},
             {" or a.user_id = 7 order by optime desc", false},
             {" and b.name = '甲' order by optime desc", false},
             {" order by optime desc, a.id", false}}) {
        pager_.SetSql(join + tail);
        pager_.SetPageSize(100);
        pager_.GoToPage(2);
        EXPECT_EQ(rows_.CommandText.contains("pager_key"), keyed) << tail.toStdString();
        EXPECT_EQ(rows_.RecordCount(), 100) << tail.toStdString();
    }
}

// 1,030 keyed rows in pages of 100: a later page's keys are counted from the nearer end, the last
// page's 30 from the very end in the reversed order; the page holds its rows in the list's order.
TEST_F(PagerTest, KeyedPagesCountTheirKeysFromTheNearerEnd)
{
    AddRows(1030);
    pager_.SetRowKey("id");
    pager_.SetSql("select a.id, a.optime from zol_op_log a, zol_baseinfo b where a.zol_id = b.id order by optime desc");
    pager_.SetPageSize(100);
    for (const auto& [page, keys, rows] : std::vector<std::tuple<int, QString, QString>>{
             {2, "order by optime desc, a.id desc limit 100,100", "100 0000930-0000831"},
             {9, "order by optime asc, a.id asc limit 130,100", "100 0000230-0000131"},
             {11, "order by optime asc, a.id asc limit 0,30", "30 0000030-0000001"}}) {
        pager_.GoToPage(page);
        EXPECT_TRUE(rows_.CommandText.contains("pager_key") && rows_.CommandText.contains(keys))
            << page << ": " << rows_.CommandText.toStdString();
        rows_.First();
        QString shown = QString::number(rows_.RecordCount()) + ' ' + rows_.AsString("optime") + '-';
        rows_.Last();
        EXPECT_EQ(shown + rows_.AsString("optime"), rows) << page;
    }
}
