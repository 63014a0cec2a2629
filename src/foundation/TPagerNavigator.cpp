// The pager of a query-backed grid: page size, current page and total rows, with its navigator,
// page-size box, page box and totals label.
#include "foundation/TPagerNavigator.h"

#include "foundation/DbMod.h"
#include "platform/DataSet.h"
#include "platform/DbNavigator.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {
const QString CountPrefix = QStringLiteral("select count(*) as RecCount ");

// s with every from replaced by to, searching again from the start after each replacement; s
// unchanged when from is empty or longer than s.
QString StringReplaceAll(const QString& s, const QString& from, const QString& to)
{
    if (from.isEmpty() || from.size() > s.size())
        return s;
    QString out = s;
    // Searching again from the start after each replacement; a replacement that holds the text it
    // replaces would never end that way, so the search then goes on behind it.
    const bool endless = to.contains(from);
    qsizetype start = 0;
    qsizetype at = out.indexOf(from, start);
    while (at >= 0) {
        out.replace(at, from.size(), to);
        start = endless ? at + to.size() : 0;
        at = out.indexOf(from, start);
    }
    return out;
}
} // namespace

TPagerNavigator::TPagerNavigator(QComboBox* pageSizeBox, QLineEdit* pageEdit, DataSet* dataSet,
                                 DbNavigator* navigator, QLabel* totalLabel)
    : Navigator(navigator), DataSet_(dataSet), TotalLabel(totalLabel),
      PageEdit(pageEdit), PageSizeBox(pageSizeBox)
{
    connect(Navigator, &DbNavigator::BtnClick, this, [this](int button) { NavigatorClick(button); });
    connect(PageSizeBox, &QComboBox::currentTextChanged, this, [this] { PageSizeChange(); });
}

QString TPagerNavigator::LowerAscii(const QString& sql)
{
    QString out = sql;
    for (QChar& c : out)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return out;
}

int TPagerNavigator::FindOutsideQuotes(const QString& sql, const QString& word)
{
    // Text values stand between single quotes, with a quote or backslash inside them escaped by
    // a backslash; what the operator typed there must not count as part of the statement.
    bool quoted = false;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('\''))
                quoted = false;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            quoted = true;
            continue;
        }
        if (QStringView(sql).mid(i).startsWith(word))
            return i;
    }
    return -1;
}

void TPagerNavigator::SetSql(const QString& sql)
{
    if (sql.isEmpty())
        return;
    Sql = LowerAscii(sql);
    Keyed = KeyedPage::Parse(Sql, RowKey);
    PageNo = 1;
    // A line break becomes a blank: dropped outright it would join the last word of one line to
    // the first of the next ("zol_op_log\nwhere").
    const QString blank = QStringLiteral(" ");
    QString flat = StringReplaceAll(Sql, QStringLiteral("\r\n"), blank);
    flat = StringReplaceAll(flat, QStringLiteral("\r"), blank);
    flat = StringReplaceAll(flat, QStringLiteral("\n"), blank);
    const int from = FindOutsideQuotes(flat, QStringLiteral("from"));
    if (from < 0)
        return;
    QString tail = flat.mid(from);
    const int order = FindOutsideQuotes(tail, QStringLiteral("order"));
    if (order >= 0)
        tail = tail.left(order);
    CountSql = CountPrefix + tail;
    Refresh();
}

void TPagerNavigator::Reload()
{
    Refresh();
}

int TPagerNavigator::GetPageCount()
{
    if (RecordCount < 0)
        RecordCount = 0;
    if (RecordCount == 0)
        return 1;
    return (RecordCount + PageSize - 1) / PageSize;
}

int TPagerNavigator::GetOffset() const
{
    return (PageNo - 1) * PageSize;
}

void TPagerNavigator::GoToPage(int n)
{
    const int pageCount = GetPageCount();
    if (n > pageCount)
        PageNo = pageCount;
    else if (n < 1)
        PageNo = 1;
    else
        PageNo = n;
    Refresh();
}

void TPagerNavigator::SetPageSize(int n)
{
    if (n == PageSize)
        return;
    PageSize = n < MinPageSize ? DefaultPageSize : n;
    PageNo = 1;
    Refresh();
}

void TPagerNavigator::PageSizeChange()
{
    bool ok = false;
    int n = PageSizeBox->currentText().toInt(&ok, 10);
    if (!ok)
        n = DefaultPageSize;
    SetPageSize(n);
}

void TPagerNavigator::NavigatorClick(int button)
{
    switch (button) {
    case DbNavigator::First: GoToPage(1); break;
    case DbNavigator::Prior: GoToPage(PageNo - 1); break;
    case DbNavigator::Next: GoToPage(PageNo + 1); break;
    case DbNavigator::Last: GoToPage(GetPageCount()); break;
    default: break;
    }
}

void TPagerNavigator::SetButtons(int pageCount)
{
    bool first = true;
    bool next = true;
    if (pageCount == 1 && PageNo > 1) {
        // A delete left the page behind the only one there is: the way back stays open.
        next = false;
    } else if (pageCount == 1) {
        first = false;
        next = false;
    } else if (PageNo == pageCount) {
        next = false;
    } else if (PageNo == 1) {
        first = false;
    }
    Navigator->SetButtonEnabled(DbNavigator::First, first);
    Navigator->SetButtonEnabled(DbNavigator::Prior, first);
    Navigator->SetButtonEnabled(DbNavigator::Next, next);
    Navigator->SetButtonEnabled(DbNavigator::Last, next);
}

void TPagerNavigator::Refresh()
{
    DataSet count = FormDbMod->QuerySql(CountSql);
    RecordCount = count.IsEmpty() ? 0 : count.AsInteger(QStringLiteral("RecCount"));
    FormDbMod->CloseQuery(count);

    const int pageCount = GetPageCount();
    SetButtons(pageCount);
    TotalLabel->setText(QStringLiteral("共") + QString::number(RecordCount) + QStringLiteral("条  共 ") +
                        QString::number(pageCount) + QStringLiteral(" 页"));
    PageEdit->setText(QString::number(PageNo));

    QString page = Sql;
    if (Keyed)
        page = Keyed->Page(GetOffset(), PageSize, RecordCount);
    else if (FindOutsideQuotes(Sql, QStringLiteral("limit")) < 0)
        page = Sql + QStringLiteral(" limit ") + QString::number(GetOffset()) + QLatin1Char(',') +
               QString::number(PageSize);
    FormDbMod->QuerySqlOn(page, *DataSet_);
}
