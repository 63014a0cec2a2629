// A fresh database per test executable on the private MariaDB server that the test script started.
#pragma once

#include <QStringList>

namespace TestDb {

// Creates a new database from db/schema.sql and points the data source "zol" at it (project-local
// ODBC files, ODBCSYSINI); needs the environment of scripts/db.sh env. Each call gives another fresh
// database; they are dropped when the process ends unless ZOL_TEST_KEEP_DB is set.
QString CreateFresh();

// Through the mariadb client, not the console's own layer, for seeding and checking; failures throw
// std::runtime_error. Rows joins each row's values with '\t' (NULL as "NULL").
void Exec(const QString& sql);
QStringList Rows(const QString& sql);
QString Scalar(const QString& sql);
void Truncate(); // empties every table of the schema
// An option of the [client] section of a my.cnf that scripts/db.sh wrote ("password", "socket"),
// "" when it has none; throws std::runtime_error when the file cannot be read.
QString ClientOption(const QString& cnfPath, const QString& name);
// As the server's administrator, for what the account of the data may not do (server-wide settings).
void ExecAsRoot(const QString& sql);

} // namespace TestDb
