// A fresh database per test executable on the private MariaDB server that the test script started.
#pragma once

#include <QString>
#include <QStringList>

namespace TestDb {

// Creates a new database with the schema of db/schema.sql and points the data source "zol" at it
// (project-local ODBC files, ODBCSYSINI). Needs the environment of scripts/db.sh env.
// Returns the database name. Calling it again gives another fresh database.
// The databases and ODBC files of a process are removed when it ends (the databases are kept
// when ZOL_TEST_KEEP_DB is set, e.g. to look at them after a failure).
QString CreateFresh();

// Name of the database made by the last CreateFresh.
QString Name();

// Runs statements on that database through the mariadb client (not through the console's
// own layer), for seeding and checking. Throws std::runtime_error on failure.
void Exec(const QString& sql);

// Runs a query and returns its rows, each row's values joined by '\t' (NULL as "NULL").
QStringList Rows(const QString& sql);
QString Scalar(const QString& sql);

// Empties every table of the schema.
void Truncate();

} // namespace TestDb
