// How deep a reply document nests its elements, judged from its bytes before any parser sees it.
#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QString>

// The deepest nesting of elements that any reply of an agent may have; real ones have three.
inline constexpr int MaxReplyDepth = 32;

// True when the elements of bytes nest deeper than MaxReplyDepth. One pass over the bytes that
// counts start and end tags (comments, processing instructions, declarations and quoted attribute
// values are skipped), so a hostile reply costs no more than its length.
bool ReplyTooDeep(const QByteArray& bytes);

// A reply document as the windows read it: a reply too deep is refused before it is parsed, with
// the same kind of error as text that is not XML (Exception).
QDomDocument ParseShallowReply(const QString& text);
