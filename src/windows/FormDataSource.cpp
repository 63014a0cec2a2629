// The data-source dialog: one name, stored for the next start.
#include "windows/FormDataSource.h"

#include "console/MainForm.h"
#include "windows/DialogKit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

TFormDataSource* FormDataSource = nullptr;

namespace {
const QString KeyDataSource = QStringLiteral("DataSource");
const QString DefaultDataSource = QStringLiteral("zol");
constexpr int ClientWidth = 233;
constexpr int ClientHeight = 93;
} // namespace

TFormDataSource::TFormDataSource(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormDataSource"));
    setWindowTitle(QStringLiteral("数据源名称"));
    DialogKit::SetFixedDialogFlags(this);
    auto* layout = new QGridLayout(this);
    Label1 = new QLabel(QStringLiteral("输入数据源名称:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    EdtDSName = new QLineEdit(this);
    EdtDSName->setObjectName(QStringLiteral("EdtDSName"));
    Label1->setBuddy(EdtDSName);
    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(EdtDSName, 1, 0);
    layout->addLayout(buttons, 2, 0);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(sizeHint().expandedTo(QSize(ClientWidth, ClientHeight)));
}

void TFormDataSource::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    DialogKit::CentreOnScreen(this);
    FormShow();
}

void TFormDataSource::FormShow()
{
    EdtDSName->setText(MainForm->IniReadStringDef(KeyDataSource, DefaultDataSource));
}

void TFormDataSource::OKBtnClick()
{
    if (MainForm->WarnIfBlank(EdtDSName->text(), QStringLiteral("数据源名称不能为空！")))
        return;
    MainForm->IniWriteString(KeyDataSource, EdtDSName->text());
    accept();
}
