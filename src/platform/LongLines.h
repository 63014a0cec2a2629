// Long lines of a text document broken into blocks of bounded length for display, and joined again.
#pragma once

#include <QString>

class QTextBlock;
class QTextDocument;

// A text control lays out and draws a block as a whole: one block of a million characters
// (a log without line breaks) holds up the console on every repaint. Such lines are shown broken
// into blocks of at most MaxBlockChars; each block that goes on with the line before it carries
// a mark, and the text the operator takes away (saving, copying) has those breaks taken out.
namespace LongLines {

// Far longer than any ordinary log line, which is never broken; short enough that the control
// lays out a screenful of such blocks (and the next 2000 pixels, as it does) without a stall.
inline constexpr int MaxBlockChars = 2048;

// Breaks every block of doc longer than maxChars, never inside a surrogate pair. Not recorded
// for undo: call it while undo is off, before the operator has the document.
void Break(QTextDocument* doc, int maxChars = MaxBlockChars);

// block goes on with the line of the block before it: a break that Break made. A block that an
// edit split off a marked block shares its mark with the block before it, and so is a line break
// of the operator's own.
bool Continues(const QTextBlock& block);

// The document's text from position from to position to (-1: its end) as toPlainText() gives it
// (line ends as '\n'), without the breaks that Break made.
QString Text(const QTextDocument* doc, int from = 0, int to = -1);

} // namespace LongLines
