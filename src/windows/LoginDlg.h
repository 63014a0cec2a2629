// The login dialog: an operator's login name and password checked against the operator table.
#pragma once

#include "platform/DataSet.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class TLoginDlg : public QDialog {
    Q_OBJECT
public:
    // Also sets the program-wide short date format "yyyy-MM-dd".
    explicit TLoginDlg(QWidget* owner = nullptr);

    static constexpr int MaxTries = 3;

    // Runs sql on ADOQueryLogin; true when it holds at least one row.
    bool boolsqlQuery(const QString& sql);
    // One login attempt with the fields as they stand; both fields are empty afterwards.
    void OKBtnClick();
    // The statement of one attempt.
    static QString LoginSql(const QString& landname, const QString& digest);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Editlandname = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Editpassword = nullptr;
    QLabel* Label5 = nullptr; // failure text
    QPushButton* OKBtn = nullptr;
    DataSet ADOQueryLogin;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Failed attempts in this process; the third ends the process. Never reset.
extern int LoginTries;
extern TLoginDlg* LoginDlg;
