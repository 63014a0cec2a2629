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
    // The pattern escapes first; quoting then doubles every backslash once more for the literal.
    QString pattern;
    pattern.reserve(value.size() + 4);
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return SqlEscape(pattern);
}
