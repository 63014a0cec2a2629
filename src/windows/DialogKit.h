// Shared by the record dialogs: the console's font, named controls, and the remark memo with its
// grey placeholder.
#pragma once

class ElidedLabel;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPixmap;
class QPushButton;
class QString;
class QTextEdit;
class QWidget;
class RadioGroup;

namespace DialogKit {

// The title bar of a dialog that keeps its size: a caption and a close button, no other.
void SetFixedDialogFlags(QDialog* dialog);
// A fixed-size dialog with the main window's font, named name and captioned caption.
void SetUp(QDialog* dialog, const char* name, const char* caption);
// Moves dialog to the middle of the screen it shows on.
void CentreOnScreen(QDialog* dialog);
// An edit; with a column length it holds at most that many characters (LimitToColumn).
QLineEdit* NewEdit(QWidget* parent, const char* name, int columnLength = 0);
QLabel* NewLabel(QWidget* parent, const char* name, const char* text = "");
// A label for a text from data: cut with "…" to its room, whole in its tip (ElidedLabel).
ElidedLabel* NewDataLabel(QWidget* parent, const char* name);
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption);
QLabel* NewPicture(QWidget* parent, const QPixmap& picture);
// The row of buttons at the foot of a dialog, right-aligned: ok ("确定", the default button) and
// cancel ("取消").
QFrame* NewButtonPanel(QWidget* parent, QPushButton*& ok, const char* okName, QPushButton*& cancel,
                       const char* cancelName);
// A remark memo for a column of columnLength characters (ColumnMemo): shows the placeholder while
// empty, and the main window's enter and exit helpers run when it gains and loses the focus.
QTextEdit* NewMemo(QWidget* parent, const char* name, int columnLength);
// The operator dialogs' "用户类型": item 0 "管理员" (type 1), item 1 "普通用户" (type 2).
RadioGroup* NewUserTypeGroup(QWidget* parent);
// The operator dialogs' check: with a blank name, login name or password the box "您必须把信息填写完全！"
// and the focus on nameEdit, and false.
bool AccountComplete(const QString& name, const QString& landname, const QString& password, QLineEdit* nameEdit);

} // namespace DialogKit
