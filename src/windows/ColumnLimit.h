// The length limit of the edits whose text goes to a column: it cuts what the operator types or
// pastes, never a text the program puts in.
#pragma once

#include <QTextEdit>

class QLineEdit;

// The edit holds at most length characters of the operator's input: typing stops at the length,
// and of a longer paste only the part that fits is kept. A text the program sets (a stored value,
// perhaps from a server whose column is wider) is kept whole, and an edit of such a text may
// shorten it but not lengthen it. The length is counted in UTF-16 units, which the server's
// character count never exceeds; a character outside the Basic Multilingual Plane is kept or
// dropped whole.
void LimitToColumn(QLineEdit* edit, int length);

// A plain-text memo with the same limit.
class ColumnMemo : public QTextEdit {
public:
    ColumnMemo(int length, QWidget* parent);

protected:
    // The operator's ways of putting text in: typing, an input method, pasting and dropping.
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // After an input: what it added past the room (the length, or the longer text held before).
    void CutAddedPast(qsizetype heldBefore);

    int length_;
};
