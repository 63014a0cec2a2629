// Shared by the record dialogs: the console's font, named controls and the remark memo.
#include "windows/DialogKit.h"

#include "console/MainForm.h"
#include "platform/ElidedLabel.h"
#include "platform/EventHooks.h"
#include "platform/MessageBoxes.h"
#include "platform/RadioGroup.h"
#include "windows/ColumnLimit.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

namespace DialogKit {

namespace {
constexpr int EditWidth = 200;
constexpr int MemoHeight = 60;
} // namespace

void SetFixedDialogFlags(QDialog* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

void SetUp(QDialog* dialog, const char* name, const char* caption)
{
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setWindowTitle(QString::fromUtf8(caption));
    SetFixedDialogFlags(dialog);
    if (MainForm)
        dialog->setFont(MainForm->font());
}

void CentreOnScreen(QDialog* dialog)
{
    if (const QScreen* shownOn = dialog->screen())
        dialog->move(shownOn->availableGeometry().center() - dialog->rect().center());
}

QLineEdit* NewEdit(QWidget* parent, const char* name, int columnLength)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(EditWidth);
    if (columnLength > 0)
        LimitToColumn(edit, columnLength);
    return edit;
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

ElidedLabel* NewDataLabel(QWidget* parent, const char* name)
{
    auto* label = new ElidedLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* NewPicture(QWidget* parent, const QPixmap& picture)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("Image1"));
    label->setPixmap(picture);
    label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return label;
}

QFrame* NewButtonPanel(QWidget* parent, QPushButton*& ok, const char* okName, QPushButton*& cancel,
                       const char* cancelName)
{
    auto* panel = new QFrame(parent);
    ok = NewButton(panel, okName, "确定");
    ok->setDefault(true);
    cancel = NewButton(panel, cancelName, "取消");
    cancel->setAutoDefault(false);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return panel;
}

QTextEdit* NewMemo(QWidget* parent, const char* name, int columnLength)
{
    auto* memo = new ColumnMemo(columnLength, parent);
    memo->setObjectName(QString::fromLatin1(name));
    memo->setAcceptRichText(false);
    memo->setTabChangesFocus(true);
    memo->setFixedHeight(MemoHeight);
    if (MainForm) {
        MainForm->SetMemoText(memo, QString());
        OnFocusIn(memo, [memo] { MainForm->MemoHintEnter(memo); });
        OnFocusOut(memo, [memo] { MainForm->MemoHintExit(memo); });
    }
    return memo;
}

RadioGroup* NewUserTypeGroup(QWidget* parent)
{
    return new RadioGroup(QStringLiteral("RGUserType"), QStringLiteral("用户类型"),
                          {QStringLiteral("管理员"), QStringLiteral("普通用户")}, 2, parent);
}

bool AccountComplete(const QString& name, const QString& landname, const QString& password, QLineEdit* nameEdit)
{
    if (!TMainForm::IsBlank(name) && !TMainForm::IsBlank(password) && !TMainForm::IsBlank(landname))
        return true;
    MessageBoxes::Show({QStringLiteral("错误提示"), QStringLiteral("您必须把信息填写完全！"), MsgIcon::None, MsgButtons::Ok});
    nameEdit->setFocus();
    return false;
}

} // namespace DialogKit
