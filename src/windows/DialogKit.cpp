// Shared by the record dialogs: the console's font, named controls and the remark memo.
#include "windows/DialogKit.h"

#include "console/MainForm.h"
#include "platform/EventHooks.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

namespace DialogKit {

namespace {
constexpr int EditWidth = 200;
constexpr int MemoHeight = 60;
} // namespace

void SetUp(QDialog* dialog, const char* name, const char* caption)
{
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setWindowTitle(QString::fromUtf8(caption));
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    if (MainForm)
        dialog->setFont(MainForm->font());
}

QLineEdit* NewEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(EditWidth);
    return edit;
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
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

QTextEdit* NewMemo(QWidget* parent, const char* name)
{
    auto* memo = new QTextEdit(parent);
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

} // namespace DialogKit
