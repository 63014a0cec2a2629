// Quoting of text values placed into SQL statements (MySQL rules).
#include "foundation/SqlText.h"

// The same characters as the client library's escape function: a value can then neither end
// its quotes early nor carry a control character that the server would read differently.
QString SqlEscape(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (const QChar c : value) {
        switch (c.unicode()) {
        case 0x00: out += QLatin1String("\\0"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\'': out += QLatin1String("\\'"); break;
        case '"': out += QLatin1String("\\\""); break;
        case 0x1a: out += QLatin1String("\\Z"); break;
        default: out += c;
        }
    }
    return out;
}

QString SqlLikeText(const QString& value)
{
    // In a pattern the backslash escapes the next character, so it is doubled before quoting.
    QString pattern = value;
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return SqlEscape(pattern);
}
