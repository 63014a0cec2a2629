// Shared by the record dialogs: the console's font, named controls and the remark memo.
#include "windows/DialogKit.h"

#include "console/MainForm.h"
#include "platform/EventHooks.h"
#include "platform/MessageBoxes.h"
#include "platform/RadioGroup.h"

#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextEdit>
#include <QValidator>

namespace DialogKit {

namespace {
constexpr int EditWidth = 200;
constexpr int MemoHeight = 60;

// The part of a text to drop so that no more than length units remain.
struct Stretch {
    qsizetype from = 0;
    qsizetype count = 0;
};

// What went in last is what goes: the excess just before end, where the typing or the paste ended
// (the tail when less than that stands before end). A surrogate pair on either edge goes whole.
Stretch Excess(const QString& text, qsizetype end, qsizetype length)
{
    const qsizetype excess = text.size() - length;
    if (excess <= 0)
        return {};
    qsizetype from = end >= excess && end <= text.size() ? end - excess : text.size() - excess;
    qsizetype to = from + excess;
    if (from > 0 && text[from].isLowSurrogate() && text[from - 1].isHighSurrogate())
        --from;
    if (to < text.size() && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate())
        ++to;
    return {from, to - from};
}

// Cuts every text the edit takes, typed, pasted or set, to the length; never refuses one.
class ColumnValidator : public QValidator {
public:
    ColumnValidator(int length, QObject* parent) : QValidator(parent), length_(length) {}

    State validate(QString& input, int& pos) const override
    {
        const Stretch cut = Excess(input, pos, length_);
        if (cut.count == 0)
            return Acceptable;
        input.remove(cut.from, cut.count);
        if (pos > cut.from)
            pos = static_cast<int>(std::max(cut.from, pos - cut.count));
        return Acceptable;
    }

private:
    int length_;
};
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
    auto* memo = new QTextEdit(parent);
    LimitToColumn(memo, columnLength);
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

void LimitToColumn(QLineEdit* edit, int length)
{
    edit->setValidator(new ColumnValidator(length, edit));
}

void LimitToColumn(QTextEdit* memo, int length)
{
    QObject::connect(memo, &QTextEdit::textChanged, memo, [memo, length] {
        const Stretch cut = Excess(memo->toPlainText(), memo->textCursor().position(), length);
        if (cut.count == 0)
            return;
        // Removing the stretch changes the text again; then it fits.
        QTextCursor cursor(memo->document());
        cursor.setPosition(static_cast<int>(cut.from));
        cursor.setPosition(static_cast<int>(cut.from + cut.count), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    });
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
