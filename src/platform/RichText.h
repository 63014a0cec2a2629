// Loading a file's bytes into a text control: rich text (RTF) formatted, anything else as GBK plain text.
#pragma once

#include <QByteArray>

#include <memory>

class QTextDocument;
class QTextEdit;

namespace RichText {

// True when the bytes are a rich-text document ("{\rtf" at the start).
bool IsRtf(const QByteArray& bytes);

// The document that shows the bytes. A rich-text document shows its text with bold, italic,
// underline, type size and colour; its tables of fonts and styles, pictures and objects are left
// out. Long lines are broken for display (LongLines). It needs no control, so a big text can be
// made on a worker thread (the document then belongs to that thread until moved to another).
std::unique_ptr<QTextDocument> Build(const QByteArray& bytes);

// Puts doc, which belongs to the control's thread, into edit in place of its text, in the
// control's type face, with the caret at the start; the control owns it from here on.
void Show(QTextEdit* edit, std::unique_ptr<QTextDocument> doc);

// Build and Show at once.
void Load(QTextEdit* edit, const QByteArray& bytes);

} // namespace RichText
