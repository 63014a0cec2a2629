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

class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // connectionString is an ODBC connection string ("DSN=zol" or "DRIVER=...;SERVER=...").
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
