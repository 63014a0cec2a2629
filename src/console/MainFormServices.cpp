// The main window's shared services: settings, message boxes, blank test, memo hints, console log.
#include "console/MainFormServices.h"

#include "foundation/ConsoleLog.h"
#include "foundation/Consts.h"
#include "platform/MessageBoxes.h"
#include "platform/TrimBlanks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPalette>
#include <QSet>
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

std::shared_ptr<IniFile> TMainFormServices::GetConfIni()
{
    const QString path = ConfigPath();
    std::lock_guard<std::mutex> guard(confIniLock);
    // A changed test folder takes effect at once; the program's own folder never changes.
    if (!ConfIni || ConfIni->FileName() != path)
        ConfIni = std::make_shared<IniFile>(path);
    return ConfIni;
}

void TMainFormServices::SetConfigDirForTest(const QString& dir)
{
    std::lock_guard<std::mutex> guard(confIniLock);
    ConfigDirForTest() = dir;
}

void TMainFormServices::IniWriteString(const QString& key, const QString& value)
{
    GetConfIni()->WriteString(Consts::SectionSystem, key, value);
}

void TMainFormServices::IniWriteInteger(const QString& key, int value)
{
    GetConfIni()->WriteInteger(Consts::SectionSystem, key, value);
}

void TMainFormServices::IniWriteBool(const QString& key, bool value)
{
    GetConfIni()->WriteBool(Consts::SectionSystem, key, value);
}

QString TMainFormServices::IniReadString(const QString& key)
{
    return GetConfIni()->ReadString(Consts::SectionSystem, key, QString());
}

// A value edited into the file by hand that the settings dialog would refuse (a negative time-out,
// an unknown log level, a contact time too short to switch a relay) is read as the default. The
// warning is written once for each such value, however often it is read.
int TMainFormServices::IniReadInteger(const QString& key, int def)
{
    const int value = GetConfIni()->ReadInteger(Consts::SectionSystem, key, def);
    const Consts::IntSetting* setting = Consts::FindIntSetting(key);
    if (!setting || value == def || setting->Accepts(value))
        return value;
    const QString entry = setting->key + QLatin1Char('=') + QString::number(value);
    {
        static std::mutex warnedLock;
        static QSet<QString> warned;
        std::lock_guard<std::mutex> guard(warnedLock);
        if (warned.contains(entry))
            return def;
        warned.insert(entry);
    }
    const QString range = setting->max == INT_MAX
                              ? QStringLiteral("不小于%1").arg(setting->min)
                              : QStringLiteral("%1到%2").arg(setting->min).arg(setting->max);
    LogWarning(QStringLiteral("配置文件中 %1 不在有效范围(%2)内,使用默认值 %3.").arg(entry, range).arg(def));
    return def;
}

bool TMainFormServices::IniReadBool(const QString& key, bool def)
{
    return GetConfIni()->ReadBool(Consts::SectionSystem, key, def);
}

QString TMainFormServices::IniReadStringDef(const QString& key, const QString& def)
{
    return GetConfIni()->ReadString(Consts::SectionSystem, key, def);
}

void TMainFormServices::ForgetConfIni()
{
    std::lock_guard<std::mutex> guard(confIniLock);
    ConfIni.reset();
}

// ---- operator feedback

bool TMainFormServices::IsBlank(const QString& s)
{
    return ::IsBlank(s);
}

bool TMainFormServices::WarnIfBlank(const QString& value, const QString& msg)
{
    if (!IsBlank(value))
        return false;
    ShowWarning(msg);
    return true;
}

void TMainFormServices::ShowWarning(const QString& msg)
{
    Ask(QStringLiteral("警告"), msg, MsgIcon::Warning, MsgButtons::Ok);
}

void TMainFormServices::ShowError(const QString& msg)
{
    Ask(QStringLiteral("错误"), msg, MsgIcon::Error, MsgButtons::Ok);
    // The page switch is a widget change: a worker hands it to the user-interface thread.
    if (QThread::currentThread() == thread())
        BringConsoleToFront();
    else
        QMetaObject::invokeMethod(this, [this] { BringConsoleToFront(); }, Qt::QueuedConnection);
}

bool TMainFormServices::Confirm(const QString& msg)
{
    return Ask(QStringLiteral("确认"), msg, MsgIcon::Question, MsgButtons::OkCancel) == MsgResult::Ok;
}

QString TMainFormServices::GetNowString()
{
    return ConsoleLog::NowString();
}

// ---- memo placeholder

void TMainFormServices::MemoHintEnter(QTextEdit* memo)
{
    SetMemoColour(memo, Qt::black);
    if (TrimBlanks(memo->toPlainText()) == MemoHint)
        memo->clear();
}

void TMainFormServices::MemoHintExit(QTextEdit* memo)
{
    if (ShowsHint(memo->toPlainText()))
        ShowHint(memo);
}

QString TMainFormServices::GetMemoText(QTextEdit* memo)
{
    const QString text = memo->toPlainText();
    return ShowsHint(text) ? QString() : text;
}

void TMainFormServices::SetMemoText(QTextEdit* memo, const QString& value)
{
    if (ShowsHint(value)) {
        ShowHint(memo);
    } else {
        SetMemoColour(memo, Qt::black);
        memo->setPlainText(value);
    }
}

// ---- what the units below the console reach

void TMainFormServices::OpenServices()
{
    MessageBoxes::SetSilent(false);
    Services::MainForm.Open(this);
}

bool TMainFormServices::EndServices()
{
    // A call under way may be a worker's box, which waits for this thread: silence answers it.
    if (Services::MainForm.BeginClose(this))
        MessageBoxes::SetSilent(true);
    return Services::MainForm.WaitForCalls(ServiceCallsWaitMs);
}

// ---- console log

void TMainFormServices::LogDebug(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelDebug, msg);
}

void TMainFormServices::LogInfo(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelInfo, msg);
}

void TMainFormServices::LogWarning(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelWarning, msg);
}

void TMainFormServices::LogError(const QString& msg)
{
    if (log_)
        log_->Write(Consts::LevelError, msg);
}
