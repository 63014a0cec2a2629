// Shared by the record-page, record-command and dialog tests: a shown main window with its pagers,
// seeding of the record tables, and acting on a modal dialog while a command runs it.
#pragma once

#include "console/DevTestSupport.h"
#include "foundation/TPagerNavigator.h"
#include "platform/DbLookupCombo.h"
#include "platform/DbNavigator.h"
#include "support/ScriptedAnswerer.h"

#include <QtTest>
#include <functional>

namespace RecordTestSupport {

constexpr int WaitMs = 10000;

// Once per process: the console, shown (its first show makes the pagers), the automatic check off.
inline void ShowConsole()
{
    static bool shown = false;
    ConsoleDb::SetUp();
    if (shown)
        return;
    shown = true;
    MainForm->IniWriteBool(QStringLiteral("AutoDetected"), false);
    QSignalSpy pages(MainForm->PageControlMain, &QTabWidget::currentChanged);
    MainForm->show();
    QApplication::setActiveWindow(MainForm);
    ASSERT_TRUE(MainForm->Pagers[0] != nullptr);
    // The first activation shows the console page, then the device page; it must be over before
    // a test chooses its page.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.count() >= 2; }, WaitMs));
}

// Every record page closed and hidden, the device page active, the tables empty.
inline void Reset()
{
    for (int page = TMainForm::PageIdxIns; page <= TMainForm::PageIdxTemp; ++page)
        MainForm->HidePage(page);
    MainForm->ShowPageDev();
    TestDb::Truncate();
}

// Seeding through the client; each returns the new row's id.
inline int Insert(const QString& sql)
{
    return TestDb::Scalar(sql + QStringLiteral("; select LAST_INSERT_ID();")).toInt();
}
inline int AddOpLog(int dev, const QString& user, const QString& operation, const QString& time,
                    const QString& status = QStringLiteral("1"))
{
    return Insert(QStringLiteral("insert into zol_op_log (zol_id, user_id, user_name, optime, operation, status, memo) "
                                 "values (%1, 1, '%2', '%3', '%4', '%5', '')")
                      .arg(dev).arg(user, time, operation, status));
}
inline int AddRunLog(int dev, const QString& content, const QString& time)
{
    return Insert(QStringLiteral("insert into zol_log (zol_id, content, updatetime, memo) values (%1, '%2', '%3', '')")
                      .arg(dev).arg(content, time));
}
inline int AddTempLog(int dev, const QString& temp, const QString& time)
{
    return Insert(QStringLiteral("insert into zol_temp_log (zol_id, temp, updatetime, memo) values (%1, %2, '%3', '')")
                      .arg(dev).arg(temp, time));
}
inline int AddTask(int dev, int type, const QString& shutdown, const QString& up = QString())
{
    const QString upValue = up.isEmpty() ? QStringLiteral("null") : "'" + up + "'";
    return Insert(QStringLiteral("insert into zol_scheduletask (zol_id, task_type_id, shutdown_time, up_time, exec_unit, "
                                 "task_memo) values (%1, %2, '%3', %4, '天', '')")
                      .arg(dev).arg(type).arg(shutdown, upValue));
}
inline int AddUser(const QString& name, const QString& landname, int type)
{
    return Insert(QStringLiteral("insert into zol_user (name, landname, password, type, remark) values ('%1', '%2', md5('pw'), %3, '')")
                      .arg(name, landname).arg(type));
}
inline void AddTaskTypes()
{
    TestDb::Exec(QStringLiteral("insert into zol_tasktype values (1, '定时关机'), (2, '定时重启')"));
}

// One field of every row a grid's data set holds, top to bottom.
inline QStringList Column(const DataSet& rows, const QString& field)
{
    QStringList values;
    const int index = rows.FindField(field);
    for (int row = 0; row < rows.RecordCount(); ++row)
        values << rows.Cell(row, index).value_or(QStringLiteral("NULL"));
    return values;
}

// Runs act on the first modal dialog of type Dialog that opens while command runs; act must close
// it. Fails the test when no such dialog opens.
template <typename Dialog>
void WithModal(const std::function<void()>& command, const std::function<void(Dialog&)>& act)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog || seen)
            return;
        seen = true;
        act(*dialog);
    });
    poll.start();
    command();
    poll.stop();
    EXPECT_TRUE(seen) << "no dialog opened";
}

// The record grid's selection: exactly these rows (0-based).
inline void SelectRows(QTableView* grid, const QList<int>& rows)
{
    grid->clearSelection();
    for (int row : rows)
        grid->selectionModel()->select(grid->model()->index(row, 1),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The length of a text column as the server declares it.
inline int ColumnLength(const QString& table, const QString& column)
{
    return TestDb::Scalar(QStringLiteral("select character_maximum_length from information_schema.columns where "
                                         "table_schema = database() and table_name = '%1' and column_name = '%2'")
                              .arg(table, column)).toInt();
}

// Pastes text over all an edit or a memo holds, as the operator does with Ctrl+A, Ctrl+V.
template <typename Edit>
void PasteOver(Edit* edit, const QString& text)
{
    QApplication::clipboard()->setText(text);
    edit->selectAll();
    edit->paste();
}

inline QStringList Boxes(const ScriptedAnswerer& answers)
{
    QStringList boxes;
    for (const MessageRequest& box : answers.Requests())
        boxes << Describe(box);
    return boxes;
}

} // namespace RecordTestSupport
