// The operator dialogs against the real server: the missing-field box and its emptied form, the
// stored digest (of the trimmed password, as the login compares it), the type, quoting, and saves
// the database refuses.
#include "console/RecordTestSupport.h"
#include "foundation/Md5String.h"
#include "platform/RadioGroup.h"
#include "windows/UserInsert.h"
#include "windows/UserUpdate.h"

#include <QTextEdit>

using namespace RecordTestSupport;

namespace {

const QString Incomplete = "错误提示|您必须把信息填写完全！|0|0";

class UserDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ShowConsole(); }
    void SetUp() override { Reset(); }
    // Through the console's own layer: the client would print a backslash escaped.
    static QString Row(int id)
    {
        const DataSet q = FormDbMod->QuerySql("select concat_ws('|', name, landname, password, type, remark) as r "
                                              "from zol_user where id = " + QString::number(id));
        return q.AsString("r");
    }
    static QString Fields(const TFormUserInsert& d)
    {
        return d.Editname->text() + d.Editlandname->text() + d.Editpassword->text() + MainForm->GetMemoText(d.Memoremark);
    }

    ScriptedAnswerer answers_;
};

} // namespace

// A missing name, login name or password: the box, the focus on the name, nothing written, and the
// form emptied. A save the database refuses keeps the typing. Complete and accepted: trimmed
// texts, the digest of the trimmed password, "普通用户" as type 2.
TEST_F(UserDialogsTest, InsertChecksRefusalAndSave)
{
    TFormUserInsert d(MainForm);
    d.show();
    QApplication::setActiveWindow(&d);
    for (const auto& [name, landname, password] : std::vector<std::tuple<QString, QString, QString>>{
             {"甲", "jia", "  "}, {" ", "jia", "pw"}, {"甲", "", "pw"}}) {
        d.Editname->setText(name);
        d.Editlandname->setText(landname);
        d.Editpassword->setText(password);
        MainForm->SetMemoText(d.Memoremark, "备注");
        d.Editpassword->setFocus();
        d.BitBtn1Click();
        EXPECT_EQ(Describe(answers_.Last()), Incomplete);
        EXPECT_EQ(Fields(d), "");
        EXPECT_EQ(QApplication::focusWidget(), d.Editname);
    }
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_user"), "0");
    EXPECT_TRUE(d.isVisible());

    const QString awkward = "O'Brien\\张三";
    d.Editname->setText(" " + awkward + " ");
    d.Editlandname->setText(" o'b\\ ");
    d.Editpassword->setText(" 秘密 ");
    MainForm->SetMemoText(d.Memoremark, "说明'\\中");
    EXPECT_EQ(d.RGUserType->ItemIndex(), 1);
    TestDb::Exec("create trigger no_user before insert on zol_user for each row "
                 "signal sqlstate '45000' set message_text = 'refused'");
    d.BitBtn1Click();
    TestDb::Exec("drop trigger no_user");
    EXPECT_EQ(Describe(answers_.Last()), "错误|数据库异常!|3|0");
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Fields(d), " " + awkward + "  o'b\\  秘密 说明'\\中");
    d.BitBtn1Click();
    EXPECT_FALSE(d.isVisible());
    const int id = TestDb::Scalar("select max(id) from zol_user").toInt();
    EXPECT_EQ(Row(id), awkward + "|o'b\\|" + MD5String("秘密") + "|2|说明'\\中");
}

// Blanks alone for the new password keep the stored digest; a new one is digested trimmed; quotes
// and backslashes round-trip.
TEST_F(UserDialogsTest, UpdateKeepsOrReplacesTheDigest)
{
    const int id = AddUser("甲", "jia", 1);
    const QString stored = MD5String("pw");
    for (const auto& [typed, digest] : std::vector<std::pair<QString, QString>>{
             {"   ", stored}, {" 新密码 ", MD5String("新密码")}}) {
        TFormUserUpdate u(MainForm);
        u.LoadUser(id);
        u.Editname->setText(" O'Brien\\乙 ");
        u.Editnewpassword->setText(typed);
        u.RGUserType->SetItemIndex(1);
        MainForm->SetMemoText(u.Memoremark, "值班'\\长");
        u.BitBtn1Click();
        EXPECT_TRUE(u.Editnewpassword->text().isEmpty());
        EXPECT_EQ(Row(id), "O'Brien\\乙|jia|" + digest + "|2|值班'\\长");
    }
    EXPECT_EQ(answers_.Count(), 0);
}

TEST_F(UserDialogsTest, UpdateChecksAndRefusals)
{
    const int id = AddUser("甲", "jia", 2);
    TFormUserUpdate d(MainForm);
    d.LoadUser(id);
    d.show();
    QApplication::setActiveWindow(&d);
    d.Editlandname->setText(" ");
    d.Editnewpassword->setText("new");
    d.BitBtn1Click();
    EXPECT_EQ(Describe(answers_.Last()), Incomplete);
    EXPECT_EQ(QApplication::focusWidget(), d.Editname);
    EXPECT_TRUE(d.Editnewpassword->text().isEmpty()); // taken before the check, as the form does
    EXPECT_EQ(Row(id), "甲|jia|" + MD5String("pw") + "|2|");

    TestDb::Exec("create trigger no_change before update on zol_user for each row "
                 "signal sqlstate '45000' set message_text = 'refused'");
    d.Editlandname->setText("yi");
    d.Editnewpassword->setText("new");
    d.BitBtn1Click();
    TestDb::Exec("drop trigger no_change");
    EXPECT_EQ(Describe(answers_.Last()), "错误|数据库异常!|3|0");
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.Editnewpassword->text() + d.Editlandname->text(), "newyi");
    d.BitBtn2->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Row(id), "甲|jia|" + MD5String("pw") + "|2|");
}

// Texts pasted far longer than their columns keep what the columns hold and are saved; an update
// that changes nothing is no failure. One onto an account another console deleted meanwhile, or
// before the dialog opened (it found none), warns and writes nothing.
TEST_F(UserDialogsTest, ColumnLengthsUnchangedAndDeletedAccounts)
{
    const QString pasted(14000, u'员');
    TFormUserInsert add(MainForm);
    for (QLineEdit* edit : {add.Editname, add.Editlandname, add.Editpassword})
        PasteOver(edit, pasted);
    PasteOver(add.Memoremark, pasted);
    add.BitBtn1Click();
    const int kept = TestDb::Scalar("select max(id) from zol_user").toInt();
    const QString row = "select concat_ws('|', char_length(name), char_length(landname), char_length(remark)) from zol_user";
    EXPECT_EQ(TestDb::Scalar(row), QStringLiteral("%1|%2|%3").arg(ColumnLength("zol_user", "name"))
                                       .arg(ColumnLength("zol_user", "landname")).arg(ColumnLength("zol_user", "remark")));
    const int gone = AddUser("乙", "yi", 2);
    for (int id : {kept, gone, gone}) {
        TFormUserUpdate d(MainForm);
        d.LoadUser(id);
        if (id == gone) {
            TestDb::Exec("delete from zol_user where id = " + QString::number(gone));
            d.Editname->setText("丙");
            d.Editlandname->setText("bing");
            d.Editnewpassword->setText("pw");
        }
        d.BitBtn1Click();
    }
    EXPECT_EQ(Boxes(answers_), QStringList(2, "警告|修改失败,用户已不存在!|2|0"));
    EXPECT_EQ(TestDb::Rows("select id from zol_user"), QStringList{QString::number(kept)});
}
