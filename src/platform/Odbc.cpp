// A small layer over the ODBC C API: one connection, statements run with narrow calls in UTF-8.
//
// Only the narrow (ANSI) entry points are used and every value is read as SQL_C_CHAR: the
// MariaDB driver reports wrong lengths for some Chinese characters in wide (SQL_C_WCHAR) data,
// while its UTF-8 data is exact. A value is read in chunks and decoded once, after its last
// chunk, so a character split between two chunks stays whole.
#include "platform/Odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <atomic>

namespace {

constexpr SQLLEN ValueChunkBytes = 4096;      // bytes per SQLGetData call
constexpr SQLULEN LoginTimeoutSeconds = 15;   // a silent server must not hang start-up
constexpr SQLSMALLINT ColumnNameBytes = 256;

std::atomic<int> ioTimeoutForTest{0};

// The driver's own options for the waits of a connection's reads and writes; given last, they
// take the place of any the data source or the text names.
QString WithIoTimeouts(const QString& connectionString)
{
    const int seconds = ioTimeoutForTest > 0 ? ioTimeoutForTest.load() : OdbcTimings::IoTimeoutSeconds;
    QString text = connectionString;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    return text + QStringLiteral("READ_TIMEOUT=%1;WRITE_TIMEOUT=%1").arg(seconds);
}

QString Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QStringList lines;
    for (SQLSMALLINT record = 1; handle; ++record) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        QByteArray message(512, '\0');
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native,
                                     reinterpret_cast<SQLCHAR*>(message.data()),
                                     static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= message.size()) {
            message.resize(length + 1);
            rc = SQLGetDiagRec(handleType, handle, record, state, &native,
                               reinterpret_cast<SQLCHAR*>(message.data()),
                               static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        message.resize(std::min<int>(length, message.size() - 1));
        lines << QStringLiteral("[%1] %2")
                     .arg(QString::fromLatin1(reinterpret_cast<const char*>(state)),
                          QString::fromUtf8(message));
    }
    if (lines.isEmpty())
        return QStringLiteral("[HY000] ODBC call failed");
    return lines.join('\n');
}

void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle)
{
    if (!SQL_SUCCEEDED(rc))
        throw OdbcError(Diagnostics(handleType, handle));
}

// A statement handle freed on every path.
class Statement {
public:
    explicit Statement(SQLHDBC dbc)
    {
        Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h), SQL_HANDLE_DBC, dbc);
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs sql; false when the driver answers "no data" (a change that touched no row).
    bool ExecDirect(const QString& sql)
    {
        QByteArray text = sql.toUtf8();
        const SQLRETURN rc =
            SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(text.data()), text.size());
        if (rc == SQL_NO_DATA)
            return false;
        Check(rc, SQL_HANDLE_STMT, h);
        return true;
    }

    SQLHSTMT h = SQL_NULL_HSTMT;
};

QString ColumnName(SQLHSTMT stmt, SQLUSMALLINT column)
{
    QByteArray name(ColumnNameBytes, '\0');
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN rc = SQLDescribeCol(stmt, column, reinterpret_cast<SQLCHAR*>(name.data()),
                                  static_cast<SQLSMALLINT>(name.size()), &length, &type, &size,
                                  &digits, &nullable);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= name.size()) {
        name.resize(length + 1);
        rc = SQLDescribeCol(stmt, column, reinterpret_cast<SQLCHAR*>(name.data()),
                            static_cast<SQLSMALLINT>(name.size()), &length, &type, &size,
                            &digits, &nullable);
    }
    Check(rc, SQL_HANDLE_STMT, stmt);
    name.resize(std::min<int>(length, name.size() - 1));
    return QString::fromUtf8(name);
}

DataSet::Value ReadValue(SQLHSTMT stmt, SQLUSMALLINT column)
{
    QByteArray bytes;
    char chunk[ValueChunkBytes];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt, column, SQL_C_CHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA)
            break; // the previous call returned the last piece
        Check(rc, SQL_HANDLE_STMT, stmt);
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const bool truncated = rc == SQL_SUCCESS_WITH_INFO &&
                               (indicator == SQL_NO_TOTAL || indicator >= ValueChunkBytes);
        if (truncated) {
            bytes.append(chunk, ValueChunkBytes - 1); // the last byte holds the terminator
            continue;
        }
        bytes.append(chunk, static_cast<qsizetype>(indicator));
        break;
    }
    return QString::fromUtf8(bytes);
}

} // namespace

void OdbcTimings::SetIoTimeoutForTest(int seconds)
{
    ioTimeoutForTest = seconds < 0 ? 0 : seconds;
}

OdbcConnection::OdbcConnection()
{
    SQLHENV env = SQL_NULL_HENV;
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        env_ = env;
    }
}

OdbcConnection::~OdbcConnection()
{
    Close();
    if (env_)
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void OdbcConnection::Open(const QString& connectionString)
{
    Close();
    if (!env_)
        throw OdbcError(QStringLiteral("[HY001] ODBC environment could not be allocated"));
    SQLHDBC dbc = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc), SQL_HANDLE_ENV, env_);
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(LoginTimeoutSeconds),
                      0);
    QByteArray text = WithIoTimeouts(connectionString).toUtf8();
    SQLCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                          static_cast<SQLSMALLINT>(text.size()), completed,
                                          sizeof completed, &completedLength,
                                          SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const QString message = Diagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw OdbcError(message);
    }
    dbc_ = dbc;
    open_ = true;
}

void OdbcConnection::Close()
{
    if (!dbc_)
        return;
    if (open_)
        SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = nullptr;
    open_ = false;
}

bool OdbcConnection::IsOpen() const { return open_; }

long long OdbcConnection::Execute(const QString& sql)
{
    if (!open_)
        throw OdbcError(QStringLiteral("[08003] Connection not open"));
    Statement stmt(dbc_);
    if (!stmt.ExecDirect(sql))
        return 0;
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt.h, &count)) || count < 0)
        return 0;
    return count;
}

void OdbcConnection::Query(const QString& sql, DataSet& result)
{
    if (!open_)
        throw OdbcError(QStringLiteral("[08003] Connection not open"));
    Statement stmt(dbc_);
    QStringList names;
    std::vector<DataSet::Row> rows;
    if (stmt.ExecDirect(sql)) {
        SQLSMALLINT columns = 0;
        Check(SQLNumResultCols(stmt.h, &columns), SQL_HANDLE_STMT, stmt.h);
        for (SQLUSMALLINT c = 1; c <= columns; ++c)
            names << ColumnName(stmt.h, c);
        // The driver cannot tell the row count before fetching: fetch until "no data".
        while (columns > 0) {
            const SQLRETURN rc = SQLFetch(stmt.h);
            if (rc == SQL_NO_DATA)
                break;
            Check(rc, SQL_HANDLE_STMT, stmt.h);
            DataSet::Row row(columns);
            for (SQLUSMALLINT c = 1; c <= columns; ++c)
                row[c - 1] = ReadValue(stmt.h, c);
            rows.push_back(std::move(row));
        }
    }
    result.Open(std::move(names), std::move(rows));
}

QString OdbcConnectionStringFrom(const QString& adoStyle)
{
    bool hasProvider = false;
    QString dataSource;
    for (const QString& part : adoStyle.split(';', Qt::SkipEmptyParts)) {
        const int eq = part.indexOf('=');
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed();
        if (key.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
            hasProvider = true;
        else if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0)
            dataSource = part.mid(eq + 1).trimmed();
    }
    if (!hasProvider)
        return adoStyle;
    return QStringLiteral("DSN=") + dataSource;
}
