// The dialog that edits an operator account; a new password replaces the stored digest.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class RadioGroup;

class TFormUserUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TFormUserUpdate(QWidget* owner = nullptr);

    // Fills the dialog from account userId (nothing for an id below 1 or without a row).
    void LoadUser(int userId);
    // Saves and closes. A statement the database refuses keeps the dialog open with what was typed.
    void BitBtn1Click();
    void BitBtn2Click();
    static bool isEmpt(const QString& s) { return s.isEmpty(); }

    QGroupBox* GroupBox1 = nullptr; // "基本信息"
    QLabel* Label1 = nullptr;
    QLabel* Labelid = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Editname = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Editlandname = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Editpassword = nullptr; // the stored digest, read-only
    QLabel* Label2 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Editnewpassword = nullptr;
    RadioGroup* RGUserType = nullptr;
    QLabel* Label6 = nullptr;
    QTextEdit* Memoremark = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
};

// The dialog while a record command runs it.
extern TFormUserUpdate* FormUserUpdate;
