// The database module: the one connection and the operations through which every statement runs.
#pragma once

#include "foundation/CountedHandle.h"
#include "platform/DataSet.h"
#include "platform/Odbc.h"

#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

class TFormDbMod {
public:
    // Connects at once (data source from the setting "DataSource", "zol" when blank) and sets
    // the session's idle time-out and the SQL mode its quoting relies on. On failure, also when
    // that mode cannot be set, shows "连接数据库服务失败!" and ends the process.
    TFormDbMod();
    // Freed only when no call is under way in it (see FormDbMod).
    ~TFormDbMod();

    // The connection text as the console names it: "...;Data Source=<name>".
    QString ConnectionString() const { return connectionString_; }

    // Runs a data-changing statement; rows affected, or 0 after logging a failure.
    int ExecSql(const QString& sql);
    // As ExecSql, but a failure (logged the same way) gives no value, so that a caller can tell it
    // from a statement that touched no row.
    std::optional<int> TryExecSql(const QString& sql);
    // How an update of one row by its key ended.
    enum class RowUpdate {
        Saved,   // the row is there and holds what the update wrote (perhaps what it held before)
        Missing, // no row has that key any more: deleted meanwhile
        Failed,  // the database refused a statement (logged as ExecSql does)
    };
    // Runs update, which sets the row of table whose keyColumn is key. The server counts the rows
    // an update changed, not those it matched (unless the data source asks for found rows), so when
    // none counts the row is looked up to tell an update that changed nothing from one whose row is
    // gone.
    RowUpdate UpdateRow(const QString& update, const QString& table, const QString& keyColumn, int key);
    // Runs the statements as one transaction: committed when every one of them affected a row,
    // rolled back otherwise (a failure logged as ExecSql does). insertId, when given, receives the
    // identifier the server assigned to the row the first statement inserted.
    bool ExecAllOrNone(const QStringList& statements, long long* insertId = nullptr);
    // Runs a query into a result that belongs to the caller; "数据库异常!" on failure.
    DataSet QuerySql(const QString& sql);
    // Runs sql on q (a grid's query): q's CommandText becomes sql. Errors as QuerySql.
    DataSet& QuerySqlOn(const QString& sql, DataSet& q);
    // Closes q and opens it again with its own CommandText. Errors as QuerySql.
    DataSet& ReopenQuery(DataSet& q);
    // Closes q; never fails.
    void CloseQuery(DataSet& q);

    // Test seam: drops the server connection as a network failure would.
    void DropConnectionForTest();

private:
    friend TFormDbMod& ClosedDbMod();
    struct Unconnected {};
    explicit TFormDbMod(Unconnected) {}

    void Connect(const QString& dataSource);
    bool BackslashIsPlain(); // the session's mode reads a backslash as an ordinary character
    void PreferLimitPlans();
    long long LastInsertId(); // lock held
    void OpenOn(const QString& logLine, DataSet& q); // runs q.CommandText, lock held

    std::mutex lock_; // one call at a time; each caller's result is its own
    OdbcConnection conMysql_;
    QString connectionString_;
};

// What a call reaches while no module is open: a module that never connected, so that every
// operation fails as on a lost connection (a query with "数据库异常!", a change with no row).
TFormDbMod& ClosedDbMod();

// The module as everything reaches it, from any thread: a call holds the module's end back until
// it returns, and once the end has begun calls reach the closed stand-in. Start-up opens it on the
// module it made and frees that module only when no call is under way in it.
using DbModHandle = CountedHandle<TFormDbMod, ClosedDbMod>;
extern constinit DbModHandle FormDbMod;
