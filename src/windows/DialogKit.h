// Shared by the record dialogs: the console's font, named controls, and the remark memo with its
// grey placeholder.
#pragma once

class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPixmap;
class QPushButton;
class QTextEdit;
class QWidget;

namespace DialogKit {

// A fixed-size dialog with the main window's font, named name and captioned caption.
void SetUp(QDialog* dialog, const char* name, const char* caption);
QLineEdit* NewEdit(QWidget* parent, const char* name);
QLabel* NewLabel(QWidget* parent, const char* name, const char* text = "");
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption);
QLabel* NewPicture(QWidget* parent, const QPixmap& picture);
// The row of buttons at the foot of a dialog, right-aligned: ok ("确定", the default button) and
// cancel ("取消").
QFrame* NewButtonPanel(QWidget* parent, QPushButton*& ok, const char* okName, QPushButton*& cancel,
                       const char* cancelName);
// A remark memo: shows the placeholder while empty, and the main window's enter and exit helpers
// run when it gains and loses the focus.
QTextEdit* NewMemo(QWidget* parent, const char* name);

} // namespace DialogKit
