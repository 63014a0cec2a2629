// The dialog that adds an operator account.
#include "windows/UserInsert.h"

#include "console/Icons.h"
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

TFormUserInsert* FormUserInsert = nullptr;

using namespace DialogKit;

namespace {
constexpr int PictureSize = 64;
constexpr int UserTypeOrdinary = 1; // item index of "普通用户"
} // namespace

TFormUserInsert::TFormUserInsert(QWidget* owner) : QDialog(owner)
{
    SetUp(this, "FormUserInsert", "新增用户");
    GroupBox1 = new QGroupBox(QStringLiteral("用户信息"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = NewLabel(GroupBox1, "Label1", "姓  名：");
    Editname = NewEdit(GroupBox1, "Editname", ColumnLengths::UserName);
    Label2 = NewLabel(GroupBox1, "Label2", "登录名：");
    Editlandname = NewEdit(GroupBox1, "Editlandname", ColumnLengths::UserLandname);
    Label3 = NewLabel(GroupBox1, "Label3", "密  码：");
    Editpassword = NewEdit(GroupBox1, "Editpassword");
    RGUserType = NewUserTypeGroup(GroupBox1);
    RGUserType->SetItemIndex(UserTypeOrdinary);
    Memoremark = NewMemo(GroupBox1, "Memoremark", ColumnLengths::UserRemark);
    Image1 = NewPicture(GroupBox1, Icons::PageImage(6).scaled(PictureSize, PictureSize));

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Editname, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Editlandname, 1, 1);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(Editpassword, 2, 1);
    fields->addWidget(RGUserType, 3, 0, 1, 2);
    fields->addWidget(Memoremark, 4, 0, 1, 2);
    auto* inside = new QHBoxLayout(GroupBox1);
    inside->addWidget(Image1);
    inside->addLayout(fields);

    QFrame* buttons = NewButtonPanel(this, BitBtn1, "BitBtn1", BitBtn2, "BitBtn2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

void TFormUserInsert::BitBtn1Click()
{
    const QString typedName = Editname->text();
    const QString typedPassword = Editpassword->text();
    const QString typedLandname = Editlandname->text();
    const QString name = TrimBlanks(typedName);
    Editname->clear();
    const QString password = TrimBlanks(typedPassword);
    Editpassword->clear();
    const QString landname = TrimBlanks(typedLandname);
    Editlandname->clear();
    const QString remark = MainForm->GetMemoText(Memoremark);
    Memoremark->clear();
    const QString type = QString::number(RGUserType->ItemIndex() + 1);

    const QString digest = MD5String(password);
    const QString sql = QStringLiteral("insert into zol_user (name,landname,password,type,remark)") +
                        QStringLiteral("values('") + SqlEscape(name) + QStringLiteral("','") + SqlEscape(landname) +
                        QStringLiteral("','") + digest + QStringLiteral("','") + type + QStringLiteral("','") +
                        SqlEscape(remark) + QStringLiteral("')");
    if (!AccountComplete(name, landname, password, Editname))
        return;
    if (!FormDbMod->TryExecSql(sql)) {
        Editname->setText(typedName);
        Editpassword->setText(typedPassword);
        Editlandname->setText(typedLandname);
        MainForm->SetMemoText(Memoremark, remark);
        MainForm->ShowError(QStringLiteral("数据库异常!"));
        return;
    }
    close();
}

void TFormUserInsert::BitBtn2Click()
{
    close();
}
