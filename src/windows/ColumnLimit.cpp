// The length limit of the edits whose text goes to a column, applied to the operator's input only.
#include "windows/ColumnLimit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTextCursor>
#include <algorithm>
#include <memory>

namespace {

// The part of a text to drop so that no more than room units remain.
struct Stretch {
    qsizetype from = 0;
    qsizetype count = 0;
};

// What went in last is what goes: the excess just before end, where the typing or the paste ended
// (the tail when less than that stands before end). A surrogate pair on either edge goes whole.
Stretch Excess(const QString& text, qsizetype end, qsizetype room)
{
    const qsizetype excess = text.size() - room;
    if (excess <= 0)
        return {};
    qsizetype from = end >= excess && end <= text.size() ? end - excess : text.size() - excess;
    qsizetype to = from + excess;
    if (from > 0 && text[from].isLowSurrogate() && text[from - 1].isHighSurrogate())
        --from;
    if (to < text.size() && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate())
        ++to;
    return {from, to - from};
}

// A loaded text longer than the length stays as long as it is; the operator's input adds nothing
// past it.
qsizetype Room(int length, qsizetype heldBefore)
{
    return std::max<qsizetype>(length, heldBefore);
}

} // namespace

void LimitToColumn(QLineEdit* edit, int length)
{
    // textEdited comes for the operator's edits only, before textChanged: while it is handled, held
    // is still the length of the text before the edit.
    auto held = std::make_shared<qsizetype>(edit->text().size());
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, length, held](const QString& text) {
        const Stretch cut = Excess(text, edit->cursorPosition(), Room(length, *held));
        if (cut.count == 0)
            return;
        // Deleting a selection is an edit of its own: the undo history and the modified state stay.
        edit->setSelection(static_cast<int>(cut.from), static_cast<int>(cut.count));
        edit->del();
    });
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, held] { *held = edit->text().size(); });
}

ColumnMemo::ColumnMemo(int length, QWidget* parent) : QTextEdit(parent), length_(length) {}

void ColumnMemo::keyPressEvent(QKeyEvent* event)
{
    // Undo and redo bring back a text the memo held before, the operator's or a loaded one.
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    const qsizetype before = toPlainText().size();
    QTextEdit::keyPressEvent(event);
    CutAddedPast(before);
}

void ColumnMemo::inputMethodEvent(QInputMethodEvent* event)
{
    const qsizetype before = toPlainText().size();
    QTextEdit::inputMethodEvent(event);
    CutAddedPast(before);
}

void ColumnMemo::insertFromMimeData(const QMimeData* source)
{
    const qsizetype before = toPlainText().size();
    QTextEdit::insertFromMimeData(source);
    CutAddedPast(before);
}

void ColumnMemo::CutAddedPast(qsizetype heldBefore)
{
    const Stretch cut = Excess(toPlainText(), textCursor().position(), Room(length_, heldBefore));
    if (cut.count == 0)
        return;
    // One undo step with the input that brought the excess.
    QTextCursor cursor = textCursor();
    cursor.joinPreviousEditBlock();
    cursor.setPosition(static_cast<int>(cut.from));
    cursor.setPosition(static_cast<int>(cut.from + cut.count), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
}
