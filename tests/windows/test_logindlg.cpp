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
        TestDb::Exec(
            "insert into zol_user (name, landname, password, type) values "
            "('管理员', 'admin', md5('secret'), 1), "
            "('奥布莱恩', 'o''brien', md5('pw'), 2), "
            "('无密码', 'nopass', md5(''), 2);");
        adminId_ = TestDb::Scalar("select id from zol_user where landname='admin'").toInt();
        obrienId_ = TestDb::Scalar("select id from zol_user where landname='o''brien'").toInt();
    }
    void SetUp() override
    {
        LoginTries = 0;
        LoggedIn = false;
        SetProcessExitHandler([](int code) { throw ProcessEnded{code}; });
    }
    void TearDown() override { SetProcessExitHandler({}); }

    static void Type(TLoginDlg& dlg, const QString& name, const QString& password)
    {
        dlg.Editlandname->setText(name);
        dlg.Editpassword->setText(password);
    }

    static int adminId_;
    static int obrienId_;
    ScriptedAnswerer answerer_;
};
int LoginDlgTest::adminId_ = 0;
int LoginDlgTest::obrienId_ = 0;

TEST_F(LoginDlgTest, BuildsTheFormAndSetsTheDateFormat)
{
    SetShortDateFormat(QStringLiteral("dd/MM/yyyy"), QLatin1Char('/'));
    TLoginDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("用户登录"));
    EXPECT_EQ(dlg.OKBtn->text(), QStringLiteral("登录"));
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.Editpassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.Editpassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                   dlg.Editpassword),
              '*');
    EXPECT_TRUE(dlg.Label5->isHidden());
    EXPECT_EQ(ShortDateFormat(), QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(DateSeparator(), QLatin1Char('-'));
    EXPECT_EQ(DateToStr(QDate(2013, 5, 7)), QStringLiteral("2013-05-07"));
    EXPECT_EQ(StrToDate(QStringLiteral("2010-12-03")), QDate(2010, 12, 3));
}

TEST_F(LoginDlgTest, RightLoginSetsTheOperatorAndCloses)
{
    TLoginDlg dlg;
    dlg.show();
    Type(dlg, QStringLiteral("  admin \t"), QStringLiteral(" secret "));
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    EXPECT_TRUE(LoggedIn);
    ASSERT_NE(CurrentUser, nullptr);
    EXPECT_EQ(CurrentUser->Id, adminId_);
    EXPECT_EQ(CurrentUser->Name, QStringLiteral("管理员"));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.Editlandname->text().isEmpty());
    EXPECT_TRUE(dlg.Editpassword->text().isEmpty());
    EXPECT_EQ(LoginTries, 0);
    EXPECT_EQ(answerer_.Count(), 0);
}

TEST_F(LoginDlgTest, MissesCountDownAndTheThirdEndsTheProcess)
{
    TLoginDlg dlg;
    Type(dlg, QStringLiteral("admin"), QStringLiteral("wrong"));
    dlg.OKBtnClick();
    EXPECT_FALSE(LoggedIn);
    EXPECT_FALSE(dlg.Label5->isHidden());
    EXPECT_EQ(dlg.Label5->text(), QStringLiteral("认证失败，您还有2次机会"));
    EXPECT_TRUE(dlg.Editlandname->text().isEmpty());
    EXPECT_TRUE(dlg.Editpassword->text().isEmpty());

    // Right name, empty password: the digest of the empty text is compared, and it is wrong.
    Type(dlg, QStringLiteral("admin"), QString());
    dlg.OKBtnClick();
    EXPECT_EQ(dlg.Label5->text(), QStringLiteral("认证失败，您还有1次机会"));
    EXPECT_EQ(LoginTries, 2);

    Type(dlg, QStringLiteral("nobody"), QStringLiteral("secret"));
    try {
        dlg.OKBtnClick();
        FAIL() << "the third miss must end the process";
    } catch (const ProcessEnded& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(answerer_.Count(), 0); // nothing more is shown
}

TEST_F(LoginDlgTest, TwoMissesThenAHitLogsIn)
{
    TLoginDlg dlg;
    for (int i = 0; i < 2; ++i) {
        Type(dlg, QStringLiteral("admin"), QStringLiteral("nope"));
        dlg.OKBtnClick();
    }
    EXPECT_EQ(dlg.Label5->text(), QStringLiteral("认证失败，您还有1次机会"));
    Type(dlg, QStringLiteral("admin"), QStringLiteral("secret"));
    dlg.OKBtnClick();
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(CurrentUser->Id, adminId_);
}

TEST_F(LoginDlgTest, EmptyPasswordMatchesOnlyTheDigestOfTheEmptyText)
{
    TLoginDlg dlg;
    Type(dlg, QStringLiteral("nopass"), QStringLiteral("   "));
    dlg.OKBtnClick();
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(CurrentUser->Name, QStringLiteral("无密码"));
}

TEST_F(LoginDlgTest, QuotesInTheNameAreData)
{
    EXPECT_EQ(TLoginDlg::LoginSql(QStringLiteral("admin"), QStringLiteral("d")),
              QStringLiteral("select * from zol_user where 1=1  and landname='admin' and password='d'"));

    TLoginDlg dlg;
    // An injection attempt finds no row and is counted as a miss, without a database error.
    Type(dlg, QStringLiteral("x' or '1'='1"), QStringLiteral("x' or '1'='1"));
    dlg.OKBtnClick();
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(LoginTries, 1);
    EXPECT_EQ(answerer_.Count(), 0);

    // A name that really holds a quote logs in.
    Type(dlg, QStringLiteral("o'brien"), QStringLiteral("pw"));
    dlg.OKBtnClick();
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(CurrentUser->Id, obrienId_);
}

TEST_F(LoginDlgTest, OnePressOfEnterMakesOneAttempt)
{
    TLoginDlg dlg;
    dlg.show();
    Type(dlg, QStringLiteral("admin"), QStringLiteral("bad"));
    QTest::keyClick(dlg.Editpassword, Qt::Key_Return);
    EXPECT_EQ(LoginTries, 1);

    Type(dlg, QStringLiteral("admin"), QStringLiteral("bad"));
    QTest::keyClick(dlg.Editlandname, Qt::Key_Enter);
    EXPECT_EQ(LoginTries, 2);
    EXPECT_TRUE(dlg.isVisible());

    Type(dlg, QStringLiteral("admin"), QStringLiteral("secret"));
    dlg.OKBtn->setFocus();
    QTest::keyClick(dlg.OKBtn, Qt::Key_Return);
    EXPECT_TRUE(LoggedIn);
    EXPECT_EQ(LoginTries, 2);
}

TEST_F(LoginDlgTest, ClosingTheWindowLeavesTheOperatorLoggedOut)
{
    TLoginDlg dlg;
    dlg.show();
    Type(dlg, QStringLiteral("admin"), QStringLiteral("secret"));
    QTest::keyClick(&dlg, Qt::Key_Escape); // only the close button leaves the dialog
    EXPECT_TRUE(dlg.isVisible());
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(LoggedIn);
    EXPECT_EQ(LoginTries, 0);
}

} // namespace
