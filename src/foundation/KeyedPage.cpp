// The statements that read one page of a long keyed list without the server reading every row
// before it: the page's keys from the order index, counted from the nearer end, then their rows.
#include "foundation/KeyedPage.h"

#include <QRegularExpression>

namespace {

// sql with the text inside single quotes blanked out (the quotes kept), so that what an operator
// typed into a search box is never taken for part of the statement; positions stay the same.
QString Masked(const QString& sql)
{
    QString out = sql;
    bool quoted = false;
    for (int i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (!quoted) {
            quoted = c == QLatin1Char('\'');
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < out.size()) {
            out[i] = QLatin1Char('_');
            out[++i] = QLatin1Char('_');
        } else if (c == QLatin1Char('\'')) {
            quoted = false;
        } else {
            out[i] = QLatin1Char('_');
        }
    }
    return out;
}

const QRegularExpression& Shape()
{
    static const QRegularExpression shape(
        QStringLiteral(R"(^\s*select\s+(.+?)\s+from\s+(\w+)\s+(\w+)\s*,\s*(\w+)\s+(\w+)\s+where\s+(\w+)\.(\w+)\s*=\s*)"
                       R"((\w+)\.(\w+)(.*?)\s+order\s+by\s+(\w+(?:\.\w+)?)(?:\s+(asc|desc))?\s*$)"),
        QRegularExpression::DotMatchesEverythingOption);
    return shape;
}

// Words that would let rows qualify apart from the join, or make the list something other than
// rows of the two tables.
const QRegularExpression& Unsupported()
{
    static const QRegularExpression words(
        QStringLiteral(R"(\b(or|xor|select|distinct|group|having|limit|union|join|procedure|into)\b|\|\||;)"));
    return words;
}

} // namespace

std::optional<KeyedPage> KeyedPage::Parse(const QString& sql, const QString& key)
{
    const QString masked = Masked(sql);
    const QRegularExpressionMatch m = Shape().match(masked);
    if (key.isEmpty() || !m.hasMatch() || masked.mid(m.capturedStart(1)).contains(Unsupported()))
        return std::nullopt;
    KeyedPage p;
    p.table_ = m.captured(2);
    p.x_ = m.captured(3);
    p.other_ = m.captured(4);
    p.y_ = m.captured(5);
    p.c_ = m.captured(7);
    p.d_ = m.captured(9);
    p.key_ = key;
    p.column_ = m.captured(11);
    p.descending_ = m.captured(12) == QLatin1String("desc");
    const QString rest = m.captured(10);
    const bool joinsTheTwo = m.captured(6) == p.x_ && m.captured(8) == p.y_ && p.x_ != p.y_;
    const bool restOnFirst = rest.trimmed().isEmpty() ||
                             (rest.trimmed().startsWith(QLatin1String("and ")) &&
                              !rest.contains(QRegularExpression(QStringLiteral("\\b") + p.y_ + QStringLiteral("\\s*\\."))));
    const bool orderOnFirst = !p.column_.contains(QLatin1Char('.')) || p.column_.startsWith(p.x_ + QLatin1Char('.'));
    if (!joinsTheTwo || !restOnFirst || !orderOnFirst)
        return std::nullopt;
    // The texts themselves come from the statement, not from the masked copy.
    p.columns_ = sql.mid(m.capturedStart(1), m.capturedLength(1));
    p.rest_ = sql.mid(m.capturedStart(10), m.capturedLength(10));
    p.head_ = sql.left(m.capturedEnd(10));
    return p;
}

QString KeyedPage::Order(bool reversed) const
{
    const QString dir = descending_ != reversed ? QStringLiteral(" desc") : QStringLiteral(" asc");
    return QStringLiteral(" order by ") + column_ + dir + QStringLiteral(", ") + x_ + QLatin1Char('.') + key_ + dir;
}

// The keys of the page from the order index alone. A row qualifies when its own conditions hold
// and the other table has its row. The few rows without one (their terminal deleted) are found
// through the join column's index from the distinct values it holds, so the scan never fetches a
// row to check the join.
QString KeyedPage::Keys(bool reversed, int offset, int size) const
{
    const QString k = x_ + QLatin1Char('.') + key_;
    const QString missing = QStringLiteral("select pager_d.") + c_ + QStringLiteral(" from (select distinct ") + c_ +
                            QStringLiteral(" from ") + table_ + QStringLiteral(") pager_d left join ") + other_ +
                            QStringLiteral(" pager_j on pager_j.") + d_ + QStringLiteral(" = pager_d.") + c_ +
                            QStringLiteral(" where pager_j.") + d_ + QStringLiteral(" is null");
    const QString unjoined = QStringLiteral("select pager_o.") + key_ + QStringLiteral(" from ") + table_ +
                             QStringLiteral(" pager_o where pager_o.") + c_ + QStringLiteral(" in (") + missing + QLatin1Char(')');
    return QStringLiteral("select ") + k + QStringLiteral(" as pager_key from ") + table_ + QLatin1Char(' ') + x_ +
           QStringLiteral(" where ") + k + QStringLiteral(" not in (") + unjoined + QLatin1Char(')') + rest_ +
           Order(reversed) + QStringLiteral(" limit ") + QString::number(offset) + QLatin1Char(',') +
           QString::number(size);
}

QString KeyedPage::Page(int offset, int size, int count) const
{
    const QString forward = Order(false);
    if (offset <= 0)
        return head_ + forward + QStringLiteral(" limit 0,") + QString::number(size);
    // The rows before the page, or after it when fewer: the page's rows counted from that end.
    const int end = std::min(offset + size, count);
    const int after = count - end;
    const bool reversed = offset < count && after < offset;
    const QString keys = reversed ? Keys(true, after, end - offset) : Keys(false, offset, size);
    // The primary key reaches the page's few rows; left to itself the server may sort the whole
    // join first.
    return QStringLiteral("select ") + columns_ + QStringLiteral(" from ") + table_ + QLatin1Char(' ') + x_ +
           QStringLiteral(" force index (primary), ") + other_ + QLatin1Char(' ') + y_ + QStringLiteral(" where ") + x_ +
           QLatin1Char('.') + c_ + QStringLiteral(" = ") + y_ + QLatin1Char('.') + d_ + rest_ + QStringLiteral(" and ") +
           x_ + QLatin1Char('.') + key_ + QStringLiteral(" in (select pager_key from (") + keys +
           QStringLiteral(") pager_keys)") + forward;
}
