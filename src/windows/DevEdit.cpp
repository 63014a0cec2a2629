// The terminal dialog: checks, the add with its status row, the edit, and the closing steps that
// refresh the main window and place the terminal in the tree with its network check.
#include "windows/DevEdit.h"

#include "console/Icons.h"
#include "console/MainForm.h"
#include "foundation/ColumnLengths.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "foundation/SqlText.h"
#include "platform/TrimBlanks.h"
#include "windows/DialogKit.h"

#include <QDateTime>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QVBoxLayout>

TFormDevEdit* FormDevEdit = nullptr;

using namespace DialogKit;

namespace {

constexpr int PictureSize = 64;
const QColor Maroon(0x80, 0x00, 0x00);
const QString DatabaseFailure = QStringLiteral("数据库异常!");

QString Quoted(const QString& text)
{
    return QStringLiteral("'") + SqlEscape(text) + QStringLiteral("'");
}

} // namespace

TFormDevEdit::TFormDevEdit(QWidget* owner) : QDialog(owner)
{
    SetUp(this, "FormDevEdit", "设备信息");

    GroupBox1 = new QGroupBox(QStringLiteral("基本信息"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    LblDevId = NewLabel(GroupBox1, "LblDevId");
    QFont bold = LblDevId->font();
    bold.setBold(true);
    LblDevId->setFont(bold);
    QPalette palette = LblDevId->palette();
    palette.setColor(QPalette::WindowText, Maroon);
    LblDevId->setPalette(palette);
    EdtDevName = NewEdit(GroupBox1, "EdtDevName", ColumnLengths::DevName);
    EdtDevMac = NewEdit(GroupBox1, "EdtDevMac", ColumnLengths::DevMac);
    EdtDevIp = NewEdit(GroupBox1, "EdtDevIp", ColumnLengths::DevIp);
    EdtDevPos = NewEdit(GroupBox1, "EdtDevPos", ColumnLengths::DevPosition);
    EdtRelayIp = NewEdit(GroupBox1, "EdtRelayIp", ColumnLengths::DevRelayIp);
    MemoDevMemo = NewMemo(GroupBox1, "MemoDevMemo", ColumnLengths::DevMemo);
    EdtDevPort = NewEdit(GroupBox1, "EdtDevPort");
    Image1 = NewPicture(GroupBox1, Icons::PageImage(0).scaled(PictureSize, PictureSize));

    auto* fields = new QGridLayout;
    const struct {
        const char* caption;
        QWidget* control;
    } rows[] = {{"设备编号：", LblDevId},     {"设备名称：", EdtDevName},        {"Mac 地址：", EdtDevMac},
                {"IP 地址：", EdtDevIp},      {"物理位置：", EdtDevPos},         {"网络控制器IP：", EdtRelayIp},
                {"控制端口：", EdtDevPort},   {"", MemoDevMemo}};
    int line = 0;
    for (const auto& row : rows) {
        auto* caption = new QLabel(QString::fromUtf8(row.caption), GroupBox1);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        fields->addWidget(caption, line, 0);
        fields->addWidget(row.control, line, 1);
        ++line;
    }
    auto* inside = new QHBoxLayout(GroupBox1);
    inside->addWidget(Image1);
    inside->addLayout(fields);

    Panel1 = NewButtonPanel(this, BtnOk, "BtnOk", BtnCancel, "BtnCancel");
    Panel1->setObjectName(QStringLiteral("Panel1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(Panel1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(EdtDevName, EdtDevMac);
    setTabOrder(EdtDevMac, EdtDevIp);
    setTabOrder(EdtDevIp, EdtDevPos);
    setTabOrder(EdtDevPos, EdtRelayIp);
    setTabOrder(EdtRelayIp, MemoDevMemo);
    setTabOrder(MemoDevMemo, EdtDevPort);

    connect(BtnOk, &QPushButton::clicked, this, [this] { BtnOkClick(); });
    connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });
}

void TFormDevEdit::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    EdtDevName->setFocus();
}

bool TFormDevEdit::IsValidIp(const QString& ip)
{
    // Anchored at the very end: "$" would also let a line end stand after the address.
    static const QRegularExpression shape(QRegularExpression::anchoredPattern(
        QStringLiteral("(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})")));
    const QRegularExpressionMatch match = shape.match(ip);
    if (!match.hasMatch())
        return false;
    for (int field = 1; field <= 4; ++field)
        if (match.captured(field).toInt() > 255)
            return false;
    return true;
}

void TFormDevEdit::LoadDevice(int id)
{
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_baseinfo where id = ") + QString::number(id));
    if (q.IsEmpty()) {
        editMode = false;
    } else {
        editMode = true;
        LblDevId->setText(q.AsString(QStringLiteral("id")));
        EdtDevName->setText(q.AsString(QStringLiteral("name")));
        EdtDevIp->setText(q.AsString(QStringLiteral("ip")));
        EdtDevMac->setText(q.AsString(QStringLiteral("mac")));
        EdtDevPos->setText(q.AsString(QStringLiteral("position")));
        EdtRelayIp->setText(q.AsString(QStringLiteral("relayIp")));
        EdtDevPort->setText(q.AsString(QStringLiteral("port")));
        MainForm->SetMemoText(MemoDevMemo, q.AsString(QStringLiteral("memo")));
    }
    FormDbMod->CloseQuery(q);
}

void TFormDevEdit::BtnOkClick()
{
    if (MainForm->WarnIfBlank(EdtDevName->text(), QStringLiteral("设备名称不能为空！"))) {
        EdtDevName->setFocus();
        return;
    }
    if (MainForm->WarnIfBlank(EdtDevIp->text(), QStringLiteral("设备IP地址不能为空！"))) {
        EdtDevIp->setFocus();
        return;
    }
    if (!IsValidIp(EdtDevIp->text())) {
        MainForm->ShowWarning(QStringLiteral("非法的IP地址．"));
        EdtDevIp->setFocus();
        return;
    }
    QString port = QStringLiteral("0");
    if (!TMainForm::IsBlank(EdtDevPort->text())) {
        bool ok = false;
        port = QString::number(TrimBlanks(EdtDevPort->text()).toInt(&ok, 10));
        if (!ok) {
            MainForm->ShowWarning(QStringLiteral("请输入有效的继电器端口号！"));
            return;
        }
    }
    if (!editMode) {
        DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_baseinfo where ip = ") +
                                        Quoted(EdtDevIp->text()));
        const bool taken = !q.IsEmpty();
        FormDbMod->CloseQuery(q);
        if (taken) {
            MainForm->ShowWarning(QStringLiteral("设备IP已经存在！"));
            EdtDevIp->setFocus();
            return;
        }
    }
    bool gone = false;
    if (editMode) {
        const TFormDbMod::RowUpdate outcome = SaveEdit(port);
        if (outcome == TFormDbMod::RowUpdate::Failed)
            return;
        gone = outcome == TFormDbMod::RowUpdate::Missing;
    } else if (!SaveNew(port)) {
        return;
    }

    // The dialog is out of the way before the main window is refreshed.
    hide();
    MainForm->RefreshActivePage();
    MainForm->ShowDevDetail(MainForm->DevGridRowId());
    if (gone)
        MainForm->RemoveDevTreeNode(LblDevId->text().toInt());
    else
        PlaceInTree();
    close();
}

