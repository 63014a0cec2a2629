// Loading a file's bytes into a text control: rich text (RTF) formatted, anything else as GBK plain text.
#pragma once

#include <QByteArray>

class QTextEdit;

namespace RichText {

// True when the bytes are a rich-text document ("{\rtf" at the start).
bool IsRtf(const QByteArray& bytes);

// Replaces the control's text. A rich-text document shows its text with bold, italic, underline,
// type size and colour; its tables of fonts and styles, pictures and objects are left out.
void Load(QTextEdit* edit, const QByteArray& bytes);

} // namespace RichText
