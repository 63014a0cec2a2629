// Quoting of text values placed into SQL statements (MySQL rules).
#pragma once

#include <QString>

// The value with backslash and single quote escaped, for use between single quotes in a
// statement: "'" + SqlEscape(name) + "'". Every text value of every statement goes through it.
QString SqlEscape(const QString& value);
// The value for a LIKE pattern between single quotes, matching itself literally: as SqlEscape,
// with "%", "_" and the backslash escaped by the pattern's escape character (the backslash), so
// the caller's own "%" before or after it is the only wildcard.
QString SqlLikeText(const QString& value);
