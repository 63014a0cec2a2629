// The database module: the one connection and the operations through which every statement runs.
#include "foundation/DbMod.h"

#include "foundation/ConsoleServices.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessExit.h"
#include "platform/TrimBlanks.h"

#include <exception>
#include <type_traits>

static_assert(std::is_trivially_destructible_v<DbModHandle>);
constinit DbModHandle FormDbMod;

namespace {

const QString DefaultDataSource = QStringLiteral("zol");
const QString ConnectionPrefix =
    QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Data Source=");
// The console may stand idle for a day between two statements. The connection is an ODBC one, not
// an interactive client's, so the server's limit for it is wait_timeout (interactive_timeout only
// applies to interactive clients).
const QString IdleTimeoutSql = QStringLiteral("set session wait_timeout=24*3600");
// Text values are quoted with backslash escapes (SqlEscape): a server whose default mode reads a
// backslash as an ordinary character would let a quote out of its string. The session drops that
// flag and keeps the rest of the server's mode.
const QString BackslashEscapesSql = QStringLiteral(
    "set session sql_mode = trim(both ',' from replace(concat(',', @@session.sql_mode, ','), "
    "',NO_BACKSLASH_ESCAPES,', ','))");
const QString PlainBackslashSql =
    QStringLiteral("select find_in_set('NO_BACKSLASH_ESCAPES', @@session.sql_mode) as plain");
const QString LimitPlanSetting = QStringLiteral("show variables like 'optimizer_join_limit_pref_ratio'");
const QString LimitPlanSql = QStringLiteral("set session optimizer_join_limit_pref_ratio=100");
const QString ExecLogPrefix = QStringLiteral("执行更新SQL:");
const QString QueryLogPrefix = QStringLiteral("执行查询SQL:");
const QString ErrorLogPrefix = QStringLiteral("执行SQL语句出错,原因:");
const QString DatabaseFailure = QStringLiteral("数据库异常!");
const QString ConnectFailure = QStringLiteral("连接数据库服务失败!");

// The module may run before or without the main window (start-up, tests): log only through a
// window that exists.
void LogDebug(const QString& message)
{
    if (MainForm)
        MainForm->LogDebug(message);
}

void LogError(const QString& message)
{
    if (MainForm)
        MainForm->LogError(message);
}

QString MessageOf(const std::exception& e)
{
    if (const auto* ours = dynamic_cast<const Exception*>(&e))
        return ours->Message;
    return QString::fromLocal8Bit(e.what());
}

// The statement text as a list of lines shows it: every line followed by a line break.
QString StoredText(const QString& commandText)
{
    if (commandText.isEmpty())
        return QString();
    QString text = commandText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith('\n'))
        text.chop(1);
    QString out;
    for (const QString& line : text.split('\n'))
        out += line + '\n';
    return out;
}

} // namespace

TFormDbMod::TFormDbMod()
{
    QString dataSource = MainForm ? MainForm->IniReadString(QStringLiteral("DataSource")) : QString();
    if (IsBlank(dataSource))
        dataSource = DefaultDataSource;
    Connect(dataSource);
}

TFormDbMod::~TFormDbMod()
{
    FormDbMod.BeginClose(this);
}

// Never freed: a worker that outlives the program's static objects may still call it.
TFormDbMod& ClosedDbMod()
{
    static TFormDbMod* const closed = new TFormDbMod(TFormDbMod::Unconnected{});
    return *closed;
}

void TFormDbMod::Connect(const QString& dataSource)
{
    try {
        conMysql_.Close();
        connectionString_ = ConnectionPrefix + dataSource;
        conMysql_.Open(OdbcConnectionStringFrom(connectionString_));
        ExecSql(IdleTimeoutSql); // a failure here is only logged
        // A session that still reads a backslash as a plain character is not used: the quoting
        // would be unsafe on it. It fails as a connection that could not be made does.
        if (!TryExecSql(BackslashEscapesSql) || BackslashIsPlain())
            throw Exception(QStringLiteral("会话仍把反斜杠当作普通字符 (NO_BACKSLASH_ESCAPES)"));
        PreferLimitPlans();
    } catch (const std::exception& e) {
        // The box says only that it failed; the log (on standard error before the window shows)
        // keeps the driver's reason.
        LogError(ConnectFailure + QStringLiteral("原因:") + MessageOf(e));
        if (MainForm)
            MainForm->ShowError(ConnectFailure);
        else
            MessageBoxes::Show({QStringLiteral("错误"), ConnectFailure, MsgIcon::Error, MsgButtons::Ok});
        ExitProcess(0);
    }
}

// A failed query throws, which the caller takes for a failed connection too.
bool TFormDbMod::BackslashIsPlain()
{
    const DataSet mode = QuerySql(PlainBackslashSql);
    return mode.IsEmpty() || mode.AsInteger(QStringLiteral("plain")) != 0;
}

