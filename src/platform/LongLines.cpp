// Long lines broken into blocks of bounded length, each continuation marked, and joined again.
#include "platform/LongLines.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// The number of the break that begins a block; blocks split off by the operator copy it.
constexpr int ContinuationProperty = QTextFormat::UserProperty + 1;

int MarkOf(const QTextBlock& block)
{
    return block.blockFormat().intProperty(ContinuationProperty);
}

// toPlainText()'s form of one character of the document's text.
QChar Plain(QChar c)
{
    switch (c.unicode()) {
    case QChar::ParagraphSeparator:
    case QChar::LineSeparator:
    case 0xfdd0: // the beginning and end of a frame
    case 0xfdd1:
        return QLatin1Char('\n');
    case QChar::Nbsp:
        return QLatin1Char(' ');
    default:
        return c;
    }
}

} // namespace

namespace LongLines {

void Break(QTextDocument* doc, int maxChars)
{
    if (maxChars < 2)
        return;
    int mark = 0;
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        while (block.length() - 1 > maxChars) { // length() counts the block's separator
            int at = block.position() + maxChars;
            if (doc->characterAt(at - 1).isHighSurrogate())
                --at;
            cursor.setPosition(at);
            QTextBlockFormat format = block.blockFormat();
            format.setProperty(ContinuationProperty, ++mark);
            cursor.insertBlock(format);
            block = cursor.block();
        }
    }
    cursor.endEditBlock();
}

bool Continues(const QTextBlock& block)
{
    const int mark = MarkOf(block);
    return mark > 0 && mark != MarkOf(block.previous());
}

QString Text(const QTextDocument* doc, int from, int to)
{
    const int end = doc->characterCount() - 1; // the document's own last separator is no text
    if (to < 0 || to > end)
        to = end;
    from = qBound(0, from, to);
    // Read block by block: a text cursor would have the whole document laid out first.
    QString text;
    text.reserve(to - from);
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        const int separator = block.position() + block.length() - 1;
        const int first = std::max(from, block.position());
        const qsizetype partStart = text.size();
        text += QStringView(block.text()).mid(first - block.position(), std::min(to, separator) - first);
        QChar* const data = text.data();
        std::transform(data + partStart, data + text.size(), data + partStart, Plain);
        const QTextBlock next = block.next();
        if (separator < to && next.isValid() && !Continues(next))
            text += QLatin1Char('\n');
    }
    return text;
}

} // namespace LongLines
