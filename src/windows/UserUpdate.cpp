// The dialog that edits an operator account.
#include "windows/UserUpdate.h"

#include "console/MainForm.h"
#include "foundation/ColumnLengths.h"
#include "foundation/DbMod.h"
#include "foundation/Md5String.h"
#include "foundation/SqlText.h"
#include "platform/RadioGroup.h"
#include "platform/TrimBlanks.h"
#include "windows/DialogKit.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

TFormUserUpdate* FormUserUpdate = nullptr;

using namespace DialogKit;

TFormUserUpdate::TFormUserUpdate(QWidget* owner) : QDialog(owner)
{
    SetUp(this, "FormUserUpdate", "修改用户");
    GroupBox1 = new QGroupBox(QStringLiteral("基本信息"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = NewLabel(GroupBox1, "Label1", "编  号：");
    Labelid = NewLabel(GroupBox1, "Labelid");
    Label3 = NewLabel(GroupBox1, "Label3", "姓  名：");
    Editname = NewEdit(GroupBox1, "Editname", ColumnLengths::UserName);
    Label4 = NewLabel(GroupBox1, "Label4", "登录名：");
    Editlandname = NewEdit(GroupBox1, "Editlandname", ColumnLengths::UserLandname);
    Label5 = NewLabel(GroupBox1, "Label5", "密  码：");
    Editpassword = NewEdit(GroupBox1, "Editpassword");
    Editpassword->setReadOnly(true);
    Editpassword->setToolTip(QStringLiteral("密码已经加密"));
    Label2 = NewLabel(GroupBox1, "Label2", "需要修改密码，请以下面输入新密码。");
    Label7 = NewLabel(GroupBox1, "Label7", "新密码：");
    Editnewpassword = NewEdit(GroupBox1, "Editnewpassword");
    RGUserType = NewUserTypeGroup(GroupBox1);
    Label6 = NewLabel(GroupBox1, "Label6", "说  明：");
    Memoremark = NewMemo(GroupBox1, "Memoremark", ColumnLengths::UserRemark);

    auto* fields = new QGridLayout(GroupBox1);
    const std::pair<QLabel*, QWidget*> rows[] = {{Label1, Labelid},      {Label3, Editname},
                                                 {Label4, Editlandname}, {Label5, Editpassword},
                                                 {nullptr, Label2},      {Label7, Editnewpassword},
                                                 {nullptr, RGUserType},  {Label6, Memoremark}};
    int line = 0;
    for (const auto& [caption, control] : rows) {
        if (caption)
            fields->addWidget(caption, line, 0, Qt::AlignRight | Qt::AlignTop);
        fields->addWidget(control, line, caption ? 1 : 0, 1, caption ? 1 : 2);
        ++line;
    }

    QFrame* buttons = NewButtonPanel(this, BitBtn1, "BitBtn1", BitBtn2, "BitBtn2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

void TFormUserUpdate::LoadUser(int userId)
{
    if (userId < 1)
        return;
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_user where id = ") + QString::number(userId));
    if (!q.IsEmpty()) {
        Labelid->setText(q.AsString(QStringLiteral("id")));
        Editname->setText(q.AsString(QStringLiteral("name")));
        Editlandname->setText(q.AsString(QStringLiteral("landname")));
        Editpassword->setText(q.AsString(QStringLiteral("password")));
        RGUserType->SetItemIndex(q.AsInteger(QStringLiteral("type")) - 1);
        MainForm->SetMemoText(Memoremark, q.AsString(QStringLiteral("remark")));
    }
    FormDbMod->CloseQuery(q);
}

void TFormUserUpdate::BitBtn1Click()
{
    const QString typedNewPassword = Editnewpassword->text();
    Editnewpassword->clear();
    // A dialog that found no account shows no number: 0, which no account has.
    const int id = TrimBlanks(Labelid->text()).toInt();
    const QString name = TrimBlanks(Editname->text());
    QString password = TrimBlanks(Editpassword->text());
    const QString landname = TrimBlanks(Editlandname->text());
    const QString remark = MainForm->GetMemoText(Memoremark);
    const QString type = QString::number(RGUserType->ItemIndex() + 1);
    // The login trims what the operator types, so the new password is digested trimmed too, and
    // blanks alone keep the old one.
    const QString newPassword = TrimBlanks(typedNewPassword);
    if (!isEmpt(newPassword))
        password = MD5String(newPassword);

    const QString sql = QStringLiteral("update zol_user set name='") + SqlEscape(name) +
                        QStringLiteral("',password='") + SqlEscape(password) + QStringLiteral("',landname='") +
                        SqlEscape(landname) + QStringLiteral("',type='") + type + QStringLiteral("',remark='") +
                        SqlEscape(remark) + QStringLiteral("' where id=") + QString::number(id);
    if (!AccountComplete(name, landname, password, Editname))
        return;
    using RowUpdate = TFormDbMod::RowUpdate;
    const RowUpdate outcome = FormDbMod->UpdateRow(sql, QStringLiteral("zol_user"), QStringLiteral("id"), id);
    if (outcome == RowUpdate::Failed) {
        Editnewpassword->setText(typedNewPassword);
        MainForm->ShowError(QStringLiteral("数据库异常!"));
        return;
    }
    // An account deleted meanwhile (by another console) cannot be saved; the list the dialog
    // returns to no longer shows it.
    if (outcome == RowUpdate::Missing)
        MainForm->ShowWarning(QStringLiteral("修改失败,用户已不存在!"));
    close();
}

void TFormUserUpdate::BitBtn2Click()
{
    close();
}
