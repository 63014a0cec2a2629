// The login dialog against a real operator table: right and wrong logins, the remaining-chances
// text, the end of the process at the third miss, trimming, quoting and the Enter key.
#include "windows/LoginDlg.h"

#include "foundation/Consts.h"
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
#include <QStyle>
#include <QTest>

namespace {

struct ProcessEnded {
    int code;
};

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
    // One attempt (by a real click when asked); returns the remaining-chances text (empty when hidden).
    QString Try(const QString& name, const QString& password, bool click = false)
    {
        dlg_.Editlandname->setText(name);
        dlg_.Editpassword->setText(password);
        click ? QTest::mouseClick(dlg_.OKBtn, Qt::LeftButton) : dlg_.OKBtnClick();
        EXPECT_TRUE(dlg_.Editlandname->text().isEmpty() && dlg_.Editpassword->text().isEmpty());
        return dlg_.Label5->isHidden() ? QString() : dlg_.Label5->text();
    }

    ScriptedAnswerer answerer_;
    TLoginDlg dlg_;
};

TEST_F(LoginDlgTest, BuildsTheFormAndSetsTheDateFormat)
{
    SetShortDateFormat(QStringLiteral("dd/MM/yyyy"), QLatin1Char('/'));
    TLoginDlg dlg;
    EXPECT_EQ(dlg.windowTitle() + "/" + dlg.OKBtn->text(), QStringLiteral("用户登录/登录"));
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.Editpassword->echoMode(), QLineEdit::Password);
    QLineEdit* password = dlg.Editpassword;
    EXPECT_EQ(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), '*');
    EXPECT_TRUE(dlg.Label5->isHidden());
    EXPECT_EQ(DateToStr(QDate(2013, 5, 7)), QStringLiteral("2013-05-07"));
    EXPECT_EQ(StrToDate(QStringLiteral("2010-12-03")), QDate(2010, 12, 3));
}

// Blanks around both fields are trimmed; the empty password matches only the digest of the empty text.
TEST_F(LoginDlgTest, RightLoginsSetTheOperatorAndClose)
{
    const std::vector<std::tuple<QString, QString, QString>> logins = {
        {"  admin \t", " secret ", "管理员"}, {"nopass", "   ", "无密码"}, {"o'brien", "pw", "奥布莱恩"}};
    for (const auto& [name, password, user] : logins) {
        LoggedIn = false;
        dlg_.show();
        EXPECT_EQ(Try(name, password, true), QString());
        EXPECT_TRUE(LoggedIn);
        ASSERT_NE(CurrentUser, nullptr);
        EXPECT_EQ(CurrentUser->Name, user);
        EXPECT_EQ(CurrentUser->Id, TestDb::Scalar("select id from zol_user where name='" + user + "'").toInt());
        EXPECT_EQ(dlg_.result(), QDialog::Accepted);
        EXPECT_FALSE(dlg_.isVisible());
    }
    EXPECT_EQ(LoginTries, 0);
    EXPECT_EQ(answerer_.Count(), 0);
}

TEST_F(LoginDlgTest, MissesCountDownAndTheThirdEndsTheProcess)
{
    EXPECT_EQ(TLoginDlg::LoginSql(QStringLiteral("admin"), QStringLiteral("d")),
              QStringLiteral("select * from zol_user where 1=1  and landname='admin' and password='d'"));
    // An injection attempt finds no row and counts as a miss, without a database error.
    EXPECT_EQ(Try("x' or '1'='1", "x' or '1'='1"), QStringLiteral("认证失败，您还有2次机会"));
    EXPECT_EQ(Try("admin", ""), QStringLiteral("认证失败，您还有1次机会")); // the empty text's digest
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

// Enter in either field and on the button makes one attempt; two misses then a hit logs in.
TEST_F(LoginDlgTest, OnePressOfEnterMakesOneAttempt)
{
    const std::vector<std::tuple<QWidget*, Qt::Key, QString>> presses = {
        {dlg_.Editpassword, Qt::Key_Return, "bad"}, {dlg_.Editlandname, Qt::Key_Enter, "bad"},
        {dlg_.OKBtn, Qt::Key_Return, "secret"}};
    for (const auto& [widget, key, password] : presses) {
        dlg_.Editlandname->setText(QStringLiteral("admin"));
        dlg_.Editpassword->setText(password);
        widget->setFocus();
        QTest::keyClick(widget, key);
    }
    EXPECT_EQ(dlg_.Label5->text(), QStringLiteral("认证失败，您还有1次机会"));
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(LoginTries, 2);
}

TEST_F(LoginDlgTest, OnlyClosingTheWindowLeavesIt)
{
    dlg_.Editlandname->setText(QStringLiteral("admin"));
    dlg_.Editpassword->setText(QStringLiteral("secret"));
    QTest::keyClick(&dlg_, Qt::Key_Escape);
    EXPECT_TRUE(dlg_.isVisible());
    dlg_.close();
    EXPECT_EQ(dlg_.result(), QDialog::Rejected);
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(LoginTries, 0);
}

} // namespace
