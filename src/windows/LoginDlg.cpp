// The login dialog. Enter is handled by the default button alone, so that one press of Enter
// makes exactly one attempt.
#include "windows/LoginDlg.h"

#include "console/Icons.h"
#include "foundation/Consts.h"
#include "foundation/DateFormat.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "foundation/Md5String.h"
#include "foundation/SqlText.h"
#include "platform/ProcessExit.h"
#include "platform/TrimBlanks.h"
#include "windows/DialogKit.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>

int LoginTries = 0;
TLoginDlg* LoginDlg = nullptr;

namespace {

constexpr int FontPixelSize = 12;
constexpr int EditWidth = 160;
const QColor Maroon(0x80, 0x00, 0x00);

// The password field shows '*' for every character, whatever the platform's style would use.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TLoginDlg::TLoginDlg(QWidget* owner) : QDialog(owner)
{
    // Every later conversion between dates and text relies on this format.
    SetShortDateFormat(QStringLiteral("yyyy-MM-dd"), QLatin1Char('-'));

    setObjectName(QStringLiteral("LoginDlg"));
    setWindowTitle(QStringLiteral("用户登录"));
    DialogKit::SetFixedDialogFlags(this);
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(FontPixelSize);
    setFont(font);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Icons::LoginPicture());
    Image1->setAttribute(Qt::WA_TranslucentBackground);

    Label1 = new QLabel(QStringLiteral("登录名："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Editlandname = new QLineEdit(this);
    Editlandname->setObjectName(QStringLiteral("Editlandname"));
    Editlandname->setMinimumWidth(EditWidth);
    Label2 = new QLabel(QStringLiteral("密  码："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Editpassword = new QLineEdit(this);
    Editpassword->setObjectName(QStringLiteral("Editpassword"));
    Editpassword->setMinimumWidth(EditWidth);
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(Editpassword);
    Editpassword->setStyle(starStyle);
    Editpassword->setEchoMode(QLineEdit::Password);

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    QPalette palette = Label5->palette();
    palette.setColor(QPalette::WindowText, Maroon);
    Label5->setPalette(palette);
    Label5->setVisible(false);

    OKBtn = new QPushButton(QStringLiteral("登录"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Editlandname, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Editpassword, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Image1, 0, Qt::AlignHCenter);
    layout->addLayout(fields);
    layout->addWidget(Label5, 0, Qt::AlignHCenter);
    layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Editlandname->setFocus();
}

void TLoginDlg::keyPressEvent(QKeyEvent* event)
{
    // Only the title bar's close button leaves the dialog without logging in.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TLoginDlg::boolsqlQuery(const QString& sql)
{
    FormDbMod->CloseQuery(ADOQueryLogin);
    FormDbMod->QuerySqlOn(sql, ADOQueryLogin);
    return ADOQueryLogin.RecordCount() > 0;
}

QString TLoginDlg::LoginSql(const QString& landname, const QString& digest)
{
    return QStringLiteral("select * from zol_user where 1=1 ") + QStringLiteral(" and landname='") +
           SqlEscape(landname) + QStringLiteral("' and password='") + digest + QStringLiteral("'");
}

void TLoginDlg::OKBtnClick()
{
    const QString name = TrimBlanks(Editlandname->text());
    Editlandname->clear();
    const QString digest = MD5String(TrimBlanks(Editpassword->text()));
    Editpassword->clear();

    if (boolsqlQuery(LoginSql(name, digest))) {
        const int id = ADOQueryLogin.AsInteger(QStringLiteral("id"));
        // The record is in place before the flag, so a logged-in process always has its operator.
        if (CurrentUser)
            *CurrentUser = UserBean(id); // the pointer lives as long as the process
        else
            CurrentUser = new UserBean(id);
        LoggedIn = true;
        accept();
        return;
    }

    ++LoginTries;
    if (LoginTries >= MaxTries)
        ExitProcess(0);
    Editlandname->setFocus();
    Label5->setText(QStringLiteral("认证失败，您还有") + QString::number(MaxTries - LoginTries) +
                    QStringLiteral("次机会"));
    Label5->setVisible(true);
}
