// The dialog that adds an operator account; the password is stored as its MD5 digest.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class RadioGroup;

class TFormUserInsert : public QDialog {
    Q_OBJECT
public:
    explicit TFormUserInsert(QWidget* owner = nullptr);

    // Saves and closes; the fields are emptied first, so a refused form is typed again. A statement
    // the database refuses puts back what was typed and keeps the dialog open.
    void BitBtn1Click();
    void BitBtn2Click();

    QGroupBox* GroupBox1 = nullptr; // "用户信息"
    QLabel* Label1 = nullptr;
    QLineEdit* Editname = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Editlandname = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Editpassword = nullptr;
    RadioGroup* RGUserType = nullptr; // "管理员" (type 1), "普通用户" (type 2)
    QTextEdit* Memoremark = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
};

// The dialog while a record command runs it.
extern TFormUserInsert* FormUserInsert;
