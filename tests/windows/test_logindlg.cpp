// The login dialog against a real operator table: right and wrong logins, the remaining-chances
// text, the end of the process at the third miss, trimming, quoting and the Enter key.
#include "windows/LoginDlg.h"

#include "foundation/DateFormat.h"
#include "foundation/DevBean.h"
#include "platform/ProcessExit.h"
#include "support/ConsoleDb.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

struct ProcessEnded { int code; };

class LoginDlgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        TestDb::Exec("insert into zol_user (name, landname, password, type) values ('管理员', 'admin', md5('secret'), 1), "
                     "('奥布莱恩', 'o''brien', md5('pw'), 2), ('无密码', 'nopass', md5(''), 2);");
    }
    void SetUp() override
    {
        LoginTries = 0;
        LoggedIn = false;
        SetProcessExitHandler([](int code) { throw ProcessEnded{code}; });
        dlg_.show();
    }
    void TearDown() override { SetProcessExitHandler({}); }
    // One attempt by a key press on a widget, or else by the button's handler (the end of the process
    // may throw through it, never through an event). Returns the remaining-chances text, empty when hidden.
    QString Try(const QString& name, const QString& password, QWidget* on = nullptr, Qt::Key key = Qt::Key_Return)
    {
        dlg_.Editlandname->setText(name);
        dlg_.Editpassword->setText(password);
        if (on) {
            on->setFocus();
            QTest::keyClick(on, key);
        } else {
            dlg_.OKBtnClick();
        }
        EXPECT_TRUE(dlg_.Editlandname->text().isEmpty() && dlg_.Editpassword->text().isEmpty());
        return dlg_.Label5->isHidden() ? QString() : dlg_.Label5->text();
    }

    ScriptedAnswerer answerer_;
    TLoginDlg dlg_;
};

// Blanks around both fields are trimmed; the empty password matches only the digest of the empty
// text. Enter on the button or in a field logs in as the button does.
TEST_F(LoginDlgTest, RightLoginsSetTheOperatorAndClose)
{
    SetShortDateFormat(QStringLiteral("dd/MM/yyyy"), QLatin1Char('/'));
    TLoginDlg(); // building the dialog sets the date format used everywhere
    EXPECT_EQ(DateToStr(QDate(2013, 5, 7)), QStringLiteral("2013-05-07"));
    EXPECT_EQ(StrToDate(QStringLiteral("2010-12-03")), QDate(2010, 12, 3));
    const std::vector<std::tuple<QString, QString, QString, QWidget*>> logins = {
        {"  admin \t", " secret ", "管理员", dlg_.OKBtn}, {"nopass", "   ", "无密码", dlg_.Editpassword},
        {"o'brien", "pw", "奥布莱恩", nullptr}};
    for (const auto& [name, password, user, on] : logins) {
        LoggedIn = false;
        dlg_.show();
        EXPECT_EQ(Try(name, password, on), QString());
        EXPECT_TRUE(LoggedIn);
        ASSERT_NE(CurrentUser, nullptr);
        EXPECT_EQ(CurrentUser->Name, user);
        EXPECT_EQ(dlg_.result(), QDialog::Accepted);
        EXPECT_FALSE(dlg_.isVisible());
    }
    EXPECT_EQ(LoginTries, 0);
    EXPECT_EQ(answerer_.Count(), 0);
}

TEST_F(LoginDlgTest, MissesCountDownAndTheThirdEndsTheProcess)
{
    // An injection attempt finds no row and counts as a miss, without a database error. One press
    // of Enter makes one attempt.
    EXPECT_EQ(Try("x' or '1'='1", "x' or '1'='1", dlg_.Editpassword), QStringLiteral("认证失败，您还有2次机会"));
    EXPECT_EQ(Try("admin", "", dlg_.Editlandname, Qt::Key_Enter), QStringLiteral("认证失败，您还有1次机会"));
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(LoginTries, 2);
    try {
        Try("nobody", "secret");
        ADD_FAILURE() << "the third miss must end the process";
    } catch (const ProcessEnded& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(answerer_.Count(), 0); // nothing more is shown
}

} // namespace
