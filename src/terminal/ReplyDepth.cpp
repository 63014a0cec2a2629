// The byte scan that tells a reply nested deeper than any real one.
#include "terminal/ReplyDepth.h"

#include "platform/Exception.h"
#include "terminal/AgentProtocol.h"

namespace {

// The index just after the first occurrence of end at or after from; size when there is none.
qsizetype After(const QByteArray& bytes, qsizetype from, const char* end, qsizetype endLength)
{
    const qsizetype at = bytes.indexOf(QByteArray::fromRawData(end, endLength), from);
    return at < 0 ? bytes.size() : at + endLength;
}

} // namespace

bool ReplyTooDeep(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    int depth = 0;
    qsizetype i = bytes.indexOf('<');
    while (i >= 0 && i < size) {
        const char next = i + 1 < size ? bytes[i + 1] : '\0';
        if (next == '!') {
            if (bytes.mid(i, 4) == "<!--")
                i = After(bytes, i + 4, "-->", 3);
            else if (bytes.mid(i, 9) == "<![CDATA[")
                i = After(bytes, i + 9, "]]>", 3);
            else
                i = After(bytes, i + 2, ">", 1);
        } else if (next == '?') {
            i = After(bytes, i + 2, "?>", 2);
        } else {
            // A start or end tag: up to its '>', quoted attribute values skipped.
            const bool end = next == '/';
            qsizetype j = i + 1;
            char quote = '\0';
            for (; j < size; ++j) {
                const char c = bytes[j];
                if (quote) {
                    if (c == quote)
                        quote = '\0';
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            const bool empty = !end && j < size && bytes[j - 1] == '/';
            if (end)
                --depth;
            else if (!empty && ++depth > MaxReplyDepth)
                return true;
            i = j + 1;
        }
        if (i < size)
            i = bytes.indexOf('<', i);
    }
    return false;
}

QDomDocument ParseShallowReply(const QString& text)
{
    if (ReplyTooDeep(text.toUtf8()))
        throw Exception(QStringLiteral("elements nested deeper than %1 levels").arg(MaxReplyDepth));
    return AgentProtocol::ParseReply(text);
}