// The terminal row and its status row, in one transaction: a terminal never stands without its
// status, and the operator can simply try again. The clean-up after a failure is for tables that
// know no transactions; after a rollback it finds nothing to delete.
bool TFormDevEdit::SaveNew(const QString& port)
{
    const QString ip = EdtDevIp->text();
    const QString insert =
        QStringLiteral("insert into zol_baseinfo ( name , ip , mac , position , memo , relayIp , port  ) values ( ") +
        Quoted(EdtDevName->text()) + QStringLiteral(",") + Quoted(ip) + QStringLiteral(",") +
        Quoted(EdtDevMac->text()) + QStringLiteral(",") + Quoted(EdtDevPos->text()) + QStringLiteral(",") +
        Quoted(MainForm->GetMemoText(MemoDevMemo)) + QStringLiteral(",") + Quoted(EdtRelayIp->text()) +
        QStringLiteral(",") + port + QStringLiteral(")");
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString status =
        QStringLiteral("insert into zol_status (zol_id , status , updatetime )  select id , 'down' , ' ") +
        SqlEscape(now) + QStringLiteral("' from zol_baseinfo where ip=") + Quoted(ip);
    long long newId = 0;
    if (!FormDbMod->ExecAllOrNone({insert, status}, &newId)) {
        if (newId > 0)
            FormDbMod->ExecSql(QStringLiteral("delete from zol_baseinfo where id = ") + QString::number(newId));
        MainForm->ShowError(QStringLiteral("添加失败请重试!"));
        return false;
    }
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select id from zol_baseinfo where ip=") + Quoted(ip));
    if (!q.IsEmpty())
        LblDevId->setText(q.AsString(QStringLiteral("id")));
    FormDbMod->CloseQuery(q);
    return true;
}

// A statement the database refuses keeps the dialog open with what was typed. A terminal deleted
// meanwhile (by another console) cannot be saved: the operator is told, and the dialog closes as
// after a save, with the terminal gone from the lists and the tree.
TFormDbMod::RowUpdate TFormDevEdit::SaveEdit(const QString& port)
{
    const int id = LblDevId->text().toInt();
    const QString update =
        QStringLiteral("update zol_baseinfo set name=") + Quoted(EdtDevName->text()) + QStringLiteral(",ip=") +
        Quoted(EdtDevIp->text()) + QStringLiteral(",mac=") + Quoted(EdtDevMac->text()) +
        QStringLiteral(",position=") + Quoted(EdtDevPos->text()) + QStringLiteral(",relayIp=") +
        Quoted(EdtRelayIp->text()) + QStringLiteral(",port=") + port + QStringLiteral(",memo=") +
        Quoted(MainForm->GetMemoText(MemoDevMemo)) + QStringLiteral(" where id =") + QString::number(id);
    const TFormDbMod::RowUpdate outcome = FormDbMod->UpdateRow(update, QStringLiteral("zol_baseinfo"),
                                                               QStringLiteral("id"), id);
    if (outcome == TFormDbMod::RowUpdate::Failed)
        MainForm->ShowError(DatabaseFailure);
    else if (outcome == TFormDbMod::RowUpdate::Missing)
        MainForm->ShowWarning(QStringLiteral("修改失败,设备已不存在!"));
    return outcome;
}

void TFormDevEdit::PlaceInTree()
{
    DevBean dev;
    bool ok = false;
    dev.Id = LblDevId->text().toInt(&ok);
    if (!ok)
        dev.Id = 0;
    dev.Name = TrimBlanks(EdtDevName->text());
    dev.ip = TrimBlanks(EdtDevIp->text());
    dev.Mac = TrimBlanks(EdtDevMac->text());
    dev.position = TrimBlanks(EdtDevPos->text());
    dev.status = Consts::StatusDown;
    MainForm->AddDevTreeNode(&dev);
}

void TFormDevEdit::BtnCancelClick()
{
    close();
}
