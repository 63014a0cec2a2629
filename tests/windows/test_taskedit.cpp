// The planned-task dialog against the real server: "全部设备" with no terminals, the checks, type 2
// with its pause and a restart after midnight, loading with the snapped pause, edits, refusals.
#include "console/RecordTestSupport.h"
#include "windows/TaskEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QTextEdit>

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

class TaskEditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ShowConsole();
        LogLevel = Consts::LevelDebug;
    }
    void SetUp() override
    {
        Reset();
        AddTaskTypes();
        MainForm->ShowPageTask();
        ConsoleDb::ClearLog();
    }
    static QStringList Tasks()
    {
        return TestDb::Rows("select concat_ws('|', zol_id, task_type_id, shutdown_time, ifnull(up_time, 'NULL'), exec_unit, "
                            "task_memo) from zol_scheduletask order by task_id");
    }
    static int Refreshes() { return ConsoleDb::LogText().count("select count(*)"); }
    // Chooses the entry with this text in a lookup box as the operator does.
    static void Pick(DbLookupCombo* box, const QString& text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    ScriptedAnswerer answers_;
};

} // namespace

// "全部设备" with no terminals: the dialog closes, nothing is written and the page is not refreshed.
TEST_F(TaskEditTest, AllTerminalsWithoutTerminals)
{
    TFormTaskEdit empty(MainForm);
    empty.show();
    empty.BtnOkClick();
    EXPECT_FALSE(empty.isVisible());
    EXPECT_EQ(std::pair(Tasks().size(), Refreshes()), std::pair(qsizetype(0), 0));
    EXPECT_EQ(answers_.Count(), 0);
}

