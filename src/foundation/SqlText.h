// Quoting of text values placed into SQL statements (MySQL rules).
#pragma once

#include <QString>

// The value with backslash and single quote escaped, for use between single quotes in a
// statement: "'" + SqlEscape(name) + "'". Every text value of every statement goes through it.
QString SqlEscape(const QString& value);
// The value for a LIKE pattern between single quotes: as SqlEscape, with a backslash typed by the
// operator matching a backslash; "%" and "_" keep their pattern meaning.
QString SqlLikeText(const QString& value);
