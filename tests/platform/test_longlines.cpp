// Long lines broken into blocks for display: the text given back whole, through the operator's
// edits and their undoing, and rich text broken with its formats.
#include "platform/LongLines.h"
#include "platform/RichText.h"

#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

constexpr int Max = LongLines::MaxBlockChars;

int LongestBlock(const QTextDocument& doc)
{
    int longest = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        longest = std::max(longest, block.length() - 1);
    return longest;
}

// A document of text with its long lines broken, as the viewer gets it.
std::unique_ptr<QTextDocument> Broken(const QString& text)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->setPlainText(text);
    LongLines::Break(doc.get());
    doc->setUndoRedoEnabled(true);
    return doc;
}

} // namespace

// Lines longer than the bound are broken, never inside a surrogate pair; a line of exactly the
// bound is not. The text comes back as toPlainText() gives the unbroken one, also for a part
// that spans a break.
TEST(LongLinesTest, BrokenLinesComeBackWhole)
{
    const QString pair = QStringLiteral("\U0001F600");
    const QString longLine = QString(Max - 1, QLatin1Char('a')) + pair + QStringLiteral("中文").repeated(Max);
    const QString text = QStringLiteral("第一行\n") + longLine + '\n' + QString(Max, QLatin1Char('b')) +
                         QStringLiteral("\nx\u00A0y\u2028z");
    const auto doc = Broken(text);
    EXPECT_EQ(doc->blockCount(), 7) << "the long line in three blocks, the pair kept in the second";
    EXPECT_LE(LongestBlock(*doc), Max);
    EXPECT_EQ(doc->findBlockByNumber(2).text().left(2), pair);
    const QString whole = QTextDocument(text).toPlainText();
    EXPECT_EQ(LongLines::Text(doc.get()), whole);
    const int breakAt = doc->findBlockByNumber(2).position() - 1;
    EXPECT_EQ(LongLines::Text(doc.get(), breakAt - 10, breakAt + 11), whole.mid(breakAt - 10, 20));
}

// Line breaks that the operator types or pastes into a broken line stay his own; removing a
// break joins nothing else; undo brings back the line as it was.
TEST(LongLinesTest, TheOperatorsEditsKeepTheirBreaks)
{
    const QString a(Max, QLatin1Char('a'));
    const QString b(Max, QLatin1Char('b'));
    const QString c(10, QLatin1Char('c'));
    const auto doc = Broken(a + b + c);
    ASSERT_EQ(doc->blockCount(), 3);
    const auto edited = [&](int position, const std::function<void(QTextCursor&)>& edit) {
        QTextCursor cursor(doc.get());
        cursor.setPosition(position);
        edit(cursor);
        const QString text = LongLines::Text(doc.get());
        doc->undo();
        EXPECT_EQ(LongLines::Text(doc.get()), a + b + c) << "after undo";
        return text;
    };
    const int bStart = doc->findBlockByNumber(1).position();
    const int cStart = doc->findBlockByNumber(2).position();
    const auto enter = [](QTextCursor& cursor) { cursor.insertBlock(); };
    EXPECT_EQ(edited(bStart + 5, enter), a + b.left(5) + '\n' + b.mid(5) + c);
    EXPECT_EQ(edited(cStart, enter), a + b + '\n' + c);
    EXPECT_EQ(edited(bStart + 1, [](QTextCursor& cursor) { cursor.insertText(QStringLiteral("X\nY\nZ")); }),
              a + "bX\nY\nZ" + b.mid(1) + c);
    EXPECT_EQ(edited(bStart, [](QTextCursor& cursor) { cursor.deletePreviousChar(); }), a + b + c);
    EXPECT_EQ(edited(cStart - 1, [](QTextCursor& cursor) { cursor.deleteChar(); }), a + b + c);
}

// Rich text: a long paragraph is broken too and keeps its formats across the break; loading it is
// nothing the operator could undo.
TEST(LongLinesTest, RichTextIsBrokenWithItsFormats)
{
    const auto doc = RichText::Build("{\\rtf1\\ansi plain " + QByteArray(Max, 'p') + "\\b bold\\b0 \\par end}");
    EXPECT_LE(LongestBlock(*doc), Max);
    EXPECT_EQ(LongLines::Text(doc.get()), "plain " + QString(Max, QLatin1Char('p')) + "bold\nend");
    QTextCursor bold(doc->findBlockByNumber(1));
    bold.setPosition(bold.position() + 10);
    EXPECT_EQ(bold.charFormat().fontWeight(), QFont::Bold);
    EXPECT_FALSE(doc->isUndoAvailable());
}
