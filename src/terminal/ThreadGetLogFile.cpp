// The log worker: authentication, "getlog", the raw transfer, and the text handed to the viewer.
#include "terminal/ThreadGetLogFile.h"

#include "foundation/ConsoleServices.h"
#include "platform/RichText.h"
#include "terminal/AgentProtocol.h"
#include "windows/FrmGetLogFile.h"

#include <QCoreApplication>
#include <QTextEdit>
#include <algorithm>
#include <cstring>

namespace {

// Appends bytes to data. Growing data this way reallocates it in place where append would copy
// it whole into a new block, holding the log twice for a moment.
void AppendInPlace(QByteArray& data, const QByteArray& bytes)
{
    const qsizetype at = data.size();
    data.resize(at + bytes.size());
    std::memcpy(data.data() + at, bytes.constData(), size_t(bytes.size()));
}

} // namespace

ThreadGetLogFile::ThreadGetLogFile(const QString& ip, const QString& logName, QTextEdit* target, int fileSize)
    : ThreadProcessBar(QString()), LogName(logName), target_(target), client_(ip)
{
    SetPosition(0);
    SetMax(fileSize / 100);
}

void ThreadGetLogFile::CloseViewer()
{
    QObject* context = target_ ? static_cast<QObject*>(target_) : QCoreApplication::instance();
    QMetaObject::invokeMethod(context, [] {
        if (FormGetLogFile)
            FormGetLogFile->CloseForm();
    }, Qt::QueuedConnection);
}

void ThreadGetLogFile::Init()
{
    client_.StopWhen([this] { return bool(StopRequested); });
    if (!client_.Open())
        CloseViewer();
}

void ThreadGetLogFile::Run()
{
    client_.Run(1, [this] { ReceiveLog(); });
}

void ThreadGetLogFile::ReceiveLog()
{
    if (!client_.AwaitReply()) {
        client_.KeyRejected();
        return;
    }
    client_.SendLine(AgentProtocol::CmdGetLog + QLatin1Char(',') + LogName);
    // The agent marks no end of a file: the transfer ends after a quiet wait or when it closes.
    // The first block is not counted in the progress.
    // A log beyond the limit is cut there, and shown as far as it came, like a stopped transfer.
    // Room for the listed size is taken at once (only what arrives is touched).
    data_.reserve(std::min<qsizetype>(qsizetype(GetMax() + 1) * 100, AgentLimits::Log));
    int total = 0;
    QByteArray block = client_.Read();
    while (!block.isEmpty() && !StopRequested) {
        const qsizetype room = AgentLimits::Log - data_.size();
        AppendInPlace(data_, block.left(room));
        if (block.size() > room) {
            if (MainForm)
                MainForm->LogWarning(QStringLiteral("Log %1 longer than %2 bytes, cut there .").arg(LogName).arg(AgentLimits::Log));
            break;
        }
        block = client_.Read();
        total += int(block.size()) / 100;
        SetPosition(total);
    }
    // A stopped transfer shows what came so far. The control belongs to the user-interface thread.
    if (target_)
        QMetaObject::invokeMethod(target_, [target = target_, data = data_] { RichText::Load(target, data); },
                                  Qt::QueuedConnection);
}

void ThreadGetLogFile::Cleanup()
{
    client_.Cleanup();
    data_.clear();
}