// One terminal, type 2, 23:30 with a pause of 60: the restart falls on the next day. The memo keeps
// quotes, backslashes and Chinese. The dialog keeps its size whatever the picked terminal's details.
TEST_F(TaskEditTest, RestartAfterMidnightMovesTheDate)
{
    const int a = AddTerminal("甲", "down", "127.0.0.2");
    TestDb::Exec(QStringLiteral("update zol_baseinfo set mac = '00-1A-2B-3C-4D-5E', "
                                "position = '%1' where id = %2").arg(QString(40, QChar(u'楼'))).arg(a));
    TFormTaskEdit d(MainForm);
    d.show();
    Pump();
    const QSize laidOut = d.size();
    Pick(d.DbCbxDevTask, "甲");
    Pump();
    EXPECT_EQ(d.LblDevMac->text(), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(d.size(), laidOut);
    EXPECT_GE(d.LblDevMac->width(), d.LblDevMac->sizeHint().width()) << "an address is shown whole";
    Pick(d.DbCbxTaskType, "定时重启");
    EXPECT_TRUE(d.CbxPauseInterval->isEnabled());
    d.CbxPauseInterval->setCurrentText("60");
    d.DtpShutdownTime->setDateTime(QDateTime(QDate(2013, 12, 31), QTime(23, 30, 0)));
    d.CbxLoop->setChecked(false); // every task repeats daily
    EXPECT_TRUE(d.CbxLoop->isChecked());
    MainForm->SetMemoText(d.MemoTaskMemo, "O'Brien\\重启");
    d.BtnOkClick();
    EXPECT_EQ(Tasks(), QStringList{QString::number(a) + "|2|2013-12-31 23:30:00|2014-01-01 00:30:00|天|O'Brien\\\\重启"});
}

// A stored type-2 task loads with its pause snapped up to a choice (45 -> 60); saving it unchanged
// writes the restart from that pause. Edits never change the terminal, and the list has no
// "全部设备" any more; a stored unit other than 天 is saved as 天.
TEST_F(TaskEditTest, LoadSnapsThePauseAndEditKeepsTheTerminal)
{
    const int a = AddTerminal("甲", "down", "127.0.0.2");
    AddTerminal("乙", "down", "127.0.0.3");
    for (const auto& [up, pause] : std::vector<std::pair<QString, QString>>{
             {"2013-05-06 22:10:00", "10"}, {"2013-05-06 22:45:00", "60"}, {"2013-05-06 23:01:00", "120"}, {"2013-05-06 21:35:00", "30"}}) {
        const int task = AddTask(a, 2, "2013-05-06 22:00:00", up);
        TFormTaskEdit d(MainForm);
        d.LoadTask(task);
        EXPECT_TRUE(d.EditMode());
        EXPECT_EQ(std::pair(d.CbxPauseInterval->isEnabled(), d.CbxPauseInterval->currentText()), std::pair(true, pause));
    }
    TestDb::Exec("truncate zol_scheduletask");
    const int task = AddTask(a, 2, "2013-05-06 22:00:00", "2013-05-06 22:45:00");
    TestDb::Exec("update zol_scheduletask set exec_unit = 'DAY'");
    TFormTaskEdit d(MainForm);
    d.LoadTask(task);
    EXPECT_EQ(d.DbCbxDevTask->findText("全部设备"), -1);
    EXPECT_EQ(d.DbCbxDevTask->Text(), "甲");
    EXPECT_EQ(d.LblDevIp->text(), "127.0.0.2");
    Pick(d.DbCbxDevTask, "乙"); // ignored by an edit
    d.BtnOkClick();
    EXPECT_EQ(Tasks(), QStringList{QString::number(a) + "|2|2013-05-06 22:00:00|2013-05-06 23:00:00|天|"});

    TestDb::Exec("update zol_scheduletask set up_time = null");
    TFormTaskEdit noRestart(MainForm);
    noRestart.LoadTask(task);
    EXPECT_EQ(std::pair(noRestart.CbxPauseInterval->isEnabled(), noRestart.CbxPauseInterval->currentText()),
              std::pair(false, QString("10")));
    noRestart.BtnOkClick();
    EXPECT_EQ(Tasks(), QStringList{QString::number(a) + "|2|2013-05-06 22:00:00|NULL|天|"});
}

// No terminal shown (an edit of a task that is gone leaves the box empty), then no type: each warns
// and writes nothing. A statement the database refuses keeps the dialog open.
TEST_F(TaskEditTest, ChecksAndRefusals)
{
    AddTerminal("甲", "down", "127.0.0.2");
    TFormTaskEdit gone(MainForm);
    gone.LoadTask(999);
    EXPECT_FALSE(gone.EditMode());
    gone.show();
    gone.BtnOkClick();
    EXPECT_EQ(Describe(answers_.Last()), "警告|请选择设备!|2|0");
    Pick(gone.DbCbxDevTask, "甲");
    gone.DbCbxTaskType->SetKeyValue("7");
    gone.BtnOkClick();
    EXPECT_EQ(Describe(answers_.Last()), "警告|请选择任务类型!|2|0");
    EXPECT_TRUE(gone.isVisible());

    TestDb::Exec("create trigger no_task before insert on zol_scheduletask for each row "
                 "signal sqlstate '45000' set message_text = 'refused'");
    gone.DbCbxTaskType->SetKeyValue("1");
    MainForm->SetMemoText(gone.MemoTaskMemo, "留着");
    gone.BtnOkClick();
    TestDb::Exec("drop trigger no_task");
    EXPECT_EQ(Describe(answers_.Last()), "错误|数据库异常!|3|0");
    EXPECT_TRUE(gone.isVisible());
    EXPECT_EQ(MainForm->GetMemoText(gone.MemoTaskMemo), "留着");
    EXPECT_TRUE(Tasks().isEmpty());

    TestDb::Exec("insert into zol_scheduletask (zol_id, task_type_id, shutdown_time) values (1, 1, 'soon')");
    TFormTaskEdit bad(MainForm);
    EXPECT_THROW(bad.LoadTask(TestDb::Scalar("select max(task_id) from zol_scheduletask").toInt()), Exception);
}

// A save that changes nothing is no failure; a memo pasted far longer than its column keeps what the
// column holds and is saved. A save onto a task another console deleted meanwhile warns, writes
// nothing, and the page no longer lists the task.
TEST_F(TaskEditTest, EditsOfStoredTasks)
{
    const int a = AddTerminal("甲", "down", "127.0.0.2");
    const int kept = AddTask(a, 1, "2013-05-06 22:00:00");
    const int gone = AddTask(a, 1, "2013-05-06 23:00:00");
    const QString pasted = "计划" + QString(14000, u'停');
    for (const QString& memo : {QString(), pasted}) {
        TFormTaskEdit d(MainForm);
        d.LoadTask(kept);
        if (memo.isEmpty())
            MainForm->SetMemoText(d.MemoTaskMemo, memo);
        else
            PasteOver(d.MemoTaskMemo, memo);
        d.BtnOkClick();
    }
    EXPECT_EQ(TestDb::Scalar("select task_memo from zol_scheduletask where task_id = " + QString::number(kept)),
              pasted.left(ColumnLength("zol_scheduletask", "task_memo")));
    TFormTaskEdit d(MainForm);
    d.LoadTask(gone);
    TestDb::Exec("delete from zol_scheduletask where task_id = " + QString::number(gone));
    d.BtnOkClick();
    EXPECT_EQ(Boxes(answers_), QStringList{"警告|修改失败,任务已不存在!|2|0"});
    EXPECT_EQ(Column(MainForm->QueryGrdTask, "task_id"), QStringList{QString::number(kept)});
}
