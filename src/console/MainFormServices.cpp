// The main window's shared services: settings, message boxes, blank test, memo hints, console log.
#include "console/MainForm.h"

#include "foundation/ConsoleLog.h"
#include "foundation/Consts.h"
#include "platform/MessageBoxes.h"
#include "platform/TrimBlanks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPalette>
#include <QTextEdit>
#include <QThread>
#include <mutex>

namespace {

const QString MemoHint = QStringLiteral("在此处填写备注信息...");

std::mutex confIniLock;
QString& ConfigDirForTest()
{
    static QString dir;
    return dir;
}

QString ConfigPath()
{
    QString dir;
    {
        std::lock_guard<std::mutex> guard(confIniLock);
        dir = ConfigDirForTest();
    }
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath();
    return QDir(dir).filePath(QStringLiteral("conf.ini"));
}


bool ShowsHint(const QString& text)
{
    const QString trimmed = TrimBlanks(text);
    return trimmed.isEmpty() || trimmed == MemoHint;
}

// The colour of the memo's whole text: the palette for the text as it stands, the cursor's
// format for what the operator types next.
void SetMemoColour(QTextEdit* memo, const QColor& colour)
{
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Active, QPalette::Text, colour);
    palette.setColor(QPalette::Inactive, QPalette::Text, colour);
    memo->setPalette(palette);
    memo->setTextColor(colour);
}

QColor GreyText()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::Text);
}

void ShowHint(QTextEdit* memo)
{
    SetMemoColour(memo, GreyText());
    memo->setPlainText(MemoHint);
}

MsgResult Ask(const QString& caption, const QString& msg, MsgIcon icon, MsgButtons buttons)
{
    MessageRequest request;
    request.caption = caption;
    request.text = msg;
    request.icon = icon;
    request.buttons = buttons;
    return MessageBoxes::Show(request);
}

} // namespace

// ---- settings

IniFile* TMainForm::GetConfIni()
{
    const QString path = ConfigPath();
    std::lock_guard<std::mutex> guard(confIniLock);
    // A changed test folder takes effect at once; the program's own folder never changes.
    if (!ConfIni || ConfIni->FileName() != path)
        ConfIni = std::make_unique<IniFile>(path);
    return ConfIni.get();
}

void TMainForm::SetConfigDirForTest(const QString& dir)
{
    std::lock_guard<std::mutex> guard(confIniLock);
    ConfigDirForTest() = dir;
}

void TMainForm::IniWriteString(const QString& key, const QString& value)
{
    GetConfIni()->WriteString(Consts::SectionSystem, key, value);
}

void TMainForm::IniWriteInteger(const QString& key, int value)
{
    GetConfIni()->WriteInteger(Consts::SectionSystem, key, value);
}

void TMainForm::IniWriteBool(const QString& key, bool value)
{
    GetConfIni()->WriteBool(Consts::SectionSystem, key, value);
}

QString TMainForm::IniReadString(const QString& key)
{
    return GetConfIni()->ReadString(Consts::SectionSystem, key, QString());
}

int TMainForm::IniReadInteger(const QString& key, int def)
{
    return GetConfIni()->ReadInteger(Consts::SectionSystem, key, def);
}

bool TMainForm::IniReadBool(const QString& key, bool def)
{
    return GetConfIni()->ReadBool(Consts::SectionSystem, key, def);
}

QString TMainForm::IniReadStringDef(const QString& key, const QString& def)
{
    return GetConfIni()->ReadString(Consts::SectionSystem, key, def);
}

void TMainForm::FormClose()
{
    std::lock_guard<std::mutex> guard(confIniLock);
    ConfIni.reset();
}

// ---- operator feedback

bool TMainForm::IsBlank(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > 32)
            return false;
    return true;
}

bool TMainForm::WarnIfBlank(const QString& value, const QString& msg)
{
    if (!IsBlank(value))
        return false;
    ShowWarning(msg);
    return true;
}

void TMainForm::ShowWarning(const QString& msg)
{
    Ask(QStringLiteral("警告"), msg, MsgIcon::Warning, MsgButtons::Ok);
}

void TMainForm::ShowError(const QString& msg)
{
    Ask(QStringLiteral("错误"), msg, MsgIcon::Error, MsgButtons::Ok);
    // The page switch is a widget change: a worker hands it to the user-interface thread.
    if (QThread::currentThread() == thread())
        ShowPageInfo();
    else
        QMetaObject::invokeMethod(this, [this] { ShowPageInfo(); }, Qt::QueuedConnection);
}

bool TMainForm::Confirm(const QString& msg)
{
    return Ask(QStringLiteral("确认"), msg, MsgIcon::Question, MsgButtons::OkCancel) == MsgResult::Ok;
}

QString TMainForm::GetNowString()
{
    return ConsoleLog::NowString();
}

// ---- memo placeholder

void TMainForm::MemoHintEnter(QTextEdit* memo)
{
    SetMemoColour(memo, Qt::black);
    if (TrimBlanks(memo->toPlainText()) == MemoHint)
        memo->clear();
}

void TMainForm::MemoHintExit(QTextEdit* memo)
{
    if (ShowsHint(memo->toPlainText()))
        ShowHint(memo);
}

QString TMainForm::GetMemoText(QTextEdit* memo)
{
    const QString text = memo->toPlainText();
    return ShowsHint(text) ? QString() : text;
}

void TMainForm::SetMemoText(QTextEdit* memo, const QString& value)
{
    if (ShowsHint(value)) {
        ShowHint(memo);
    } else {
        SetMemoColour(memo, Qt::black);
        memo->setPlainText(value);
    }
}

// ---- console log

void TMainForm::LogDebug(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelDebug, msg);
}

void TMainForm::LogInfo(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelInfo, msg);
}

void TMainForm::LogWarning(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelWarning, msg);
}

void TMainForm::LogError(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelError, msg);
}
