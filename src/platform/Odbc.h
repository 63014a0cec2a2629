// A small layer over the ODBC C API: one connection, statements run with narrow calls in UTF-8.
#pragma once

#include "platform/DataSet.h"
#include "platform/Exception.h"

#include <QString>

// An ODBC failure; Message holds the diagnostic records as "[SQLSTATE] text" lines.
class OdbcError : public Exception {
public:
    using Exception::Exception;
};

// How long one read or write of a statement's data waits for the server. A server that stops
// answering in the middle of a statement would otherwise hold its caller (and the connection's
// lock, and the end of the console) for ever; past it the statement fails as a lost connection.
namespace OdbcTimings {
inline constexpr int IoTimeoutSeconds = 30;
// Test seam: the wait in seconds for connections opened from now on (0 restores the shipped one).
void SetIoTimeoutForTest(int seconds);
} // namespace OdbcTimings

class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // connectionString is an ODBC connection string ("DSN=zol" or "DRIVER=...;SERVER=..."); the
    // reads and writes of the connection wait OdbcTimings::IoTimeoutSeconds at most.
    void Open(const QString& connectionString);
    void Close();
    bool IsOpen() const;

    // Runs a statement; returns the rows it affected (0 when the driver cannot tell).
    long long Execute(const QString& sql);
    // Runs a query and fetches every row into result (fields and rows replaced, set opened).
    void Query(const QString& sql, DataSet& result);

private:
    void* env_ = nullptr; // SQLHENV
    void* dbc_ = nullptr; // SQLHDBC
    bool open_ = false;
};

// Turns the console's connection text ("Provider=MSDASQL.1;...;Data Source=zol") into an
// ODBC connection string ("DSN=zol"). Other ODBC strings pass unchanged.
QString OdbcConnectionStringFrom(const QString& adoStyle);