// The record pages ask for the first rows of a long join in a given order ("... order by optime
// desc limit 0,500"). Left to itself the server joins from the small terminal table and sorts
// every row before it takes the first page; with this setting it weighs the limit and reads the
// newest rows through the index on the ordering column instead, a thousand times faster on a
// million operation records. Our own servers have it in their my.cnf; a console that connects to a
// server it did not set up sets it for its session. A server without the setting keeps its plan.
void TFormDbMod::PreferLimitPlans()
{
    DataSet known;
    try {
        QuerySqlOn(LimitPlanSetting, known);
    } catch (const std::exception&) {
        return; // logged; the connection works without it
    }
    if (!known.IsEmpty())
        ExecSql(LimitPlanSql);
}

int TFormDbMod::ExecSql(const QString& sql)
{
    return TryExecSql(sql).value_or(0);
}

std::optional<int> TFormDbMod::TryExecSql(const QString& sql)
{
    std::lock_guard<std::mutex> hold(lock_);
    try {
        LogDebug(ExecLogPrefix + sql);
        return static_cast<int>(conMysql_.Execute(sql));
    } catch (const std::exception& e) {
        LogError(ErrorLogPrefix + MessageOf(e));
        return std::nullopt;
    }
}

// Both statements under one hold of the lock; a row deleted after the lookup was still saved.
TFormDbMod::RowUpdate TFormDbMod::UpdateRow(const QString& update, const QString& table, const QString& keyColumn,
                                           int key)
{
    std::lock_guard<std::mutex> hold(lock_);
    try {
        LogDebug(ExecLogPrefix + update);
        if (conMysql_.Execute(update) > 0)
            return RowUpdate::Saved;
        const QString lookup = QStringLiteral("select 1 from ") + table + QStringLiteral(" where ") + keyColumn +
                               QStringLiteral(" = ") + QString::number(key) + QStringLiteral(" limit 1");
        LogDebug(QueryLogPrefix + lookup);
        DataSet found;
        conMysql_.Query(lookup, found);
        return found.IsEmpty() ? RowUpdate::Missing : RowUpdate::Saved;
    } catch (const std::exception& e) {
        LogError(ErrorLogPrefix + MessageOf(e));
        return RowUpdate::Failed;
    }
}

// The lock is held from the start of the transaction to its end, so no other caller's statement
// joins it. Should the rollback itself fail (a lost connection), the server discards the open
// transaction with the connection.
bool TFormDbMod::ExecAllOrNone(const QStringList& statements, long long* insertId)
{
    std::lock_guard<std::mutex> hold(lock_);
    try {
        conMysql_.Execute(QStringLiteral("start transaction"));
        bool complete = true;
        for (qsizetype i = 0; complete && i < statements.size(); ++i) {
            LogDebug(ExecLogPrefix + statements[i]);
            complete = conMysql_.Execute(statements[i]) > 0;
            if (i == 0 && insertId)
                *insertId = LastInsertId();
        }
        conMysql_.Execute(complete ? QStringLiteral("commit") : QStringLiteral("rollback"));
        return complete;
    } catch (const std::exception& e) {
        LogError(ErrorLogPrefix + MessageOf(e));
        try {
            conMysql_.Execute(QStringLiteral("rollback"));
        } catch (const std::exception&) {
            // the connection is gone, and the transaction with it
        }
        return false;
    }
}

// Read under the caller's lock, so no other caller's insert comes in between.
long long TFormDbMod::LastInsertId()
{
    DataSet id;
    conMysql_.Query(QStringLiteral("select LAST_INSERT_ID() as id"), id);
    return id.IsEmpty() ? 0 : id.AsString(QStringLiteral("id")).toLongLong();
}

DataSet TFormDbMod::QuerySql(const QString& sql)
{
    DataSet result;
    QuerySqlOn(sql, result);
    return result;
}

DataSet& TFormDbMod::QuerySqlOn(const QString& sql, DataSet& q)
{
    std::lock_guard<std::mutex> hold(lock_);
    CloseQuery(q);
    q.CommandText = sql;
    OpenOn(QueryLogPrefix + sql, q);
    return q;
}

DataSet& TFormDbMod::ReopenQuery(DataSet& q)
{
    std::lock_guard<std::mutex> hold(lock_);
    CloseQuery(q);
    OpenOn(QueryLogPrefix + StoredText(q.CommandText), q);
    return q;
}

// Runs q's statement with the lock held; q is opened only when all its rows were read.
void TFormDbMod::OpenOn(const QString& logLine, DataSet& q)
{
    try {
        LogDebug(logLine);
        conMysql_.Query(q.CommandText, q);
    } catch (const std::exception& e) {
        LogError(ErrorLogPrefix + MessageOf(e));
        throw Exception(DatabaseFailure);
    }
}

void TFormDbMod::CloseQuery(DataSet& q)
{
    try {
        q.Close();
    } catch (...) {
        // closing never fails for the caller
    }
}

void TFormDbMod::DropConnectionForTest()
{
    std::lock_guard<std::mutex> hold(lock_);
    DataSet id;
    conMysql_.Query(QStringLiteral("select CONNECTION_ID() as id"), id);
    OdbcConnection killer;
    killer.Open(OdbcConnectionStringFrom(connectionString_));
    killer.Execute(QStringLiteral("KILL ") + QString::number(id.AsInteger(QStringLiteral("id"))));
}
